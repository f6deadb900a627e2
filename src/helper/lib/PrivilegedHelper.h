#pragma once

#include "platform/ipc/ServiceDelegate.h"
#include "helper/lib/KOVAFolderMaker.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>

namespace kova::helper {

// The object the helper exports at "/" on the system bus. The folder request is
// answered from a worker thread, so the main thread keeps serving the bus; the
// "make" signal is answered by "made" with the folder's path and URL.
class PrivilegedHelper : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.morvanta.KOVA.Helper")

public:
    static inline const QString ServiceName = QStringLiteral("com.morvanta.KOVA-Helper");
    static inline const QString FolderInterface = QStringLiteral("com.morvanta.KOVA.kovaFolder");
    static constexpr double interfaceVersion = 0.24;
    // The helper ends itself after a quiet minute.
    static constexpr double idleSeconds = 60.0;

    PrivilegedHelper(QDBusConnection connection, const KOVAFolderMaker& maker, ServiceDelegate& delegate);

    // Exports the object and listens for "make"; false when the bus refused.
    bool exportOnBus();

public slots:
    Q_SCRIPTABLE QString whoAmI();
    Q_SCRIPTABLE double versionInterface();
    Q_SCRIPTABLE void makeKOVAFolder();

private slots:
    void makeRequested();

private:
    // Makes the tree on a worker inside the group; `reply` runs there with the
    // URL text (empty on failure) and the error.
    void makeOnWorker(std::function<void(const QString&, const platform::Error&)> reply);

    QDBusConnection m_connection;
    const KOVAFolderMaker& m_maker;
    ServiceDelegate& m_delegate;
};

} // namespace kova::helper
