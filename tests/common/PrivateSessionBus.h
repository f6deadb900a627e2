#pragma once

// A private message bus for tests that use D-Bus: a dbus-daemon of the test's
// own, listening in a scratch folder, so no test ever talks to the real session.

#include "FileFixtures.h"

#include <QProcess>

#include <memory>

namespace kova::test {

class PrivateSessionBus {
public:
    PrivateSessionBus()
        : PrivateSessionBus(QStringLiteral("session"), QStringLiteral(R"(  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
)"))
    {
    }

    // A bus of the system's type, locked down as the system bus is: nobody owns a
    // name or calls a method unless `policyFile` allows it, plus the test's own user
    // may own any name. It activates from `serviceFolder` as the test's own user (no
    // setuid helper). Clients reach it through DBUS_SYSTEM_BUS_ADDRESS.
    static std::unique_ptr<PrivateSessionBus> systemType(const QString& policyFile, const QString& serviceFolder)
    {
        return std::unique_ptr<PrivateSessionBus>(new PrivateSessionBus(QStringLiteral("system"),
            QStringLiteral(R"(  <servicedir>%1</servicedir>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus.Introspectable"/>
  </policy>
  <policy user="%2">
    <allow own="*"/>
  </policy>
  <include>%3</include>
)").arg(serviceFolder, QString::fromLocal8Bit(qgetenv("USER").isEmpty() ? QByteArray("root") : qgetenv("USER")), policyFile)));
    }
    ~PrivateSessionBus()
    {
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    // Empty when the daemon could not be started.
    QString address() const { return m_address; }

private:
    PrivateSessionBus(const QString& type, const QString& policy)
    {
        const QString config = m_folder.path(QStringLiteral("bus.conf"));
        writeFile(config, QStringLiteral(R"(<busconfig>
  <type>%1</type>
  <listen>unix:dir=%2</listen>
  <auth>EXTERNAL</auth>
%3</busconfig>
)").arg(type, m_folder.path(), policy).toUtf8());
        m_daemon.start(QStringLiteral("dbus-daemon"),
            { QStringLiteral("--config-file=") + config, QStringLiteral("--print-address"), QStringLiteral("--nofork"),
                QStringLiteral("--nopidfile") });
        if (m_daemon.waitForStarted() && waitUntil([this] { return m_daemon.canReadLine(); }))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ScratchFolder m_folder;
    QProcess m_daemon;
    QString m_address;
};

} // namespace kova::test
