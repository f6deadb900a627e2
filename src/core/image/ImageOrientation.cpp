#include "core/image/ImageOrientation.h"

#include "core/image/PixelBufferPool.h"

#include <QColorSpace>

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

// `stored` (4-byte pixels) turned a quarter clockwise, or counter-clockwise,
// into pooled memory; pixels are moved a tile at a time, so that the rows
// written stay in the cache. A null image when there is no memory.
QImage quarterTurned(const QImage& stored, bool clockwise)
{
    QImage turned = PixelBufferPool::image(stored.size().transposed(), stored.format());
    if (turned.isNull())
        return {};
    constexpr int tile = 32;
    const int width = stored.width();
    const int height = stored.height();
    const qsizetype turnedLine = turned.bytesPerLine();
    uchar* const into = turned.bits();
    for (int top = 0; top < height; top += tile) {
        for (int left = 0; left < width; left += tile) {
            for (int y = top; y < std::min(top + tile, height); ++y) {
                const auto* row = reinterpret_cast<const std::uint32_t*>(stored.constScanLine(y));
                for (int x = left; x < std::min(left + tile, width); ++x) {
                    const int turnedX = clockwise ? height - 1 - y : y;
                    const int turnedY = clockwise ? x : width - 1 - x;
                    reinterpret_cast<std::uint32_t*>(into + turnedY * turnedLine)[turnedX] = row[x];
                }
            }
        }
    }
    turned.setColorSpace(stored.colorSpace());
    turned.setDotsPerMeterX(stored.dotsPerMeterY());
    turned.setDotsPerMeterY(stored.dotsPerMeterX());
    return turned;
}

QImage rotatedClockwise(const QImage& image, int degrees)
{
    if (image.depth() == 32 && (degrees == 90 || degrees == 270))
        return quarterTurned(image, degrees == 90);
    return image.transformed(QTransform().rotate(degrees));
}

} // namespace

namespace ImageOrientation {

int valid(int orientation)
{
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

bool swapsSides(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

QSizeF oriented(const QSizeF& storedSize, int orientation)
{
    return swapsSides(orientation) ? storedSize.transposed() : storedSize;
}

QTransform transform(const QSizeF& storedSize, int orientation)
{
    // The turn and mirror on the unit square: (m11, m12, m21, m22, dx, dy)
    // maps stored (s, t) to upright (m11 s + m21 t + dx, m12 s + m22 t + dy).
    static const QTransform unit[8] = {
        QTransform(1, 0, 0, 1, 0, 0),   // 1: as stored
        QTransform(-1, 0, 0, 1, 1, 0),  // 2: mirrored left to right
        QTransform(-1, 0, 0, -1, 1, 1), // 3: half turn
        QTransform(1, 0, 0, -1, 0, 1),  // 4: mirrored top to bottom
        QTransform(0, 1, 1, 0, 0, 0),   // 5: transposed
        QTransform(0, 1, -1, 0, 1, 0),  // 6: quarter turn clockwise
        QTransform(0, -1, -1, 0, 1, 1), // 7: transverse
        QTransform(0, -1, 1, 0, 0, 1),  // 8: quarter turn counter-clockwise
    };
    const QSizeF upright = oriented(storedSize, orientation);
    if (storedSize.isEmpty())
        return {};
    return QTransform::fromScale(1 / storedSize.width(), 1 / storedSize.height()) * unit[valid(orientation) - 1]
        * QTransform::fromScale(upright.width(), upright.height());
}

int turnedClockwise(int orientation, int quarterTurns)
{
    // Each orientation as a mirror left to right (or none) followed by a number
    // of quarter turns clockwise, and back.
    static constexpr int mirrored[8] = {0, 1, 0, 1, 1, 0, 1, 0};
    static constexpr int turns[8] = {0, 0, 2, 2, 3, 1, 1, 3};
    static constexpr int orientations[2][4] = {{1, 6, 3, 8}, {2, 7, 4, 5}};
    const int index = valid(orientation) - 1;
    return orientations[mirrored[index]][((turns[index] + quarterTurns) % 4 + 4) % 4];
}

QImage upright(const QImage& stored, int orientation)
{
    // Mirror first, then turn clockwise.
    struct Turn {
        bool mirrorHorizontally;
        bool mirrorVertically;
        int clockwiseDegrees;
    };
    static constexpr std::array<Turn, 8> turns{{
        {false, false, 0}, {true, false, 0}, {true, true, 0}, {false, true, 0},
        {false, true, 90}, {false, false, 90}, {true, false, 90}, {false, false, 270},
    }};
    const Turn& turn = turns[size_t(valid(orientation) - 1)];
    if (stored.isNull() || (!turn.mirrorHorizontally && !turn.mirrorVertically && !turn.clockwiseDegrees))
        return stored;
    const QImage mirrored = turn.mirrorHorizontally || turn.mirrorVertically
        ? stored.mirrored(turn.mirrorHorizontally, turn.mirrorVertically)
        : stored;
    // A pure quarter turn is a rotation of the pixels in memory, not a resampling.
    return turn.clockwiseDegrees ? rotatedClockwise(mirrored, turn.clockwiseDegrees) : mirrored;
}

} // namespace ImageOrientation
