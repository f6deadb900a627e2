#pragma once

#include <QtGlobal>

#include <unordered_map>

struct _xmlDoc;
struct _xmlNode;
struct _xmlEntity;

namespace platform {

// Measures the text that the entity references of a parsed document expand to when
// its string values are read. The parser keeps references unexpanded, so a small
// document can name a large entity many times over; this is the check that refuses it.
class XmlEntityExpansion {
public:
    // Whether everything `document` references expands to more than `limit` bytes.
    static bool exceeds(_xmlDoc* document, qint64 limit);

private:
    XmlEntityExpansion(_xmlDoc* document, qint64 limit);

    // Expansion of the references in a list of siblings and their descendants; the
    // text itself counts only inside an entity's content. Capped just above the limit.
    qint64 ofList(_xmlNode* first, bool insideEntity);
    qint64 ofAttributes(_xmlNode* element, bool insideEntity);
    qint64 ofEntity(_xmlEntity* entity);
    qint64 capped(qint64 size) const { return qMin(size, m_limit + 1); }

    _xmlDoc* m_document;
    qint64 m_limit;
    std::unordered_map<_xmlEntity*, qint64> m_sizes;
};

} // namespace platform
