#pragma once

#include <QByteArray>

// The image format the first bytes of image data name, for the formats a
// rendering meets most whose signature is certain (JPEG, PNG); empty for any
// other. Given to QImageReader, it spares the reader asking every image format
// plugin whether it can read the data, which loads each plugin and the
// libraries it needs.
namespace ImageSignature {

QByteArray format(const QByteArray& data);

} // namespace ImageSignature
