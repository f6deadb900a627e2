#include "core/image/ImageSignature.h"

namespace ImageSignature {

QByteArray format(const QByteArray& data)
{
    if (data.startsWith("\xFF\xD8\xFF"))
        return QByteArrayLiteral("jpeg");
    if (data.startsWith("\x89PNG\r\n\x1A\n"))
        return QByteArrayLiteral("png");
    return {};
}

} // namespace ImageSignature
