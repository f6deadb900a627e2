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
    const bool leaves = event->type() == QEvent::Hide
        || (event->type() == QEvent::WindowStateChange && watched->isWidgetType()
            && static_cast<QWidget*>(watched)->isMinimized());
    if (leaves && watched != m_ignored && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow())
        m_offScreen();
    return false;
}
