#include "core/image/LanczosScaler.h"

#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/DispatchQueue.h"

#include <QColorSpace>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <thread>
#include <vector>

#ifdef __SSE2__
#include <xmmintrin.h>
#endif

namespace {

constexpr double lobes = 3.0;
// Output rows made by one worker, at least.
constexpr int RowsPerBand = 128;

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
    // Two sums, so that one addition need not wait for the other.
    __m128 even = _mm_setzero_ps();
    __m128 odd = _mm_setzero_ps();
    int t = 0;
    for (; t + 1 < count; t += 2, pixel += 8) {
        even = _mm_add_ps(even, _mm_mul_ps(_mm_set1_ps(weight[t]), _mm_loadu_ps(pixel)));
        odd = _mm_add_ps(odd, _mm_mul_ps(_mm_set1_ps(weight[t + 1]), _mm_loadu_ps(pixel + 4)));
    }
    if (t < count)
        even = _mm_add_ps(even, _mm_mul_ps(_mm_set1_ps(weight[t]), _mm_loadu_ps(pixel)));
    _mm_storeu_ps(out, _mm_add_ps(even, odd));
#else
    float sum[4] = {0, 0, 0, 0};
    for (int t = 0; t < count; ++t, pixel += 4)
        for (int c = 0; c < 4; ++c)
            sum[c] += weight[t] * pixel[c];
    std::copy(sum, sum + 4, out);
#endif
}

// The weighted sum of `count` rows of `length` floats into `out` (`length` a multiple of 4).
inline void filterColumn(const float* const* rows, const float* weight, int count, size_t length, float* out)
{
#ifdef __SSE2__
    size_t k = 0;
    for (; k + 8 <= length; k += 8) {
        __m128 low = _mm_setzero_ps();
        __m128 high = _mm_setzero_ps();
        for (int t = 0; t < count; ++t) {
            const __m128 w = _mm_set1_ps(weight[t]);
            low = _mm_add_ps(low, _mm_mul_ps(w, _mm_loadu_ps(rows[t] + k)));
            high = _mm_add_ps(high, _mm_mul_ps(w, _mm_loadu_ps(rows[t] + k + 4)));
        }
        _mm_storeu_ps(out + k, low);
        _mm_storeu_ps(out + k + 4, high);
    }
    for (; k < length; k += 4) {
        __m128 sum = _mm_setzero_ps();
        for (int t = 0; t < count; ++t)
            sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(weight[t]), _mm_loadu_ps(rows[t] + k)));
        _mm_storeu_ps(out + k, sum);
    }
#else
    std::fill(out, out + length, 0.0f);
    for (int t = 0; t < count; ++t)
        for (size_t k = 0; k < length; ++k)
            out[k] += weight[t] * rows[t][k];
#endif
}

// One row of sums stored as samples, within their range (and, premultiplied, within their
// alpha); output pixels outside the scaled picture stay clear.
template <class Channel>
void storeRow(const float* sum, const Taps& columns, bool premultiplied, Channel* out)
{
    constexpr float maximum = float(std::numeric_limits<Channel>::max());
    for (size_t i = 0; i < columns.count.size(); ++i) {
        if (columns.count[i] == 0)
            continue;
        const float* value = sum + i * 4;
        const float alpha = std::clamp(value[3], 0.0f, maximum);
        const float ceiling = premultiplied ? alpha : maximum;
        Channel* pixel = out + i * 4;
        for (int c = 0; c < 3; ++c)
            pixel[c] = Channel(std::clamp(value[c], 0.0f, ceiling) + 0.5f);
        pixel[3] = Channel(alpha + 0.5f);
    }
}

template <class Channel>
QImage resampledPixels(const QImage& picture, QSizeF scale, QPointF origin, QSize size)
{
    const bool premultiplied = picture.pixelFormat().premultiplied() == QPixelFormat::Premultiplied;
    const Taps columns = tapsFor(picture.width(), scale.width(), origin.x(), size.width());
    const Taps rows = tapsFor(picture.height(), scale.height(), origin.y(), size.height());
    QImage result(size, picture.format());
    if (result.isNull())
        return {};
    result.fill(Qt::transparent);
    result.setColorSpace(picture.colorSpace());
    // Bands of output rows are made side by side; each writes its own rows of the result.
    uchar* const resultBits = result.bits();
    const qsizetype resultStride = result.bytesPerLine();
    const auto resampleBand = [&](int firstOutputRow, int endOutputRow) {
        // The source rows filtered along the rows as the output rows come to need them, in a
        // ring of as many rows as an output row reads: the window only moves down.
        const int ringRows = std::max(1, *std::max_element(rows.count.begin(), rows.count.end()));
        const size_t rowFloats = size_t(size.width()) * 4;
        std::vector<float> ring(rowFloats * size_t(ringRows));
        std::vector<float> sourceRow(size_t(picture.width()) * 4);
        std::vector<float> sum(rowFloats);
        std::vector<const float*> window(static_cast<size_t>(ringRows));
        int lastFiltered = -1;
        const auto filteredRow = [&](int y) { return ring.data() + rowFloats * size_t(y % ringRows); };
        const auto filterRow = [&](int y) {
            // Each source sample is converted once, then read by every tap that covers it.
            const auto* source = reinterpret_cast<const Channel*>(picture.constScanLine(y));
            for (size_t k = 0; k < sourceRow.size(); ++k)
                sourceRow[k] = float(source[k]);
            float* out = filteredRow(y);
            for (int i = 0; i < size.width(); ++i, out += 4)
                filterPixel(sourceRow.data() + size_t(columns.first[i]) * 4, columns.weights.data() + columns.offset[i], columns.count[i], out);
        };
        for (int j = firstOutputRow; j < endOutputRow; ++j) {
            if (rows.count[j] == 0)
                continue;
            const int last = rows.first[j] + rows.count[j] - 1;
            for (int y = std::max(lastFiltered + 1, rows.first[j]); y <= last; ++y)
                filterRow(y);
            lastFiltered = std::max(lastFiltered, last);
            for (int t = 0; t < rows.count[j]; ++t)
                window[size_t(t)] = filteredRow(rows.first[j] + t);
            filterColumn(window.data(), rows.weights.data() + rows.offset[j], rows.count[j], rowFloats, sum.data());
            storeRow(sum.data(), columns, premultiplied, reinterpret_cast<Channel*>(resultBits + resultStride * j));
        }
    };

    const int bands = std::clamp(size.height() / RowsPerBand, 1, int(std::max(1u, std::thread::hardware_concurrency())));
    if (bands == 1) {
        resampleBand(0, size.height());
        return result;
    }
    const auto group = platform::DispatchGroup::create();
    for (int band = 0; band < bands; ++band) {
        group->async(platform::DispatchQueue::global(platform::QoS::UserInitiated),
                     [&, band] { resampleBand(size.height() * band / bands, size.height() * (band + 1) / bands); });
    }
    group->wait();
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
