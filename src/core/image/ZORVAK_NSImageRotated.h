#pragma once

#include <QImage>

// Pictures turned about their centre.
namespace ZORVAK_NSImageRotated {

// A new picture showing `image` turned by `degrees`, clockwise as seen for positive
// degrees, on a transparent ground as large as the turned picture's bounding box
// (whole pixels). A null picture gives a null picture.
QImage imageRotatedByDegrees(const QImage& image, double degrees);

} // namespace ZORVAK_NSImageRotated
