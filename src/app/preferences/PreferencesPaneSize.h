#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

// The fixed window size of each preferences pane and the frame the window takes
// when a pane is selected. Frames are client areas in screen coordinates with y
// growing downwards.
class PreferencesPaneSize {
public:
    // The pane's size by its identifier, compared without regard to case; none
    // for an identifier the table does not know.
    static std::optional<QSize> sizeForIdentifier(const QString& identifier);

    // The frame for the pane: the pane's size at the frame's origin, the top
    // edge kept, moved left so that its right edge stays inside `available`
    // (the screen's available area; an empty one clamps nothing). None, to leave
    // the window as it is, for an unknown identifier or an empty frame.
    static std::optional<QRect> resizedFrame(const QRect& frame, const QRect& available, const QString& identifier);
};
