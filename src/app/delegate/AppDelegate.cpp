#include "app/delegate/AppDelegate.h"

#include "app/ApplicationTermination.h"
#include "app/PendingCall.h"
#include "app/PrivilegedHelperClient.h"
#include "app/SessionEndFilter.h"
#include "app/SharedActions.h"
#include "app/preferences/PreferencesWindowController.h"
#include "app/StartPanel.h"
#include "app/TerminationSignals.h"
#include "app/WindowOffScreenFilter.h"
#include "app/processor/ProcessorWindow.h"
#include "core/foundation/KOVA_Constants.h"
#include "core/foundation/ZORVAK_NSBundle.h"
#include "core/foundation/ZORVAK_NSProcessInfo.h"
#include "core/logging/Logger.h"
#include "core/queues/ZORVAK_Coalesce.h"
#include "core/ui/ZORVAK_NSBundleInstances.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/StandardPaths.h"
#include "platform/ipc/BusPropertyList.h"
#include "workflow/KOVA.h"
#include "workflow/KOVA_LoggerExtension.h"
#include "editor/window/TemplateEditorPresenter.h"
#include "workflow/folders/KOVA_FolderSetClass.h"
#include "workflow/folders/KOVA_JobFolders.h"
#include "workflow/jobs/KOVA_Job.h"

#include <QAction>
#include <QApplication>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QWidget>

#include <mutex>

using platform::Error;
using platform::Log::log;
using platform::UserDefaults;

namespace {

const QString keyLongVersion = QStringLiteral("prefLongVersionDescriptionString");
const QString keyFallbackOutput = QStringLiteral("kovaFolderFallbackOutputPath");
const QString keyPendingFolder = QStringLiteral("key_kovaFolderJobsPending");
const char* const KVContext_pendingFolder = "KVContext_pendingFolder";
const QString offScreenNotification = QStringLiteral("NSWindowDidOrderOffScreenNotification");

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

bool isOrdinaryWindowOnScreen(const QWidget* widget)
{
    return widget->windowType() == Qt::Window && widget->isVisible() && !widget->isMinimized();
}

qsizetype windowsOnScreen()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::count_if(windows.begin(), windows.end(), [](const QWidget* window) { return window->isVisible(); });
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

AppDelegate::~AppDelegate()
{
    if (m_offScreenFilter)
        qApp->removeEventFilter(m_offScreenFilter.get());
    if (m_sessionEnd)
        qApp->removeEventFilter(m_sessionEnd.get());
}

void AppDelegate::awakeFromNib()
{
    log(QStringLiteral("-[AppDelegate awakeFromNib]"));
    m_jobsCompleted = UserDefaults::standardUserDefaults()->integerForKey(key_kovaProcessorJobsCompleted);
    m_jobsFailed = UserDefaults::standardUserDefaults()->integerForKey(key_kovaProcessorJobsFailed);
}

SharedActions* AppDelegate::sharedActions()
{
    if (m_sharedActions)
        return m_sharedActions.get();
    m_sharedActions = std::make_unique<SharedActions>();
    const std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
    const auto send = [weakSelf](void (AppDelegate::*action)()) {
        return [weakSelf, action] {
            if (const auto self = weakSelf.lock())
                (self.get()->*action)();
        };
    };
    QObject::connect(m_sharedActions->processor(), &QAction::triggered, send(&AppDelegate::showProcessorWindow));
    QObject::connect(m_sharedActions->templateEditor(), &QAction::triggered, send(&AppDelegate::showTemplateEditor));
    QObject::connect(m_sharedActions->preferences(), &QAction::triggered, send(&AppDelegate::startSitting));
    m_sharedActions->setPreferencesOpener(send(&AppDelegate::showPreferencesWindow));
    QObject::connect(m_sharedActions->quit(), &QAction::triggered, send(&AppDelegate::requestQuit));
    return m_sharedActions.get();
}

void AppDelegate::takeQuitRequests()
{
    if (m_terminationSignals)
        return;
    QApplication::setQuitOnLastWindowClosed(false);
    const std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
    const auto quit = [weakSelf] {
        if (const auto self = weakSelf.lock())
            self->requestQuit();
    };
    m_terminationSignals = std::make_unique<TerminationSignals>([quit](int) { quit(); });
    m_sessionEnd = std::make_unique<SessionEndFilter>(quit);
    qApp->installEventFilter(m_sessionEnd.get());
}

void AppDelegate::initialize()
{
    static std::once_flag once;
    std::call_once(once, [] {
        ZORVAK_NSBundle::checkForDuplicateRunningInstances(startItems());
        Logger::setLogFile(KOVA_LoggerExtension::defaultLogFileKOVA());
        ZORVAK_NSProcessInfo::logCurrentSystemInfo();
    });
}

QStringList AppDelegate::startItems()
{
    QStringList items;
    for (const QString& argument : QCoreApplication::arguments().mid(1))
        items << QFileInfo(argument).absoluteFilePath();
    return items;
}

void AppDelegate::applicationDidFinishLaunching()
{
    log(QStringLiteral("-[AppDelegate applicationDidFinishLaunching:]"));
    KOVA_DefaultsDelegate::installDelegate(shared_from_this());
    platform::UserDefaults::standardUserDefaults()->setObject(ZORVAK_NSBundle::longDescription(), keyLongVersion);
    if (m_helper)
        m_helper->connectToPrivilegedHelper();
    awakeFromNib();
    takeQuitRequests();
    if (UserDefaults::standardUserDefaults()->boolForKey(keyProcessorVisible))
        showProcessorWindow();
    if (UserDefaults::standardUserDefaults()->boolForKey(keyEditorVisible))
        showTemplateEditor();
    setDefaultObject(fallbackOutputPath(), keyFallbackOutput);
    platform::UserDefaults::standardUserDefaults()->addObserver(shared_from_this(), keyPendingFolder,
        platform::KeyValueObservingOptionNew, KVContext_pendingFolder);
    resetFolders();
    panelSimpleStart();
    showSimpleStart();
    watchWindowsLeavingTheScreen();
    takeItemsOfLaterStarts();
}

void AppDelegate::applicationWillTerminate()
{
    log(QStringLiteral("-[AppDelegate applicationWillTerminate:]"));
}

void AppDelegate::requestQuit()
{
    if (m_quitRequested)
        return;
    m_quitRequested = true;
    log(QStringLiteral("quitting"));
    const std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
    const auto proceed = [weakSelf](bool proceed) {
        const auto self = weakSelf.lock();
        if (!self)
            return;
        if (!proceed) {
            log(QStringLiteral("quit cancelled"));
            self->m_quitRequested = false;
            return;
        }
        self->finishQuit();
    };
    if (m_templateEditor && m_templateEditor->window())
        m_templateEditor->confirmQuit(proceed);
    else
        proceed(true);
}

void AppDelegate::finishQuit()
{
    ApplicationTermination::markTerminating();
    KOVA_FolderSetClass::saveFolderSetsNow();
    QCoreApplication::quit();
}

void AppDelegate::showProcessorWindow()
{
    if (!m_processorWindow) {
        m_processorWindow = std::make_unique<ProcessorWindow>(sharedActions()->actions());
        m_processorWindow->setFrameAutosaveName(ProcessorWindow::frameAutosaveName);
    }
    m_processorWindow->showWindow();
    if (m_panelSimpleStart)
        m_panelSimpleStart->hide();
}

void AppDelegate::showTemplateEditor()
{
    UserDefaults::standardUserDefaults()->setBool(true, keyEditorVisible);
    if (!m_templateEditor) {
        m_templateEditor = TemplateEditorPresenter::create();
        if (!m_templateEditor)
            return;
        const std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
        m_templateEditor->setClosedHandler([weakSelf] {
            if (const auto self = weakSelf.lock())
                self->templateEditorClosedByUser();
        });
    }
    m_templateEditor->show(sharedActions()->actions());
    if (m_panelSimpleStart)
        m_panelSimpleStart->hide();
}

void AppDelegate::templateEditorClosedByUser()
{
    if (!ApplicationTermination::isTerminating())
        UserDefaults::standardUserDefaults()->setBool(false, keyEditorVisible);
}

void AppDelegate::closeTemplateEditor()
{
    UserDefaults::standardUserDefaults()->setBool(false, keyEditorVisible);
    if (m_templateEditor)
        m_templateEditor->close();
}

void AppDelegate::showPreferences()
{
    sharedActions()->preferences()->trigger();
}

void AppDelegate::showPreferencesWindow()
{
    if (!m_preferencesWindow) {
        m_preferencesWindow = std::make_unique<PreferencesWindowController>(sharedActions()->templateEditor());
        m_preferencesWindow->addActions(sharedActions()->actions());
    }
    m_preferencesWindow->showWindow();
}

void AppDelegate::startSitting()
{
    if (m_panelSimpleStart)
        m_panelSimpleStart->hide();
}

StartPanel* AppDelegate::panelSimpleStart()
{
    if (!m_panelSimpleStart) {
        const std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
        m_panelSimpleStart = std::make_unique<StartPanel>(sharedActions()->actions(), [weakSelf] {
            if (const auto self = weakSelf.lock())
                self->startSitting();
        });
        log(QStringLiteral("loaded the start panel %1").arg(m_panelSimpleStart->objectName()));
        QObject::connect(qApp, &QGuiApplication::applicationStateChanged, m_panelSimpleStart.get(),
            [panel = m_panelSimpleStart.get(), previous = qApp->applicationState()](Qt::ApplicationState state) mutable {
                if (previous == Qt::ApplicationActive && state != Qt::ApplicationActive)
                    panel->hide();
                previous = state;
            });
        if (m_offScreenFilter)
            m_offScreenFilter->ignore(m_panelSimpleStart.get());
    }
    return m_panelSimpleStart.get();
}

void AppDelegate::showSimpleStart()
{
    const std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
    ZORVAK_Coalesce::runOnceForKeyAfterWaiting(QStringLiteral("showSimpleStart"), nullptr, simpleStartWait, [weakSelf] {
        if (const auto self = weakSelf.lock())
            self->runSimpleStart();
    });
}

void AppDelegate::runSimpleStart()
{
    if (ApplicationTermination::isTerminating())
        return;
    const QWidgetList windows = QApplication::topLevelWidgets();
    if (std::any_of(windows.begin(), windows.end(), isOrdinaryWindowOnScreen))
        return;
    if (StartPanel* panel = panelSimpleStart())
        panel->present();
}

void AppDelegate::watchWindowsLeavingTheScreen()
{
    if (m_offScreenFilter)
        return;
    const std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
    m_offScreenFilter = std::make_unique<WindowOffScreenFilter>([weakSelf] {
        const auto self = weakSelf.lock();
        if (!self)
            return;
        self->showSimpleStart();
        log(QStringLiteral("%1 (windowsCount:%2").arg(offScreenNotification).arg(windowsOnScreen()));
    });
    m_offScreenFilter->ignore(m_panelSimpleStart.get());
    qApp->installEventFilter(m_offScreenFilter.get());
}

void AppDelegate::takeItemsOfLaterStarts()
{
    ZORVAK_NSBundle::setDuplicateInstanceActions({
        .open = [weakSelf = weak_from_this()](const QStringList& paths) {
            if (const auto self = weakSelf.lock())
                return self->openPaths(paths);
            QStringList refused;
            for (const QString& path : paths)
                refused << QStringLiteral("%1 stays where it is: the application is quitting").arg(path);
            return refused;
        },
    });
}

QStringList AppDelegate::openURLs(const QList<QUrl>& urls)
{
    return KOVA_JobFolders::addJobFiles(urls);
}

QStringList AppDelegate::openPaths(const QStringList& paths)
{
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    return openURLs(urls);
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
