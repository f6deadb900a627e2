#include "core/foundation/ZORVAK_NSData.h"

#include <QCryptographicHash>

namespace ZORVAK_NSData {

QByteArray digest16(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5);
}

QByteArray digest20(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha1);
}

QByteArray digest28(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha224);
}

QByteArray digest32(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256);
}

QByteArray digest48(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha384);
}

QByteArray digest64(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha512);
}

QByteArray digest(const QByteArray& data)
{
    return digest32(data);
}

QString encodedBase64(const QByteArray& data)
{
    return QString::fromLatin1(data.toBase64());
}

QString encodedBase16(const QByteArray& data)
{
    if (data.isEmpty())
        return {};
    return QString::fromLatin1(data.toHex().toUpper());
}

} // namespace ZORVAK_NSData
