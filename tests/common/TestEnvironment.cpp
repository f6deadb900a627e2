#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace kova::test {

void processMainQueue()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents();
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    QDeadlineTimer deadline(timeout);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents();
        QThread::yieldCurrentThread();
    }
    return true;
}

} // namespace kova::test
