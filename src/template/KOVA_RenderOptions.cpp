#include "template/KOVA_RenderOptions.h"

// The scale with every digit, so that two scales a hair apart stay apart.
QString KOVA_RenderOptions::description() const
{
    return QStringLiteral("preview %1, unrotated %2, scale %3")
        .arg(int(preview))
        .arg(int(unrotated))
        .arg(scaleFactor(), 0, 'g', 17);
}
