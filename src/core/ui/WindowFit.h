#pragma once

#include <QMargins>
#include <QRect>

#include <functional>

class QWidget;

// Keeping a top-level window, the window manager's frame included, inside the screen's
// available area.
class WindowFit {
public:
    // `window` moved and shrunk as little as it takes for it and its frame `margins`
    // to lie inside `available`.
    static QRect fittedInside(const QRect& window, const QMargins& margins, const QRect& available);
    // The window manager's frame around `window`: as the window has it once shown,
    // else room for a title bar above and a border around.
    static QMargins frameMargins(const QWidget& window);
    // Moves and shrinks `window`, frame and all, inside `available`, when it is not.
    static void fitInside(QWidget& window, const QRect& available);
    // The frame comes only after the window is shown, so a fit made before can only
    // guess it: `fit` runs once, as soon as the shown window has its frame.
    static void fitOnceFramed(QWidget& window, std::function<void()> fit);
};
