#pragma once

#include <QByteArray>

namespace platform {

// Textual repairs made before a tolerant parse, for the damage the parser's own
// recovery would lose text over: a stray "&" (dropped by the parser) and bytes that
// are not UTF-8 in a document that is UTF-8 by its declaration or by default
// (typically Latin-1 text; the parser would keep broken bytes).
class XmlInputRepair {
public:
    static QByteArray repaired(const QByteArray& data);

private:
    static bool isAsciiCompatible(const QByteArray& data);
    static bool isUtf8(const QByteArray& data);
    static QByteArray withInvalidUtf8AsLatin1(const QByteArray& data);
    static QByteArray withStrayAmpersandsEscaped(const QByteArray& data);
    static qsizetype utf8SequenceLength(const QByteArray& data, qsizetype at);
    static bool startsReference(const QByteArray& data, qsizetype ampersand);
};

} // namespace platform
