#pragma once

#include <QImage>
#include <QSizeF>
#include <QUrl>

// Images of the files that URLs point at.
namespace ZORVAK_NSURL_Image {

// A thumbnail of image 0 of the file at `url`, upright (its orientation
// applied), made from the full image and scaled down (never up) so that its
// longer side is at most the larger of the two lengths of `maxSize`. A null
// image when the file cannot be read or the larger length is below one pixel.
QImage thumbnailImageWithMaxSize(const QUrl& url, const QSizeF& maxSize);

} // namespace ZORVAK_NSURL_Image
