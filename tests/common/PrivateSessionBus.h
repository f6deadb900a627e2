#pragma once

// A private message bus for tests that use D-Bus: a dbus-daemon of the test's
// own, listening in a scratch folder, so no test ever talks to the real session.

#include "FileFixtures.h"

#include <QProcess>

namespace kova::test {

class PrivateSessionBus {
public:
    PrivateSessionBus()
    {
        const QString config = m_folder.path(QStringLiteral("bus.conf"));
        writeFile(config, QStringLiteral(R"(<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)").arg(m_folder.path()).toUtf8());
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
    ScratchFolder m_folder;
    QProcess m_daemon;
    QString m_address;
};

} // namespace kova::test
