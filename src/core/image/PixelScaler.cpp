#include "core/image/PixelScaler.h"

#include "core/image/PixelBufferPool.h"

#include <QColorSpace>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <utility>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr int weightBits = 14;
constexpr int32_t weightOne = 1 << weightBits;
constexpr int32_t rounding = weightOne >> 1;

// The source pixels the output pixels are made of, along one axis: every output
// pixel has `count` taps (an even number, some of weight 0) from its `first`.
struct Taps {
    int count = 0;
    std::vector<int> first;
    std::vector<int16_t> weights; // `count` per output pixel, fixed point summing to weightOne
};

// The raw triangle weights of one output pixel centred at `centre`, from `first`.
std::vector<double> triangle(double centre, double support, int first, int last)
{
    std::vector<double> weights;
    for (int x = first; x <= last; ++x)
        weights.push_back(std::max(0.0, 1.0 - std::abs(x + 0.5 - centre) / support));
    return weights;
}

// The taps of `count` output pixels covering [start, start + extent) of a line
// of `length` source pixels; pixels beyond the line do not count.
Taps tapsFor(int length, double start, double extent, int outputs)
{
    const double step = extent / outputs;
    const double support = std::max(1.0, step);
    Taps taps;
    taps.count = std::min(length, int(std::ceil(2 * support)) + 1);
    taps.count += taps.count % 2;
    for (int index = 0; index < outputs; ++index) {
        const double centre = start + (index + 0.5) * step;
        // The pixels whose centres lie within the support; the nearest pixel
        // alone when the centre lies beyond the line.
        int from = std::clamp(int(std::floor(centre - support - 0.5)) + 1, 0, length - 1);
        const int to = std::clamp(int(std::ceil(centre + support - 0.5)) - 1, from, std::min(length - 1, from + taps.count - 1));
        std::vector<double> raw = triangle(centre, support, from, to);
        double total = std::accumulate(raw.begin(), raw.end(), 0.0);
        if (total <= 0) {
            from = std::clamp(int(centre), 0, length - 1);
            raw.assign(1, total = 1);
        }
        // Taps past the end of the line would read beyond it: start earlier instead.
        const int first = std::max(0, std::min(from, length - taps.count));
        std::vector<int16_t> fixed(size_t(taps.count), 0);
        int32_t given = 0;
        for (size_t tap = 0; tap < raw.size(); ++tap) {
            const auto weight = int16_t(std::lround(raw[tap] / total * weightOne));
            fixed[size_t(from - first) + tap] = weight;
            given += weight;
        }
        // Rounding leftovers go to the largest weight, so that flat colours stay exact.
        *std::max_element(fixed.begin(), fixed.end()) += int16_t(weightOne - given);
        taps.first.push_back(first);
        taps.weights.insert(taps.weights.end(), fixed.begin(), fixed.end());
    }
    return taps;
}

#ifdef __SSE2__

// Two taps at once: the 4 channels of two neighbouring 4-byte pixels, weighted.
__m128i weightedPair(__m128i pixels16, __m128i weightPair, __m128i sums)
{
    // r0 g0 b0 a0 r1 g1 b1 a1 -> r0 r1 g0 g1 b0 b1 a0 a1, so that one multiply-add
    // sums both taps of a channel.
    const __m128i paired = _mm_unpacklo_epi16(pixels16, _mm_srli_si128(pixels16, 8));
    return _mm_add_epi32(sums, _mm_madd_epi16(paired, weightPair));
}

__m128i packedBytes(__m128i sums0, __m128i sums1)
{
    const __m128i words = _mm_packs_epi32(_mm_srai_epi32(sums0, weightBits), _mm_srai_epi32(sums1, weightBits));
    return _mm_packus_epi16(words, words);
}

void filterRow(const uint8_t* row, const Taps& columns, int outputs, uint8_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    const int16_t* weights = columns.weights.data();
    for (int x = 0; x < outputs; ++x) {
        const uint8_t* pixel = row + 4 * columns.first[size_t(x)];
        __m128i sums = _mm_set1_epi32(rounding);
        for (int tap = 0; tap < columns.count; tap += 2, pixel += 8, weights += 2) {
            const __m128i pixels16 = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pixel)), zero);
            const int32_t pair = int32_t(uint16_t(weights[0])) | (int32_t(weights[1]) << 16);
            sums = weightedPair(pixels16, _mm_set1_epi32(pair), sums);
        }
        const int32_t packed = _mm_cvtsi128_si32(packedBytes(sums, sums));
        std::memcpy(out + 4 * x, &packed, 4);
    }
}

// Two source rows at once into the sums of `bytes` output bytes (a multiple of 16).
void filterColumns(const uint8_t* const* rows, const int16_t* weights, int count, size_t bytes, uint8_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    for (size_t byte = 0; byte < bytes; byte += 16) {
        __m128i sums[4];
        for (__m128i& sum : sums)
            sum = _mm_set1_epi32(rounding);
        for (int tap = 0; tap < count; tap += 2) {
            const __m128i weightPair = _mm_set1_epi32(int32_t(uint16_t(weights[tap])) | (int32_t(weights[tap + 1]) << 16));
            const __m128i upper = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[tap] + byte));
            const __m128i lower = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[tap + 1] + byte));
            // Interleave the two rows' bytes, widen to words: one multiply-add per 4 bytes.
            const __m128i low = _mm_unpacklo_epi8(upper, lower);
            const __m128i high = _mm_unpackhi_epi8(upper, lower);
            sums[0] = _mm_add_epi32(sums[0], _mm_madd_epi16(_mm_unpacklo_epi8(low, zero), weightPair));
            sums[1] = _mm_add_epi32(sums[1], _mm_madd_epi16(_mm_unpackhi_epi8(low, zero), weightPair));
            sums[2] = _mm_add_epi32(sums[2], _mm_madd_epi16(_mm_unpacklo_epi8(high, zero), weightPair));
            sums[3] = _mm_add_epi32(sums[3], _mm_madd_epi16(_mm_unpackhi_epi8(high, zero), weightPair));
        }
        const __m128i first = _mm_packs_epi32(_mm_srai_epi32(sums[0], weightBits), _mm_srai_epi32(sums[1], weightBits));
        const __m128i second = _mm_packs_epi32(_mm_srai_epi32(sums[2], weightBits), _mm_srai_epi32(sums[3], weightBits));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + byte), _mm_packus_epi16(first, second));
    }
}

#else

uint8_t toByte(int32_t sum)
{
    return uint8_t(std::clamp(sum >> weightBits, 0, 255));
}

void filterRow(const uint8_t* row, const Taps& columns, int outputs, uint8_t* out)
{
    const int16_t* weights = columns.weights.data();
    for (int x = 0; x < outputs; ++x) {
        const uint8_t* pixel = row + 4 * columns.first[size_t(x)];
        int32_t sums[4] = {rounding, rounding, rounding, rounding};
        for (int tap = 0; tap < columns.count; ++tap, pixel += 4, ++weights) {
            for (int channel = 0; channel < 4; ++channel)
                sums[channel] += *weights * pixel[channel];
        }
        for (int channel = 0; channel < 4; ++channel)
            *out++ = toByte(sums[channel]);
    }
}

void filterColumns(const uint8_t* const* rows, const int16_t* weights, int count, size_t bytes, uint8_t* out)
{
    for (size_t byte = 0; byte < bytes; ++byte) {
        int32_t sum = rounding;
        for (int tap = 0; tap < count; ++tap)
            sum += weights[tap] * rows[tap][byte];
        out[byte] = toByte(sum);
    }
}

#endif

} // namespace

// The filters of both axes, and the latest source rows filtered along x: as
// many as an output row reads, in a ring, so that each output row is made as
// soon as its last source row is in.
struct PixelScaler::Filters {
    Taps columns;
    Taps rows;
    size_t rowBytes; // whole 16 bytes, for the filter down the columns
    std::vector<uint8_t> ring;
    std::vector<const uint8_t*> sources;
    std::vector<uint8_t> line;

    uint8_t* ringRow(int y) { return ring.data() + rowBytes * size_t(y % rows.count); }
};

PixelScaler::PixelScaler(QSize pictureSize, const QRectF& part, QSize size, QImage::Format format)
    : m_size(size)
{
    if (pictureSize.isEmpty() || part.isEmpty() || size.isEmpty() || QImage::toPixelFormat(format).bitsPerPixel() != 32)
        return;
    m_result = PixelBufferPool::image(size, format);
    if (m_result.isNull())
        return;
    const size_t rowBytes = (size_t(size.width()) * 4 + 15) / 16 * 16;
    m_filters = std::make_unique<Filters>(Filters{tapsFor(pictureSize.width(), part.x(), part.width(), size.width()),
                                                  tapsFor(pictureSize.height(), part.y(), part.height(), size.height()),
                                                  rowBytes, {}, {}, std::vector<uint8_t>(rowBytes)});
    const int count = m_filters->rows.count;
    m_filters->ring.resize(rowBytes * size_t(count));
    m_filters->sources.resize(size_t(count));
    m_firstRow = m_filters->rows.first.front();
    m_lastRow = m_filters->rows.first.back() + count - 1;
}

PixelScaler::~PixelScaler() = default;

void PixelScaler::addRow(int y, const uchar* pixels)
{
    if (!m_filters || y < m_firstRow || y > m_lastRow)
        return;
    Filters& filters = *m_filters;
    filterRow(pixels, filters.columns, m_size.width(), filters.ringRow(y));
    const int count = filters.rows.count;
    for (; m_nextOutput < m_size.height() && filters.rows.first[size_t(m_nextOutput)] + count - 1 <= y; ++m_nextOutput) {
        const int first = filters.rows.first[size_t(m_nextOutput)];
        for (int tap = 0; tap < count; ++tap)
            filters.sources[size_t(tap)] = filters.ringRow(first + tap);
        filterColumns(filters.sources.data(), filters.rows.weights.data() + size_t(m_nextOutput) * size_t(count), count,
                      filters.rowBytes, filters.line.data());
        std::memcpy(m_result.scanLine(m_nextOutput), filters.line.data(), size_t(m_size.width()) * 4);
    }
}

QImage PixelScaler::result()
{
    const bool complete = m_filters && m_nextOutput == m_size.height();
    m_filters.reset();
    QImage result = std::exchange(m_result, QImage());
    return complete ? result : QImage();
}

QImage PixelScaler::scaled(const QImage& picture, const QRectF& part, QSize size)
{
    PixelScaler scaler(picture.size(), part, size, picture.format());
    for (int y = scaler.firstRow(); y <= scaler.lastRow(); ++y)
        scaler.addRow(y, picture.constScanLine(y));
    QImage result = scaler.result();
    result.setColorSpace(picture.colorSpace());
    return result;
}
