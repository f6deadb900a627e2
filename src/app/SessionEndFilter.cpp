#include "app/SessionEndFilter.h"

#include "app/ApplicationTermination.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QEvent>

SessionEndFilter::SessionEndFilter(std::function<void()> sessionEnds, QObject* parent)
    : QObject(parent)
    , m_sessionEnds(std::move(sessionEnds))
{
}

bool SessionEndFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != QCoreApplication::instance() || event->type() != QEvent::Quit || ApplicationTermination::isTerminating())
        return false;
    platform::Log::log(QStringLiteral("the session ends"));
    m_sessionEnds();
    return true;
}
