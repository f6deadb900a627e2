#include "app/AppDelegate.h"

#include "app/PendingCall.h"
#include "app/PrivilegedHelperClient.h"
#include "core/foundation/ZORVAK_NSBundle.h"
#include "core/foundation/ZORVAK_NSProcessInfo.h"
#include "core/logging/Logger.h"
#include "core/ui/ZORVAK_NSBundleInstances.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/StandardPaths.h"
#include "platform/ipc/BusPropertyList.h"
#include "workflow/KOVA.h"
#include "workflow/KOVA_LoggerExtension.h"
#include "workflow/folders/KOVA_JobFolders.h"
#include "workflow/jobs/KOVA_Job.h"

#include <QDBusMessage>
#include <QDir>

#include <mutex>

using platform::Error;
using platform::Log::log;

namespace {

const QString keyLongVersion = QStringLiteral("prefLongVersionDescriptionString");
const QString keyFallbackOutput = QStringLiteral("kovaFolderFallbackOutputPath");
const QString keyPendingFolder = QStringLiteral("key_kovaFolderJobsPending");
const char* const KVContext_pendingFolder = "KVContext_pendingFolder";

struct FolderKey {
    QUrl (*folder)();
    QString key;
};

// The work folders written at every launch, in this order.
const std::vector<FolderKey>& folderKeys()
{
    static const std::vector<FolderKey> keys {
        { KOVA::kovaDirectoryNodes, QStringLiteral("key_kovaFolderNodes") },
        { KOVA::kovaDirectoryPackages, QStringLiteral("key_kovaFolderPackages") },
        { KOVA::kovaDirectoryTemplates, QStringLiteral("key_kovaFolderTemplates") },
        { KOVA::kovaDirectoryGraphics, QStringLiteral("key_kovaFolderGraphics") },
        { KOVA::kovaDirectoryJobsCompleted, QStringLiteral("key_kovaFolderJobsCompleted") },
        { KOVA::kovaDirectoryJobsFailed, QStringLiteral("key_kovaFolderJobsFailed") },
        { KOVA::kovaDirectoryJobsPending, keyPendingFolder },
    };
    return keys;
}

// How the reply log shows a mirrored value: data by its size.
QString shownValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::QByteArray)
        return QStringLiteral("%1 data bytes").arg(value.toByteArray().size());
    return value.toString();
}

} // namespace

AppDelegate::AppDelegate(QDBusConnection sessionBus, std::shared_ptr<PrivilegedHelperClient> helper)
    : m_sessionBus(std::move(sessionBus))
    , m_helper(std::move(helper))
{
}

void AppDelegate::initialize()
{
    static std::once_flag once;
    std::call_once(once, [] {
        ZORVAK_NSBundle::checkForDuplicateRunningInstances();
        Logger::setLogFile(KOVA_LoggerExtension::defaultLogFileKOVA());
        ZORVAK_NSProcessInfo::logCurrentSystemInfo();
    });
}

void AppDelegate::applicationDidFinishLaunching()
{
    log(QStringLiteral("-[AppDelegate applicationDidFinishLaunching:]"));
    KOVA_DefaultsDelegate::installDelegate(shared_from_this());
    platform::UserDefaults::standardUserDefaults()->setObject(ZORVAK_NSBundle::longDescription(), keyLongVersion);
    if (m_helper)
        m_helper->connectToPrivilegedHelper();
    setDefaultObject(fallbackOutputPath(), keyFallbackOutput);
    platform::UserDefaults::standardUserDefaults()->addObserver(shared_from_this(), keyPendingFolder,
        platform::KeyValueObservingOptionNew, KVContext_pendingFolder);
    resetFolders();
}

void AppDelegate::applicationWillTerminate()
{
    log(QStringLiteral("-[AppDelegate applicationWillTerminate:]"));
}

void AppDelegate::openURLs(const QList<QUrl>& urls)
{
    KOVA_JobFolders::addJobFiles(urls);
}

bool AppDelegate::openFile(const QString& path)
{
    log(QStringLiteral("request to open file %1").arg(path));
    return false;
}

void AppDelegate::setDefaultObject(const QVariant& object, const QString& key)
{
    platform::UserDefaults::standardUserDefaults()->setObject(object, key);
    Error error;
    const QByteArray value = object.isValid() ? platform::BusPropertyList::encode(object, &error) : QByteArray();
    if (!error.isNull()) {
        platform::Log::error(QStringLiteral("cannot send preference %1 to the rendering service: %2").arg(key, error.description()));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(renderingEngineName, QStringLiteral("/"),
        QStringLiteral("com.morvanta.KOVA.RenderingEngine"), QStringLiteral("setObject"));
    call << value << key;
    whenFinished(m_sessionBus.asyncCall(call), [shown = shownValue(object), key](const QDBusPendingCallWatcher& finished) {
        if (finished.isError())
            platform::Log::error(QStringLiteral("could not set %1 in the rendering service: %2 %3")
                                     .arg(key, finished.error().name(), finished.error().message()));
        else
            log(QStringLiteral("remotely set %1 for %2").arg(shown, key));
    });
}

void AppDelegate::verifySavedPath(const QString& path, const QString& key)
{
    if (key.toLower() == keyPendingFolder.toLower()) {
        log(QStringLiteral("not overwritting forced pref..."));
        return;
    }
    const QVariant saved = platform::UserDefaults::standardUserDefaults()->objectForKey(key);
    if (!saved.isValid() || saved != QVariant(path))
        setDefaultObject(path, key);
}

void AppDelegate::resetFolders()
{
    for (const FolderKey& folder : folderKeys())
        verifySavedPath(folder.folder().toLocalFile(), folder.key);
}

void AppDelegate::testJobWithPath(const QString& path, const TestReply& reply)
{
    const std::shared_ptr<KOVA_Job> job = KOVA_Job::instanceWithXMLObject(path);
    if (!job) {
        const Error error { Error::CocoaDomain, -1, QStringLiteral("cannot make a job from %1").arg(path) };
        platform::Log::error(error.description());
        reply(false, error);
        return;
    }
    job->processJob([job, reply](const Error& error) {
        if (!error.isNull())
            log(error.description());
        reply(error.isNull(), error);
    });
}

void AppDelegate::observeValueForKeyPath(const QString&, platform::Observable&, const QVariantMap&, const void*)
{
    log(QStringLiteral("-[AppDelegate observeValueForKeyPath:ofObject:change:context:]"));
}

QString AppDelegate::fallbackOutputPath()
{
    return QDir::cleanPath(platform::StandardPaths::path(platform::StandardPaths::Folder::Desktop)
        + QStringLiteral("/PrintToFileOutputs/Unknown"));
}
