#pragma once

// A private system-type bus that carries the helper's policy and activates a
// built helper daemon on the first call, as the machine's system bus would. The
// daemon is ended with the fixture rather than waiting out its idle minute.

#include "FileFixtures.h"
#include "PrivateSessionBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>

#include <memory>
#include <signal.h>

namespace kova::test {

class HelperSystemBus {
public:
    static inline const QString helperName = QStringLiteral("com.morvanta.KOVA-Helper");

    // `program` is the daemon to activate, `policyFile` the project's bus policy.
    HelperSystemBus(const QString& program, const QString& policyFile)
    {
        writeFile(m_services.path(helperName + QStringLiteral(".service")),
            QStringLiteral("[D-BUS Service]\nName=%1\nExec=%2\n").arg(helperName, program).toUtf8());
        m_bus = PrivateSessionBus::systemType(policyFile, m_services.path());
        if (!m_bus->address().isEmpty())
            m_connection = QDBusConnection::connectToBus(m_bus->address(), connectionName);
    }
    ~HelperSystemBus()
    {
        if (m_connection.isConnected()) {
            const QDBusReply<uint> pid = m_connection.interface()->servicePid(helperName);
            if (pid.isValid())
                kill(pid.value(), SIGTERM);
        }
        QDBusConnection::disconnectFromBus(connectionName);
    }
    HelperSystemBus(const HelperSystemBus&) = delete;
    HelperSystemBus& operator=(const HelperSystemBus&) = delete;

    // Empty when the bus could not be started.
    QString address() const { return m_bus->address(); }
    // A connection of the test's own to the bus.
    QDBusConnection connection() const { return m_connection; }

private:
    static inline const QString connectionName = QStringLiteral("helper-system-bus");

    ScratchFolder m_services;
    std::unique_ptr<PrivateSessionBus> m_bus;
    QDBusConnection m_connection { QString() };
};

} // namespace kova::test
