#pragma once

#include "platform/Error.h"

#include <QDBusConnection>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QDBusMessage;

// The application's side of the privileged helper on the system bus: at every
// launch it checks that a current helper is installed, installs it when it is
// absent, silent or outdated, and asks it once for the shared work-folder tree.
// Installing asks an administrator for a password, so it is tried at most once
// per launch. Use on the main thread; replies arrive there.
class PrivilegedHelperClient : public std::enable_shared_from_this<PrivilegedHelperClient> {
public:
    using ErrorBlock = std::function<void(const platform::Error& error)>;
    // Installs the helper job with the given label; a null error is success.
    using Installer = std::function<platform::Error(const QString& label)>;

    static inline const QString helperLabel = QStringLiteral("com.morvanta.KOVA-Helper");
    static constexpr double minimumInterfaceVersion = 0.24;

    explicit PrivilegedHelperClient(QDBusConnection bus, Installer installer = runInstallStep);

    // Starts the version check; returns at once.
    void connectToPrivilegedHelper();
    // Installs the helper job under `label`; failures go to `errorBlock`, or
    // to the log when there is none.
    bool installHelperWithLabel(const QString& label, const ErrorBlock& errorBlock = {});
    // Drops the connection without installing anything.
    void cleanUpPrivilegedHelper();

    bool isConnected() const { return m_connected; }
    bool needsRelaunch() const { return m_needsRelaunch; }

    // The project's install step run through pkexec; its exit status is the code
    // of the error.
    static platform::Error runInstallStep(const QString& label);

private:
    QDBusMessage helperCall(const QString& method) const;
    void invalidate(const QString& reason);
    void versionReceived(double version);
    void makeKOVAFolder();
    void folderReceived(const QString& url, const platform::Error& error);

    QDBusConnection m_bus;
    Installer m_installer;
    std::atomic<bool> m_connected { false };
    std::atomic<bool> m_needsRelaunch { false };
    bool m_installed = false;
};
