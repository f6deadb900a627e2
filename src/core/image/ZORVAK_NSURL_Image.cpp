#include "core/image/ZORVAK_NSURL_Image.h"

#include "core/image/UprightImageReader.h"

#include <algorithm>
#include <cmath>

namespace ZORVAK_NSURL_Image {

QImage thumbnailImageWithMaxSize(const QUrl& url, const QSizeF& maxSize)
{
    const double longerSide = std::floor(std::max(maxSize.width(), maxSize.height()));
    if (!(longerSide >= 1))
        return {};
    const int bound = int(std::min<double>(longerSide, UprightImageReader::maximumSide));
    return UprightImageReader::read(url, bound);
}

} // namespace ZORVAK_NSURL_Image
