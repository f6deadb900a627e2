#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>

// Pictures and the plain Qt baseline shared by the imaging benchmarks.
namespace PhotoFixtures {

// The JPEG quality of the pictures the benchmarks write.
constexpr int outputQuality = 85;

// A photo-like picture: soft colour gradients with a few waves and sensor-like
// noise, so that it does not compress trivially.
QImage photoLikePicture(QSize size, uint32_t seed);

// Writes `picture` as a camera's high quality JPEG.
bool writePhoto(const QString& path, const QImage& picture);

// What Qt alone needs for a print: decode the photo at `size`, then encode it
// at the output quality.
bool decodeScaleEncode(const QString& photo, QSize size, const QString& destination);

} // namespace PhotoFixtures
