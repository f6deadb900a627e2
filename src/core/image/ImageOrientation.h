#pragma once

#include <QImage>
#include <QSizeF>
#include <QTransform>

// The EXIF orientation (1-8) of stored pixels: how they turn and mirror into
// the upright picture.
namespace ImageOrientation {

// `orientation` when it is 1-8, else 1 (files carry any number).
int valid(int orientation);
// True for the orientations that exchange width and height (5-8).
bool swapsSides(int orientation);
// `size` as the upright picture has it.
QSizeF oriented(const QSizeF& storedSize, int orientation);
// The transform of stored pixel coordinates (origin top left, y down) into
// upright pixel coordinates of a picture of the same pixels.
QTransform transform(const QSizeF& storedSize, int orientation);
// The orientation of a picture of `orientation` turned by `quarterTurns`
// quarter turns clockwise (any whole number; negative turns counter-clockwise).
int turnedClockwise(int orientation, int quarterTurns);
// The stored pixels turned upright: mirrors and quarter turns that move every
// pixel exactly, with no resampling.
QImage upright(const QImage& stored, int orientation);

} // namespace ImageOrientation
