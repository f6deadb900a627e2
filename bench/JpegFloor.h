#pragma once

#include <QString>

// The least work a 4x6 composite of two photos can cost, done with libjpeg-turbo
// alone: both photos decoded at full size, every scanline, and one 1800 x 1200
// JPEG (quality 90, 4:2:0) written of a block of each, side by side. Nothing is
// scaled, turned or drawn; it is the floor the composite is measured against.
namespace JpegFloor {

constexpr int quality = 90;

// False when a photo cannot be read or decoded or the result cannot be written.
bool composeTwoBlocks(const QString& left, const QString& right, const QString& destination);

} // namespace JpegFloor
