#pragma once

#include <QByteArray>
#include <QString>

// Digests and text forms of data. Every digest covers all bytes of the data.
namespace ZORVAK_NSData {

QByteArray digest16(const QByteArray& data); // MD5
QByteArray digest20(const QByteArray& data); // SHA-1
QByteArray digest28(const QByteArray& data); // SHA-224
QByteArray digest32(const QByteArray& data); // SHA-256
QByteArray digest48(const QByteArray& data); // SHA-384
QByteArray digest64(const QByteArray& data); // SHA-512
QByteArray digest(const QByteArray& data);   // the same as digest32

// Base64 with padding on one line.
QString encodedBase64(const QByteArray& data);
// Upper-case hexadecimal, two digits per byte; a null string for empty data.
QString encodedBase16(const QByteArray& data);

} // namespace ZORVAK_NSData
