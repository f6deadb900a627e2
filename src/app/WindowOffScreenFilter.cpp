#include "app/WindowOffScreenFilter.h"

#include <QEvent>
#include <QWidget>

WindowOffScreenFilter::WindowOffScreenFilter(std::function<void()> offScreen, QObject* parent)
    : QObject(parent)
    , m_offScreen(std::move(offScreen))
{
}

bool WindowOffScreenFilter::eventFilter(QObject* watched, QEvent* event)
{
    // Only widgets are looked at, before their event: events posted to other
    // objects from other threads are none of this filter's business.
    if (!watched->isWidgetType() || watched == m_ignored)
        return false;
    const auto* widget = static_cast<const QWidget*>(watched);
    if (!widget->isWindow())
        return false;
    if (event->type() == QEvent::Hide || (event->type() == QEvent::WindowStateChange && widget->isMinimized()))
        m_offScreen();
    return false;
}
