#pragma once

#include <QString>

#include <cstddef>
#include <utility>

// Lookups in the DNP tables: every code is compared as a whole integer of any width and
// sign, so that no code (negative, huge, a 64-bit command code) ever lands on a row it
// does not name, and no table is indexed by a code.
namespace DNPTables {

// A code and the text that names it.
struct NamedCode {
    long long code;
    const char* name;
};

// The row of `rows` whose `code` equals `code`, or null.
template <typename Row, std::size_t Count, typename Code>
const Row* findRow(const Row (&rows)[Count], Code code)
{
    for (const Row& row : rows) {
        if (std::cmp_equal(row.code, code))
            return &row;
    }
    return nullptr;
}

// The name of `code` in `names`, `other` for a code the table does not hold.
template <std::size_t Count, typename Code>
QString nameForCode(const NamedCode (&names)[Count], Code code, const char* other)
{
    const NamedCode* row = findRow(names, code);
    return QString::fromLatin1(row ? row->name : other);
}

// `text` without a leading `prefix` (matched in its letter case).
inline QString withoutPrefix(const QString& text, const QString& prefix)
{
    return text.startsWith(prefix) ? text.mid(prefix.size()) : text;
}

} // namespace DNPTables
