#pragma once

#include <QCoreApplication>
#include <QDBusPendingCallWatcher>
#include <QThread>

// Runs `handle` with the finished bus call on the main thread, whichever thread
// made the call (a thread without an event loop would never see the answer).
template <class Handler>
void whenFinished(const QDBusPendingCall& call, Handler handle)
{
    auto* watcher = new QDBusPendingCallWatcher(call);
    watcher->moveToThread(QCoreApplication::instance()->thread());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [handle](QDBusPendingCallWatcher* finished) {
        handle(*finished);
        finished->deleteLater();
    });
}
