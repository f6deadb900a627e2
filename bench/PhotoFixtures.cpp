#include "PhotoFixtures.h"

#include <QElapsedTimer>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <cmath>

namespace PhotoFixtures {

QImage photoLikePicture(QSize size, uint32_t seed)
{
    QImage picture(size, QImage::Format_RGB888);
    uint32_t state = seed;
    const auto noise = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return int(state % 41) - 20;
    };
    for (int y = 0; y < size.height(); ++y) {
        uchar* pixel = picture.scanLine(y);
        const double v = double(y) / size.height();
        for (int x = 0; x < size.width(); ++x) {
            const double u = double(x) / size.width();
            const double wave = 40 * std::sin(u * 9 + v * 4) * std::cos(v * 7 - u * 3);
            const int channels[3] = {int(60 + 150 * u + wave), int(90 + 110 * v - wave / 2), int(170 - 120 * u * v + wave)};
            for (int c = 0; c < 3; ++c)
                *pixel++ = uchar(std::clamp(channels[c] + noise(), 0, 255));
        }
    }
    return picture;
}

bool writePhoto(const QString& path, const QImage& picture)
{
    QImageWriter writer(path);
    writer.setQuality(92);
    return writer.write(picture);
}

bool decodeScaleEncode(const QString& photo, QSize size, const QString& destination)
{
    QImageReader reader(photo);
    reader.setScaledSize(size);
    const QImage picture = reader.read();
    QImageWriter writer(destination);
    writer.setQuality(outputQuality);
    return !picture.isNull() && writer.write(picture);
}

void measureAgainstPlain(benchmark::State& state, const std::function<bool()>& plain,
                         const std::function<bool()>& measured)
{
    QElapsedTimer timer;
    double plainMilliseconds = 0;
    double measuredMilliseconds = 0;
    for (auto _ : state) {
        timer.start();
        const bool plainDone = plain();
        plainMilliseconds += timer.nsecsElapsed() / 1e6;
        timer.start();
        const bool measuredDone = measured();
        const double measuredTime = timer.nsecsElapsed() / 1e6;
        measuredMilliseconds += measuredTime;
        state.SetIterationTime(measuredTime / 1e3);
        if (!plainDone || !measuredDone) {
            state.SkipWithError("a picture could not be rendered or written");
            return;
        }
    }
    state.counters["plain_ms"] = plainMilliseconds / double(state.iterations());
    state.counters["ratio"] = measuredMilliseconds / plainMilliseconds;
}

} // namespace PhotoFixtures
