#pragma once

#include "platform/dispatch/DispatchGroup.h"

#include <QDBusConnection>
#include <QString>

#include <atomic>
#include <cstdint>

#include <functional>
#include <memory>

// The life of a bus-activated service: every request is counted in one group
// shared by the process, each finished request restarts an idle wait, and when
// the wait runs out the service gives up its bus name, lets the running
// requests finish and ends with status 0. The bus starts it again on the next
// call. Use on the main thread; enter and leave from any thread.
//
// The environment variable KOVA_SERVICE_IDLE_LIMIT (seconds) can only shorten
// the idle wait; the tests that run the built services set it so that they
// need not wait out the minutes.
class ServiceDelegate {
public:
    using ExitHook = std::function<void(int status)>;

    // `busName` is released on `bus` before exiting; `idleSeconds` is the wait
    // after the last request.
    ServiceDelegate(QDBusConnection bus, QString busName, double idleSeconds);
    // A pending idle wait of a destroyed delegate does nothing.
    ServiceDelegate(const ServiceDelegate&) = delete;
    ServiceDelegate& operator=(const ServiceDelegate&) = delete;

    // The group counting the requests in progress.
    static std::shared_ptr<platform::DispatchGroup> group();

    // A request begins / has ended (the latter also restarts the idle wait).
    void enterRequest();
    void leaveRequest();

    // (Re)starts the idle wait.
    void didComplete();

    // Logs, releases the bus name and ends the process once the group is
    // empty; waits by notification, never blocking the main thread.
    void exitSafely();

    // Ends the process; tests replace it (null restores `std::exit`).
    static void setExitHook(ExitHook hook);

private:
    void idleTimeExpired();

    QDBusConnection m_bus;
    const QString m_busName;
    const double m_idleSeconds;
    // The pending idle wait reaches the delegate through this; a wait outliving its
    // delegate (tests make several in one process), or overtaken by a later
    // request, then does nothing.
    struct IdleWait {
        ServiceDelegate* delegate;
        std::atomic<std::uint64_t> generation { 0 };
    };
    const std::shared_ptr<IdleWait> m_idleWait = std::make_shared<IdleWait>(this);
};
