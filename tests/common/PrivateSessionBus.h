#pragma once

// A private message bus for tests that use D-Bus: a dbus-daemon of the test's
// own, listening in a scratch folder, so no test ever talks to the real session.
// It can start services from a folder of ".service" files, and can run as a
// system-type bus whose policy comes from an included file.

#include "FileFixtures.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <memory>

namespace kova::test {

struct BusOptions {
    // "session" or "system".
    QString type = QStringLiteral("session");
    // A folder of ".service" files the bus activates services from; none when empty.
    QString serviceFolder;
    // A policy file included after the open default policy; none when empty.
    QString policyFile;
    // Extra environment for activated services ("NAME=value" each).
    QStringList activationEnvironment;
};

class PrivateSessionBus {
public:
    // A bus of the system's type that includes `policyFile` and activates from
    // `serviceFolder`. Clients reach it through DBUS_SYSTEM_BUS_ADDRESS.
    static std::unique_ptr<PrivateSessionBus> systemType(const QString& policyFile, const QString& serviceFolder)
    {
        return std::make_unique<PrivateSessionBus>(BusOptions{QStringLiteral("system"), serviceFolder, policyFile, {}});
    }

    explicit PrivateSessionBus(const BusOptions& options = {})
    {
        const QString config = m_folder.path(QStringLiteral("bus.conf"));
        writeFile(config, configuration(options).toUtf8());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString& entry : options.activationEnvironment)
            environment.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
        m_daemon.setProcessEnvironment(environment);
        m_daemon.start(QStringLiteral("dbus-daemon"),
            { QStringLiteral("--config-file=") + config, QStringLiteral("--print-address"), QStringLiteral("--nofork"),
                QStringLiteral("--nopidfile") });
        if (m_daemon.waitForStarted() && waitUntil([this] { return m_daemon.canReadLine(); }))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
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
    static QString sessionPolicy()
    {
        return QStringLiteral(R"(  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
)");
    }
    // The system bus's own defaults: nobody owns names or calls methods unless
    // an included policy allows it; the test's own user may own any name, since
    // services are activated as that user (no setuid helper).
    static QString systemPolicy()
    {
        return QStringLiteral(R"(  <policy context="default">
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
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus.Properties"/>
  </policy>
  <policy user="%1">
    <allow own="*"/>
  </policy>
)").arg(QString::fromLocal8Bit(qgetenv("USER").isEmpty() ? QByteArray("root") : qgetenv("USER")));
    }
    QString configuration(const BusOptions& options) const
    {
        QString extra;
        if (!options.serviceFolder.isEmpty())
            extra += QStringLiteral("  <servicedir>%1</servicedir>\n").arg(options.serviceFolder);
        if (!options.policyFile.isEmpty())
            extra += QStringLiteral("  <include>%1</include>\n").arg(options.policyFile);
        return QStringLiteral(R"(<busconfig>
  <type>%1</type>
  <listen>unix:dir=%2</listen>
  <auth>EXTERNAL</auth>
%3%4</busconfig>
)").arg(options.type, m_folder.path(), options.type == QStringLiteral("system") ? systemPolicy() : sessionPolicy(), extra);
    }

    ScratchFolder m_folder;
    QProcess m_daemon;
    QString m_address;
};

} // namespace kova::test
