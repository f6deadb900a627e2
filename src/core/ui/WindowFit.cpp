#include "core/ui/WindowFit.h"

#include <QEvent>
#include <QStyle>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {

// Runs its fit once the shown window is framed; from then on the window is the
// operator's to move.
class FitOnceFramed : public QObject {
public:
    FitOnceFramed(QWidget& window, std::function<void()> fit)
        : QObject(&window)
        , m_window(window)
        , m_fit(std::move(fit))
    {
        window.installEventFilter(this);
    }

    // The frame comes with no event of its own: the first event that finds it (a paint,
    // as a rule) posts the fit.
    bool eventFilter(QObject*, QEvent*) override
    {
        if (m_window.isVisible() && m_window.frameGeometry() != m_window.geometry()) {
            m_window.removeEventFilter(this);
            QTimer::singleShot(0, &m_window, m_fit);
        }
        return false;
    }

private:
    QWidget& m_window;
    std::function<void()> m_fit;
};

} // namespace

QRect WindowFit::fittedInside(const QRect& window, const QMargins& margins, const QRect& available)
{
    QRect outer = window.marginsAdded(margins);
    outer.setSize(outer.size().boundedTo(available.size()));
    outer.moveLeft(std::clamp(outer.left(), available.left(), available.left() + available.width() - outer.width()));
    outer.moveTop(std::clamp(outer.top(), available.top(), available.top() + available.height() - outer.height()));
    return outer.marginsRemoved(margins);
}

QMargins WindowFit::frameMargins(const QWidget& window)
{
    const QRect outer = window.frameGeometry();
    const QRect inner = window.geometry();
    if (outer != inner)
        return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                outer.bottom() - inner.bottom()};
    const int border = window.style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    return {border, window.style()->pixelMetric(QStyle::PM_TitleBarHeight), border, border};
}

void WindowFit::fitInside(QWidget& window, const QRect& available)
{
    const QRect inside = fittedInside(window.geometry(), frameMargins(window), available);
    if (inside != window.geometry())
        window.setGeometry(inside);
}

void WindowFit::fitOnceFramed(QWidget& window, std::function<void()> fit)
{
    new FitOnceFramed(window, std::move(fit));
}
