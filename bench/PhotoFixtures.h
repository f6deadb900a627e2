#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>

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

// Runs `plain` and `measured` in turn in every iteration, so that the load of a
// shared machine weighs on both alike. The iteration time is the measured one;
// the counters give the plain time ("plain_ms") and the measured cost as a
// multiple of it ("ratio"). Either failing stops the benchmark with an error.
void measureAgainstPlain(benchmark::State& state, const std::function<bool()>& plain,
                         const std::function<bool()>& measured);

} // namespace PhotoFixtures
