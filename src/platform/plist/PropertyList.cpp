#include "platform/plist/PropertyList.h"

#include "platform/plist/BinaryPlistValidator.h"
#include "platform/plist/SizeBudget.h"

#include <QtEndian>

#include <plist/plist.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace platform {
namespace {

// The codes the platform gives unreadable and unwritable property lists.
constexpr qint64 ReadCorruptError = 3840;
constexpr qint64 WriteInvalidError = 3852;

const QByteArray BinaryHeader = QByteArrayLiteral("bplist00");
constexpr qint64 ReferenceDateMsecs = 978307200000; // 2001-01-01 00:00 UTC after the Unix epoch
constexpr char DateMarker = char(0x33);
constexpr char WideIntegerMarker = char(0x14); // a 16-byte integer: how unsigned values above INT64_MAX are stored
const QString UIDKey = QStringLiteral("CF$UID");

Error readError(const QString& message)
{
    return Error{Error::CocoaDomain, ReadCorruptError, message};
}

Error writeError(const QString& message)
{
    return Error{Error::CocoaDomain, WriteInvalidError, message};
}

// libplist 2.2 builds dates only from 32-bit seconds, reports them split in a way that loses the
// sign of the fraction, and builds every integer above INT64_MAX as a negative number. The binary
// form holds both exactly, so such values are built from, and read through, the binary form of a
// property list holding only them.
plist_t nodeFromBinaryObject(const QByteArray& object)
{
    QByteArray data = BinaryHeader + object;
    data.append(char(BinaryHeader.size())); // offset table: the one object follows the header
    QByteArray trailer(32, '\0');
    trailer[6] = 1;  // offset size
    trailer[7] = 1;  // reference size
    trailer[15] = 1; // object count
    trailer[31] = char(BinaryHeader.size() + object.size()); // offset table position
    data += trailer;
    plist_t node = nullptr;
    plist_from_bin(data.constData(), uint32_t(data.size()), &node);
    return node;
}

QByteArray binaryObjectOf(plist_t node)
{
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(node, &bytes, &length);
    QByteArray object;
    if (bytes && length > uint32_t(BinaryHeader.size()))
        object = QByteArray(bytes + BinaryHeader.size(), qMin<qsizetype>(17, length - BinaryHeader.size()));
    plist_to_bin_free(bytes);
    return object;
}

QByteArray bigEndian(quint64 value)
{
    QByteArray bytes(8, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

// The child releaseTree takes next: an array's last item or a dictionary's first value (whose
// key is stored in `key` when asked for).
plist_t childToRelease(plist_t node, QByteArray* key = nullptr)
{
    if (plist_get_node_type(node) == PLIST_ARRAY) {
        const uint32_t size = plist_array_get_size(node);
        return size ? plist_array_get_item(node, size - 1) : nullptr;
    }
    if (plist_get_node_type(node) != PLIST_DICT || plist_dict_get_size(node) == 0)
        return nullptr;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(node, &iter);
    char* firstKey = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(node, iter, &firstKey, &value);
    if (key)
        *key = firstKey;
    std::free(firstKey);
    std::free(iter);
    return value;
}

void releaseChild(plist_t node)
{
    QByteArray key;
    childToRelease(node, &key);
    if (plist_get_node_type(node) == PLIST_ARRAY)
        plist_array_remove_item(node, plist_array_get_size(node) - 1);
    else
        plist_dict_remove_item(node, key.constData());
}

// Frees a tree of any depth. plist_free recurses once per level, which a deeply nested XML
// property list could turn into a stack overflow; this removes leaves one at a time instead.
void releaseTree(plist_t root)
{
    plist_t node = root;
    while (node) {
        if (plist_t child = childToRelease(node)) {
            if (childToRelease(child))
                node = child;
            else
                releaseChild(node);
        } else {
            node = node == root ? nullptr : plist_get_parent(node);
        }
    }
    plist_free(root);
}

class PlistReader {
public:
    QVariant read(plist_t node, int depth)
    {
        if (depth > PropertyList::MaximumDepth)
            return fail(QStringLiteral("property list nested too deeply"));
        switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            uint8_t value = 0;
            plist_get_bool_val(node, &value);
            return charge(0) ? QVariant(value != 0) : QVariant();
        }
        case PLIST_UINT:
            return charge(0) ? readInteger(node) : QVariant();
        case PLIST_REAL: {
            double value = 0;
            plist_get_real_val(node, &value);
            return charge(0) ? QVariant(value) : QVariant();
        }
        case PLIST_STRING: {
            uint64_t length = 0;
            const char* text = plist_get_string_ptr(node, &length);
            return charge(qint64(length)) ? QVariant(QString::fromUtf8(text, qsizetype(length))) : QVariant();
        }
        case PLIST_DATA: {
            uint64_t length = 0;
            const char* bytes = plist_get_data_ptr(node, &length);
            return charge(qint64(length)) ? QVariant(QByteArray(bytes, qsizetype(length))) : QVariant();
        }
        case PLIST_DATE:
            return charge(0) ? readDate(node) : QVariant();
        case PLIST_UID: {
            uint64_t value = 0;
            plist_get_uid_val(node, &value);
            return charge(0) ? QVariant::fromValue(PlistUID{value}) : QVariant();
        }
        case PLIST_ARRAY:
            return charge(0) ? readArray(node, depth) : QVariant();
        case PLIST_DICT:
            return charge(0) ? readDictionary(node, depth) : QVariant();
        default:
            return fail(QStringLiteral("property list holds an unknown kind of value"));
        }
    }

    bool failed() const { return m_failed; }
    const Error& error() const { return m_error; }

private:
    QVariant fail(const QString& message)
    {
        if (!m_failed)
            m_error = readError(message);
        m_failed = true;
        return {};
    }

    bool charge(qint64 payloadBytes)
    {
        if (m_budget.charge(payloadBytes))
            return true;
        fail(QStringLiteral("property list expands beyond the size limit"));
        return false;
    }

    QVariant readInteger(plist_t node)
    {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        if (value <= uint64_t(std::numeric_limits<qint64>::max()))
            return qint64(value);
        if (binaryObjectOf(node).startsWith(WideIntegerMarker))
            return quint64(value);
        return qint64(value);
    }

    QVariant readDate(plist_t node)
    {
        const QByteArray object = binaryObjectOf(node);
        if (object.size() < 9 || object[0] != DateMarker)
            return fail(QStringLiteral("property list holds an unreadable date"));
        const double seconds = std::bit_cast<double>(qFromBigEndian<quint64>(object.constData() + 1));
        const QDateTime date = PropertyList::dateFromReferenceSeconds(seconds);
        return date.isValid() ? QVariant(date) : fail(QStringLiteral("property list holds a date out of range"));
    }

    QVariant readArray(plist_t node, int depth)
    {
        QVariantList list;
        plist_array_iter iter = nullptr;
        plist_array_new_iter(node, &iter);
        for (plist_t item = nullptr; plist_array_next_item(node, iter, &item), item && !m_failed;)
            list.append(read(item, depth + 1));
        std::free(iter);
        return m_failed ? QVariant() : QVariant(list);
    }

    QVariant readDictionary(plist_t node, int depth)
    {
        QVariantMap map;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        while (!m_failed) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, iter, &key, &value);
            if (!key || !value) {
                std::free(key);
                break;
            }
            map.insert(QString::fromUtf8(key), read(value, depth + 1));
            std::free(key);
        }
        std::free(iter);
        if (m_failed)
            return {};
        return isUIDDictionary(map) ? QVariant::fromValue(PlistUID{map.value(UIDKey).value<quint64>()}) : QVariant(map);
    }

    // XML writes a UID as a dictionary whose only key is "CF$UID".
    static bool isUIDDictionary(const QVariantMap& map)
    {
        if (map.size() != 1 || !map.contains(UIDKey))
            return false;
        const QVariant value = map.value(UIDKey);
        return value.typeId() == QMetaType::LongLong && value.toLongLong() >= 0;
    }

    SizeBudget m_budget;
    Error m_error;
    bool m_failed = false;
};

class PlistWriter {
public:
    explicit PlistWriter(PropertyList::Format format) : m_format(format) {}

    // The tree of `value`, owned by the caller; null on failure.
    plist_t write(const QVariant& value, int depth)
    {
        if (depth > PropertyList::MaximumDepth)
            return fail(QStringLiteral("value nested too deeply for a property list"));
        if (!m_budget.charge(payloadSize(value)))
            return fail(QStringLiteral("value too large for a property list"));
        const int type = value.typeId();
        switch (type) {
        case QMetaType::Bool:
            return plist_new_bool(value.toBool());
        case QMetaType::Int:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::Char:
        case QMetaType::SChar:
            return plist_new_uint(uint64_t(value.toLongLong()));
        case QMetaType::UInt:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
        case QMetaType::UShort:
        case QMetaType::UChar:
            return writeUnsigned(value.toULongLong());
        case QMetaType::Double:
        case QMetaType::Float:
            return plist_new_real(value.toDouble());
        case QMetaType::QString:
            return writeText(value.toString());
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            return plist_new_data(bytes.constData(), uint64_t(bytes.size()));
        }
        case QMetaType::QDateTime:
            return writeDate(value.toDateTime());
        case QMetaType::QVariantList:
        case QMetaType::QStringList:
            return writeArray(value.toList(), depth);
        case QMetaType::QVariantMap:
            return writeDictionary(value.toMap(), depth);
        default:
            if (type == qMetaTypeId<PlistUID>())
                return plist_new_uid(value.value<PlistUID>().value);
            return fail(QStringLiteral("a property list cannot hold a value of type %1")
                            .arg(QString::fromLatin1(value.metaType().name() ? value.metaType().name() : "invalid")));
        }
    }

    const Error& error() const { return m_error; }

private:
    plist_t fail(const QString& message)
    {
        if (m_error.isNull())
            m_error = writeError(message);
        return nullptr;
    }

    static qint64 payloadSize(const QVariant& value)
    {
        if (value.typeId() == QMetaType::QString)
            return value.toString().size();
        return value.typeId() == QMetaType::QByteArray ? value.toByteArray().size() : 0;
    }

    static plist_t writeUnsigned(quint64 value)
    {
        if (value <= quint64(std::numeric_limits<qint64>::max()))
            return plist_new_uint(value);
        return nodeFromBinaryObject(WideIntegerMarker + bigEndian(0) + bigEndian(value));
    }

    plist_t writeText(const QString& text)
    {
        if (text.contains(QChar::Null))
            return fail(QStringLiteral("property list text cannot hold a NUL character"));
        return plist_new_string(text.toUtf8().constData());
    }

    // The XML form holds whole seconds; rounding down here makes it say the second the date is in.
    plist_t writeDate(const QDateTime& date)
    {
        double seconds = PropertyList::referenceSecondsFromDate(date);
        if (!std::isfinite(seconds))
            return fail(QStringLiteral("property list dates must be valid and in the years 1 to 9999"));
        if (m_format == PropertyList::Format::XML)
            seconds = std::floor(seconds);
        return nodeFromBinaryObject(DateMarker + bigEndian(std::bit_cast<quint64>(seconds)));
    }

    plist_t writeArray(const QVariantList& list, int depth)
    {
        plist_t array = plist_new_array();
        for (const QVariant& item : list) {
            plist_t node = write(item, depth + 1);
            if (!node) {
                plist_free(array);
                return nullptr;
            }
            plist_array_append_item(array, node);
        }
        return array;
    }

    plist_t writeDictionary(const QVariantMap& map, int depth)
    {
        plist_t dictionary = plist_new_dict();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            plist_t node = it.key().contains(QChar::Null) ? fail(QStringLiteral("property list keys cannot hold a NUL character"))
                                                          : write(it.value(), depth + 1);
            if (!node) {
                plist_free(dictionary);
                return nullptr;
            }
            plist_dict_set_item(dictionary, it.key().toUtf8().constData(), node);
        }
        return dictionary;
    }

    PropertyList::Format m_format;
    SizeBudget m_budget;
    Error m_error;
};

plist_t parse(const QByteArray& data, Error* error)
{
    plist_t root = nullptr;
    if (data.startsWith(BinaryHeader)) {
        QString problem;
        if (!BinaryPlistValidator::validate(data, &problem)) {
            setError(error, readError(problem));
            return nullptr;
        }
        plist_from_bin(data.constData(), uint32_t(data.size()), &root);
    } else {
        plist_from_xml(data.constData(), uint32_t(data.size()), &root);
    }
    if (!root)
        setError(error, readError(QStringLiteral("data is not a readable property list")));
    return root;
}

} // namespace

QVariant PropertyList::fromData(const QByteArray& data, Error* error)
{
    if (data.isEmpty() || data.size() > MaximumSize) {
        setError(error, readError(QStringLiteral("property list data is empty or too large (%1 bytes)").arg(data.size())));
        return {};
    }
    plist_t root = parse(data, error);
    if (!root)
        return {};
    PlistReader reader;
    const QVariant value = reader.read(root, 0);
    if (reader.failed()) {
        releaseTree(root);
        setError(error, reader.error());
        return {};
    }
    plist_free(root);
    return value;
}

QByteArray PropertyList::toData(const QVariant& value, Format format, Error* error)
{
    PlistWriter writer(format);
    plist_t root = writer.write(value, 0);
    if (!root) {
        setError(error, writer.error());
        return {};
    }
    char* bytes = nullptr;
    uint32_t length = 0;
    if (format == Format::XML)
        plist_to_xml(root, &bytes, &length);
    else
        plist_to_bin(root, &bytes, &length);
    plist_free(root);
    QByteArray data(bytes, bytes ? qsizetype(length) : 0);
    format == Format::XML ? plist_to_xml_free(bytes) : plist_to_bin_free(bytes);
    if (data.isEmpty())
        setError(error, writeError(QStringLiteral("the property list could not be written")));
    return data;
}

QDateTime PropertyList::dateFromReferenceSeconds(double seconds)
{
    constexpr double Limit = 400000000000.0; // beyond the years 1 to 9999 either way
    if (!std::isfinite(seconds) || std::fabs(seconds) > Limit)
        return {};
    const QDateTime date = QDateTime::fromMSecsSinceEpoch(ReferenceDateMsecs + std::llround(seconds * 1000.0), Qt::UTC);
    return date.date().year() >= 1 && date.date().year() <= 9999 ? date : QDateTime();
}

double PropertyList::referenceSecondsFromDate(const QDateTime& date)
{
    if (!date.isValid() || date.toUTC().date().year() < 1 || date.toUTC().date().year() > 9999)
        return std::numeric_limits<double>::quiet_NaN();
    return double(date.toMSecsSinceEpoch() - ReferenceDateMsecs) / 1000.0;
}

} // namespace platform
