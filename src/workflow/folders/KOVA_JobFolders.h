#pragma once

#include "workflow/folders/KOVA_FolderSet.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class KOVA_Job;
class ZORVAK_FileEvent;

// A hot folder into which job tickets arrive, one of the process-wide list saved
// under "KOVA_savedJobFolders". An enabled folder runs a watcher; every change in
// the folder rescans its top level, and each readable ticket found there (an item
// of the folder's job type) becomes one job of the folder's job table, read once
// for as long as it stays. The class side joins the tables of the enabled folders
// into the pending list, oldest ticket first, which the job processor works
// through (KOVA_JobProcessor).
//
// The job tables and the pending list change on the main queue only; watchers and
// the processor read them on other queues, always as snapshots taken under the
// lock the main queue writes under.
class KOVA_JobFolders : public KOVA_FolderSet {
public:
    using Jobs = QList<std::shared_ptr<KOVA_Job>>;
    // Item path to job.
    using JobTable = QMap<QString, std::shared_ptr<KOVA_Job>>;
    using ObjectInit = std::function<std::shared_ptr<KOVA_Job>(const QUrl& item)>;
    using Reload = std::function<void(const JobTable& removed, const JobTable& added)>;

    static inline const QString ClassName = QStringLiteral("KOVA_JobFolders");
    static inline const QString EnabledKey = QStringLiteral("enabled");
    static inline const QString HasFixedNameKey = QStringLiteral("hasFixedName");
    static inline const QString JobFileUTTypeKey = QStringLiteral("jobFileUTType");
    static inline const QString AddJobsPendingPathComponentsKey = QStringLiteral("addJobsPendingPathComponents");
    static inline const QString JobsKey = QStringLiteral("jobs");
    static inline const QString EnabledFoldersKey = QStringLiteral("enabledFolders");
    static inline const QString OldProcessorFolderName = QStringLiteral("Old KOVA Processor Folder ƒ");
    static inline const QString WrenlowPrintsFolderName = QStringLiteral("Wrenlow Prints Folder");
    // How long a watcher collects changes before the folder rescans.
    static constexpr double watcherLatency = 1.0;

    // A folder read from an archive: its options as archived.
    KOVA_JobFolders() = default;
    // A new folder, enabled.
    KOVA_JobFolders(const QString& name, const QUrl& url);
    // A new folder in the home folder, enabled.
    explicit KOVA_JobFolders(const QString& name);
    ~KOVA_JobFolders() override;

    static KOVA_FolderSetClass& classSide();
    KOVA_FolderSetClass& folderSetClass() const override;
    // Starts the class's machinery (list, watchers, pending list, processor); every
    // class operation below does so on its first call.
    static void initialize();

    // ---- The class side ----
    static QList<std::shared_ptr<KOVA_JobFolders>> jobFolders();
    // The enabled folders in list order; announced under "enabledFolders" on the
    // class observable when a folder's flag changes.
    static QList<std::shared_ptr<KOVA_JobFolders>> enabledFolders();
    // The first enabled folder of the job-bundle type (ignoring case and diacritics).
    static std::shared_ptr<KOVA_JobFolders> defaultJobFolder();
    // Moves each job bundle among `urls` into the default job folder, never onto an
    // existing name; other items stay where they are. Answers, and logs, a line
    // for each item that stayed, naming it and saying why.
    static QStringList addJobFiles(const QList<QUrl>& urls);
    // The list if there were no saved data: the old processor folder, then the
    // Wrenlow prints folder.
    static KOVA_FolderSetClass::FolderSets builtInFolders();
    // What a list read from the defaults becomes: the built-ins when nothing was
    // saved; otherwise the old processor folder watches "Jobs/Pending" under a fixed
    // name and every other folder takes XML tickets.
    static KOVA_FolderSetClass::FolderSets arrangedLoadedList(const KOVA_FolderSetClass::FolderSets& loaded);

    // The processor (see KOVA_JobProcessor), reached through the KOVA_JobProcessing it installs.
    static Jobs jobsPending();
    static void processNextJob();
    // Runs the job when its turn comes; asked on the main queue, the request is
    // handed to a global queue, since a waiting request would block the release.
    static void processJob(const std::shared_ptr<KOVA_Job>& job);
    static bool isProcessing();
    static void setIsProcessing(bool isProcessing);
    // The object on which "jobsPending", "isProcessing" and "enabledFolders" are
    // announced.
    static platform::Observable& classObservable();

    // ---- One folder ----
    bool enabled() const;
    void setEnabled(bool enabled);
    bool hasFixedName() const;
    void setHasFixedName(bool hasFixedName);
    QString jobFileUTType() const;
    // Stores and saves only a new value (absent counts as empty).
    void setJobFileUTType(const QString& jobFileUTType);
    bool addJobsPendingPathComponents() const;
    void setAddJobsPendingPathComponents(bool addJobsPendingPathComponents);
    // Stores the folder, then watches it anew.
    void setURL(const QUrl& url) override;

    // The watched folder: the folder, or its "Jobs/Pending" subfolder.
    QUrl jobsFolderURL() const;
    // The job table's jobs; announced under "jobs" on the folder.
    Jobs jobs() const;
    // A copy of the job table; none while the folder is disabled.
    std::optional<JobTable> dictJobs() const;
    bool hasFileEvent() const;

    // (Re)starts watching when enabled; drops the watcher otherwise.
    void configureJobsFolder();
    // Empties the job table (announced under `keyPath`), makes the folder when it is
    // missing and watches it: every event concerning the folder lists its top level,
    // reads new items of `utType` with `objectInit` and drops items that left.
    void configureFolder(const QUrl& folder, const QString& keyPath, const QString& utType, const ObjectInit& objectInit,
                         const Reload& reload);

    // The inherited description marked ">{ENabled;" or ">{DISabled;".
    QString description() const override;
    QVariant valueForKey(const QString& key) const override;
    QStringList archiveClassHierarchy() const override;

private:
    // The default job folder, its folder made when missing; none, with the
    // reason in `*reason`, when there is no such folder or it cannot be made.
    static std::shared_ptr<KOVA_JobFolders> folderTakingJobFiles(QString* reason);
    struct Scan;
    bool flagOption(const QString& key) const;
    void handleEvent(const QStringList& paths, const Scan& scan);
    void applyScan(const Scan& scan, const JobTable& removed, const JobTable& added);
    void replaceJobTable(std::optional<JobTable> table);
    void dropFileEvent();
    void installFileEvent(std::unique_ptr<ZORVAK_FileEvent> fileEvent, quint64 generation);

    mutable std::mutex m_jobsMutex; // guards the fields below
    std::optional<JobTable> m_dictJobs;
    std::unique_ptr<ZORVAK_FileEvent> m_fileEvent;
    // Counts the watchers installed: a scan of an older one changes nothing.
    quint64 m_generation = 0;
};
