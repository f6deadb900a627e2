#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

// The fixed window size of each preferences pane and the frame the window takes
// when a pane is selected. Frames are outer window frames in screen coordinates
// with y growing downwards.
class PreferencesPaneSize {
public:
    // The pane's size by its identifier, compared without regard to case; none
    // for an identifier the table does not know.
    static std::optional<QSize> sizeForIdentifier(const QString& identifier);

    // The window's outer frame after a pane of `size` (the frame's new size) is
    // selected in the window whose outer frame is `frame`: the top edge kept, then
    // kept inside `available`. None, to leave the window as it is, for an empty
    // frame or size.
    static std::optional<QRect> resizedFrame(const QRect& frame, const QRect& available, const QSize& size);

    // `frame` moved to lie inside `available` (the screen's available area; an
    // empty one moves nothing): right and bottom edges first, then left and top, so
    // that a frame larger than the area keeps its title bar on the screen.
    static QRect keptInside(const QRect& frame, const QRect& available);
};
