#include "core/image/LanczosScaler.h"

#include <QColorSpace>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

#ifdef __SSE2__
#include <xmmintrin.h>
#endif

namespace {

constexpr double lobes = 3.0;

double lanczos(double x)
{
    if (x == 0.0)
        return 1.0;
    if (std::abs(x) >= lobes)
        return 0.0;
    const double px = std::numbers::pi * x;
    return lobes * std::sin(px) * std::sin(px / lobes) / (px * px);
}

// The source pixels each output pixel is made of, along one axis. An output
// pixel with no taps lies outside the scaled picture.
struct Taps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<size_t> offset;
    std::vector<float> weights; // normalised to sum to 1 per output pixel
};

Taps tapsFor(int sourceLength, double scale, double origin, int outputLength)
{
    Taps taps;
    const double stretch = std::min(scale, 1.0);
    const double support = lobes / stretch;
    const double scaledLength = sourceLength * scale;
    for (int i = 0; i < outputLength; ++i) {
        const double scaledCentre = origin + i + 0.5;
        taps.first.push_back(0);
        taps.count.push_back(0);
        taps.offset.push_back(taps.weights.size());
        if (scaledCentre < 0 || scaledCentre >= scaledLength)
            continue;
        const double centre = scaledCentre / scale - 0.5;
        const int first = std::max(0, int(std::floor(centre - support)) + 1);
        const int last = std::min(sourceLength - 1, int(std::ceil(centre + support)) - 1);
        double sum = 0;
        for (int x = first; x <= last; ++x)
            sum += lanczos((x - centre) * stretch);
        if (sum == 0.0)
            continue;
        for (int x = first; x <= last; ++x)
            taps.weights.push_back(float(lanczos((x - centre) * stretch) / sum));
        taps.first.back() = first;
        taps.count.back() = last - first + 1;
    }
    return taps;
}

// The weighted sum of `count` pixels of four floats from `pixel` into `out`.
inline void filterPixel(const float* pixel, const float* weight, int count, float* out)
{
#ifdef __SSE2__
    __m128 sum = _mm_setzero_ps();
    for (int t = 0; t < count; ++t, pixel += 4)
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(weight[t]), _mm_loadu_ps(pixel)));
    _mm_storeu_ps(out, sum);
#else
    float sum[4] = {0, 0, 0, 0};
    for (int t = 0; t < count; ++t, pixel += 4)
        for (int c = 0; c < 4; ++c)
            sum[c] += weight[t] * pixel[c];
    std::copy(sum, sum + 4, out);
#endif
}

template <class Channel>
QImage resampledPixels(const QImage& picture, QSizeF scale, QPointF origin, QSize size)
{
    constexpr float maximum = float(std::numeric_limits<Channel>::max());
    const Taps columns = tapsFor(picture.width(), scale.width(), origin.x(), size.width());
    const Taps rows = tapsFor(picture.height(), scale.height(), origin.y(), size.height());
    QImage result(size, picture.format());
    if (result.isNull())
        return {};
    result.fill(Qt::transparent);
    result.setColorSpace(picture.colorSpace());

    // The source rows the output needs, filtered along the rows.
    int firstRow = picture.height();
    int lastRow = -1;
    for (int j = 0; j < size.height(); ++j) {
        if (rows.count[j] == 0)
            continue;
        firstRow = std::min(firstRow, rows.first[j]);
        lastRow = std::max(lastRow, rows.first[j] + rows.count[j] - 1);
    }
    if (lastRow < firstRow)
        return result;
    const size_t rowFloats = size_t(size.width()) * 4;
    std::vector<float> filtered(rowFloats * size_t(lastRow - firstRow + 1));
    std::vector<float> sourceRow(size_t(picture.width()) * 4);
    for (int y = firstRow; y <= lastRow; ++y) {
        // Each source sample is converted once, then read by every tap that covers it.
        const auto* source = reinterpret_cast<const Channel*>(picture.constScanLine(y));
        for (size_t k = 0; k < sourceRow.size(); ++k)
            sourceRow[k] = float(source[k]);
        float* out = filtered.data() + rowFloats * size_t(y - firstRow);
        for (int i = 0; i < size.width(); ++i, out += 4)
            filterPixel(sourceRow.data() + size_t(columns.first[i]) * 4, columns.weights.data() + columns.offset[i], columns.count[i], out);
    }

    const bool premultiplied = picture.pixelFormat().premultiplied() == QPixelFormat::Premultiplied;
    std::vector<float> sum(rowFloats);
    for (int j = 0; j < size.height(); ++j) {
        if (rows.count[j] == 0)
            continue;
        std::fill(sum.begin(), sum.end(), 0.0f);
        const float* weight = rows.weights.data() + rows.offset[j];
        for (int t = 0; t < rows.count[j]; ++t) {
            const float* in = filtered.data() + rowFloats * size_t(rows.first[j] + t - firstRow);
            for (size_t k = 0; k < rowFloats; ++k)
                sum[k] += weight[t] * in[k];
        }
        auto* out = reinterpret_cast<Channel*>(result.scanLine(j));
        for (int i = 0; i < size.width(); ++i) {
            if (columns.count[i] == 0)
                continue;
            const float* value = sum.data() + size_t(i) * 4;
            const float alpha = std::clamp(value[3], 0.0f, maximum);
            const float ceiling = premultiplied ? alpha : maximum;
            Channel* pixel = out + size_t(i) * 4;
            for (int c = 0; c < 3; ++c)
                pixel[c] = Channel(std::clamp(value[c], 0.0f, ceiling) + 0.5f);
            pixel[3] = Channel(alpha + 0.5f);
        }
    }
    return result;
}

} // namespace

QImage LanczosScaler::resampled(const QImage& picture, QSizeF scale, QPointF origin, QSize size)
{
    if (picture.isNull() || size.isEmpty() || !(scale.width() > 0) || !(scale.height() > 0))
        return {};
    const QPixelFormat format = picture.pixelFormat();
    if (format.channelCount() != 4 || format.colorModel() != QPixelFormat::RGB)
        return {};
    if (format.bitsPerPixel() == 32)
        return resampledPixels<uint8_t>(picture, scale, origin, size);
    if (format.bitsPerPixel() == 64 && format.typeInterpretation() == QPixelFormat::UnsignedShort)
        return resampledPixels<uint16_t>(picture, scale, origin, size);
    return {};
}

QImage LanczosScaler::scaled(const QImage& picture, QSizeF scale)
{
    const QSize size(qRound(picture.width() * scale.width()), qRound(picture.height() * scale.height()));
    return resampled(picture, scale, {0, 0}, size);
}
