#pragma once

#include "platform/Error.h"
#include "platform/observation/KeyValueObserver.h"
#include "workflow/folders/KOVA_DefaultsDelegate.h"

#include <QDBusConnection>
#include <QList>
#include <QUrl>

#include <functional>
#include <memory>

class PrivilegedHelperClient;

// The application's coordinating object: prepares logging, writes the
// work-folder paths into the preferences at launch, asks the privileged helper
// for the work-folder tree and keeps the rendering service's copy of the shared
// preferences in step. Use on the main thread.
class AppDelegate : public KOVA_DefaultsDelegate,
                    public platform::KeyValueObserver,
                    public std::enable_shared_from_this<AppDelegate> {
public:
    using TestReply = std::function<void(bool success, const platform::Error& error)>;

    static inline const QString renderingEngineName = QStringLiteral("com.morvanta.KOVA-RenderingEngine");

    AppDelegate(QDBusConnection sessionBus, std::shared_ptr<PrivilegedHelperClient> helper);

    // Once per process, before the delegate is made: the single-instance
    // check, the log file and the host banner.
    static void initialize();

    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    // Items opened from the file manager or dropped on the application.
    void openURLs(const QList<QUrl>& urls);
    bool openFile(const QString& path);

    // Stores `object` locally, then sends it to the rendering service.
    void setDefaultObject(const QVariant& object, const QString& key) override;
    // Writes `path` under `key` unless it is already there; the pending-jobs
    // folder the user chose is never overwritten.
    void verifySavedPath(const QString& path, const QString& key);
    void resetFolders();
    // Processes the ticket at `path` in this process; `reply` runs once.
    void testJobWithPath(const QString& path, const TestReply& reply);

    void observeValueForKeyPath(const QString& keyPath, platform::Observable& object, const QVariantMap& change,
                                const void* context) override;

    // The Desktop folder's "PrintToFileOutputs/Unknown".
    static QString fallbackOutputPath();

private:
    QDBusConnection m_sessionBus;
    std::shared_ptr<PrivilegedHelperClient> m_helper;
};
