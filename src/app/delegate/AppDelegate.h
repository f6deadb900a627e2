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
class ProcessorWindow;
class SharedActions;
class PreferencesWindowController;
class SessionEndFilter;
class StartPanel;
class TemplateEditorPresenter;
class TerminationSignals;
class WindowOffScreenFilter;
class QWidget;

// The application's coordinating object: prepares logging, reopens the windows
// open at the last quit, writes the work-folder paths into the preferences at
// launch, asks the privileged helper for the work-folder tree, keeps the
// rendering service's copy of the shared preferences in step, shows the start
// panel while no ordinary window is on screen, and quits. Use on the main thread.
class AppDelegate : public KOVA_DefaultsDelegate,
                    public platform::KeyValueObserver,
                    public std::enable_shared_from_this<AppDelegate> {
public:
    using TestReply = std::function<void(bool success, const platform::Error& error)>;

    static inline const QString renderingEngineName = QStringLiteral("com.morvanta.KOVA-RenderingEngine");

    static inline const QString keyProcessorVisible = QStringLiteral("kovaWindowIsVisibleProcessor");
    static inline const QString keyEditorVisible = QStringLiteral("kovaWindowIsVisibleEditorTemplate");
    static constexpr double simpleStartWait = 0.1;

    AppDelegate(QDBusConnection sessionBus, std::shared_ptr<PrivilegedHelperClient> helper);
    ~AppDelegate() override;

    // Once per process, before the delegate is made: the single-instance
    // check (which hands this start's items to a copy already running), the
    // log file and the host banner.
    static void initialize();
    // The items this start was asked to open: the program's arguments as
    // absolute paths, relative ones taken against the working folder.
    static QStringList startItems();

    // Reads the job counters.
    void awakeFromNib();
    void applicationDidFinishLaunching();
    void applicationWillTerminate();

    // The one way to quit (menu, Ctrl+Q, SIGTERM, SIGINT, the session's end; a
    // session's mere request for state quits nothing): lets the template editor
    // settle unsaved changes (it may cancel), marks the application as ending so
    // no window records its closing, writes the folder sets still waiting to be
    // saved, then quits the event loop.
    void requestQuit();

    void showProcessorWindow();
    void showTemplateEditor();
    void closeTemplateEditor();
    void showPreferences();
    // Makes the preferences window on first use and shows it in front.
    void showPreferencesWindow();
    PreferencesWindowController* windowControllerPreferences() const { return m_preferencesWindow.get(); }
    // Requests the start panel; a burst of requests shows it once, 0.1 s after the last.
    void showSimpleStart();
    void startSitting();
    StartPanel* panelSimpleStart();

    // Made on first use; the windows' menus show them.
    SharedActions* sharedActions();
    ProcessorWindow* windowControllerProcessor() const { return m_processorWindow.get(); }
    TemplateEditorPresenter* windowControllerTemplateEditor() const { return m_templateEditor.get(); }
    qint64 jobsCompleted() const { return m_jobsCompleted; }
    qint64 jobsFailed() const { return m_jobsFailed; }
    // Items opened from the file manager, dropped on the application, named
    // on its command line or handed over by a second start. Answers a line for
    // each item not taken, naming it and saying why.
    QStringList openURLs(const QList<QUrl>& urls);
    QStringList openPaths(const QStringList& paths);
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
    // SIGTERM, SIGINT and the session's end quit through requestQuit().
    void takeQuitRequests();
    void watchWindowsLeavingTheScreen();
    // Items a second start hands over are opened here, as this start's own are.
    void takeItemsOfLaterStarts();
    void runSimpleStart();
    void finishQuit();
    void templateEditorClosedByUser();

    QDBusConnection m_sessionBus;
    std::shared_ptr<PrivilegedHelperClient> m_helper;
    std::unique_ptr<SharedActions> m_sharedActions;
    std::unique_ptr<ProcessorWindow> m_processorWindow;
    std::unique_ptr<TemplateEditorPresenter> m_templateEditor;
    std::unique_ptr<StartPanel> m_panelSimpleStart;
    std::unique_ptr<PreferencesWindowController> m_preferencesWindow;
    std::unique_ptr<WindowOffScreenFilter> m_offScreenFilter;
    std::unique_ptr<TerminationSignals> m_terminationSignals;
    std::unique_ptr<SessionEndFilter> m_sessionEnd;
    qint64 m_jobsCompleted = 0;
    qint64 m_jobsFailed = 0;
    bool m_quitRequested = false;
};
