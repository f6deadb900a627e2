#include "core/image/ImageOrientation.h"

#include <array>

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
    const QImage mirrored = stored.mirrored(turn.mirrorHorizontally, turn.mirrorVertically);
    // A pure quarter turn is a rotation of the pixels in memory, not a resampling.
    return turn.clockwiseDegrees ? mirrored.transformed(QTransform().rotate(turn.clockwiseDegrees)) : mirrored;
}

} // namespace ImageOrientation
