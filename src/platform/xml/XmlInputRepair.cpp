#include "platform/xml/XmlInputRepair.h"

#include <libxml/encoding.h>

#include <QRegularExpression>

#include <algorithm>
#include <array>

namespace platform {

namespace {

// Markup whose content is taken literally: a "&" inside is never a reference.
struct LiteralSection {
    const char* open;
    const char* close;
};
constexpr std::array<LiteralSection, 3> literalSections{{
    {"<!--", "-->"},
    {"<![CDATA[", "]]>"},
    {"<?", "?>"},
}};

const LiteralSection* literalSectionAt(QByteArrayView text)
{
    const auto found = std::find_if(literalSections.begin(), literalSections.end(),
        [&](const LiteralSection& section) { return text.startsWith(section.open); });
    return found == literalSections.end() ? nullptr : &*found;
}

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isNameStart(char c) { return isAsciiLetter(c) || c == '_' || c == ':' || static_cast<unsigned char>(c) >= 0x80; }
bool isNameChar(char c) { return isNameStart(c) || isAsciiDigit(c) || c == '-' || c == '.'; }

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

} // namespace

QByteArray XmlInputRepair::repaired(const QByteArray& data)
{
    if (!isAsciiCompatible(data))
        return data;
    const QByteArray text = isUtf8(data) ? withInvalidUtf8AsLatin1(data) : data;
    return withStrayAmpersandsEscaped(text);
}

bool XmlInputRepair::isAsciiCompatible(const QByteArray& data)
{
    if (data.size() < 4)
        return true;
    const auto encoding = xmlDetectCharEncoding(reinterpret_cast<const unsigned char*>(data.constData()), 4);
    return encoding == XML_CHAR_ENCODING_NONE || encoding == XML_CHAR_ENCODING_UTF8;
}

bool XmlInputRepair::isUtf8(const QByteArray& data)
{
    static const QRegularExpression declaredEncoding(
        QStringLiteral(R"(^(?:\xEF\xBB\xBF)?<\?xml[^>]*?\sencoding\s*=\s*["']([^"']*)["'])"));
    const QString head = QString::fromLatin1(data.left(256));
    const QRegularExpressionMatch match = declaredEncoding.match(head);
    if (!match.hasMatch())
        return true;
    const QString name = match.captured(1).toLower();
    return name == QLatin1String("utf-8") || name == QLatin1String("utf8");
}

QByteArray XmlInputRepair::withInvalidUtf8AsLatin1(const QByteArray& data)
{
    QByteArray out;
    out.reserve(data.size());
    for (qsizetype at = 0; at < data.size();) {
        const qsizetype length = utf8SequenceLength(data, at);
        if (length > 0) {
            out.append(data.constData() + at, length);
            at += length;
            continue;
        }
        const auto byte = static_cast<unsigned char>(data[at++]);
        out.append(static_cast<char>(0xC0 | (byte >> 6)));
        out.append(static_cast<char>(0x80 | (byte & 0x3F)));
    }
    return out;
}

// Length of the well-formed UTF-8 sequence at `at`, 0 when the bytes there are not one.
qsizetype XmlInputRepair::utf8SequenceLength(const QByteArray& data, qsizetype at)
{
    const auto lead = static_cast<unsigned char>(data[at]);
    if (lead < 0x80)
        return 1;
    const qsizetype length = lead >= 0xC2 && lead <= 0xDF ? 2
        : lead >= 0xE0 && lead <= 0xEF                    ? 3
        : lead >= 0xF0 && lead <= 0xF4                    ? 4
                                                          : 0;
    if (length == 0 || at + length > data.size())
        return 0;
    for (qsizetype i = 1; i < length; ++i) {
        if (!isContinuation(data[at + i]))
            return 0;
    }
    // Overlong forms, surrogates and code points above U+10FFFF.
    const auto second = static_cast<unsigned char>(data[at + 1]);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F)
        || (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

QByteArray XmlInputRepair::withStrayAmpersandsEscaped(const QByteArray& data)
{
    QByteArray out;
    out.reserve(data.size());
    for (qsizetype at = 0; at < data.size();) {
        const LiteralSection* section = data[at] == '<' ? literalSectionAt(QByteArrayView(data).sliced(at)) : nullptr;
        if (section) {
            const qsizetype end = data.indexOf(section->close, at + qstrlen(section->open));
            const qsizetype next = end < 0 ? data.size() : end + qstrlen(section->close);
            out.append(data.constData() + at, next - at);
            at = next;
            continue;
        }
        if (data[at] == '&' && !startsReference(data, at))
            out.append("&amp;");
        else
            out.append(data[at]);
        ++at;
    }
    return out;
}

// Whether the "&" at `ampersand` begins "&name;", "&#digits;" or "&#xhex;".
bool XmlInputRepair::startsReference(const QByteArray& data, qsizetype ampersand)
{
    qsizetype at = ampersand + 1;
    const auto endsAt = [&](qsizetype i) { return i < data.size() && data[i] == ';'; };
    if (at < data.size() && data[at] == '#') {
        ++at;
        const bool hex = at < data.size() && data[at] == 'x';
        at += hex ? 1 : 0;
        const qsizetype digitsStart = at;
        while (at < data.size() && (hex ? isHexDigit(data[at]) : isAsciiDigit(data[at])))
            ++at;
        return at > digitsStart && endsAt(at);
    }
    if (at >= data.size() || !isNameStart(data[at]))
        return false;
    while (at < data.size() && isNameChar(data[at]))
        ++at;
    return endsAt(at);
}

} // namespace platform
