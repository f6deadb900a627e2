#include "platform/MainDispatchQueue.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

namespace platform {

MainDispatchQueue::MainDispatchQueue()
    : DispatchQueue(Kind::Main, QStringLiteral("main-thread"))
{
}

bool MainDispatchQueue::isMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void MainDispatchQueue::async(DispatchBlock block)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        std::fputs("ERROR: a block for the main queue was dropped: no application object exists\n", stderr);
        return;
    }
    QMetaObject::invokeMethod(app, std::move(block), Qt::QueuedConnection);
}

} // namespace platform
