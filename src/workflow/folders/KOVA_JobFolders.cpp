#include "workflow/folders/KOVA_JobFolders.h"

#include "core/foundation/ZORVAK_Extras_NSURL.h"
#include "core/queues/ZORVAK_Dispatch.h"
#include "core/queues/ZORVAK_FileEvent.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/FileOperations.h"
#include "platform/files/StandardPaths.h"
#include "platform/files/UTType.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/jobs/KOVA_JobProcessing.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

namespace {

[[maybe_unused]] const bool registeredForDecoding = [] {
    platform::KeyedUnarchiver::registerClass(
        {KOVA_JobFolders::ClassName, KOVA_FolderSet::ClassName, QStringLiteral("NSObject")},
        &KOVA_FolderSet::initWithCoder<KOVA_JobFolders>);
    return true;
}();

QString cleanPath(const QUrl& url)
{
    return QDir::cleanPath(url.toLocalFile());
}

QUrl withJobsPending(const QUrl& folder)
{
    return QUrl::fromLocalFile(cleanPath(folder) + QStringLiteral("/Jobs/Pending"));
}

// Case folded, with the marks that diacritics leave after decomposition removed.
QString withoutCaseAndDiacritics(const QString& text)
{
    QString folded;
    for (const QChar c : text.normalized(QString::NormalizationForm_D)) {
        if (c.category() != QChar::Mark_NonSpacing)
            folded.append(c);
    }
    return folded.toCaseFolded();
}

std::shared_ptr<KOVA_JobFolders> asJobFolder(const std::shared_ptr<KOVA_FolderSet>& folderSet)
{
    return std::dynamic_pointer_cast<KOVA_JobFolders>(folderSet);
}

} // namespace

// What one watcher's scans need, fixed when the watcher is made.
struct KOVA_JobFolders::Scan {
    QString folderPath;
    QString keyPath;
    QString utType;
    ObjectInit objectInit;
    Reload reload;
    quint64 generation = 0;
};

KOVA_JobFolders::KOVA_JobFolders(const QString& name, const QUrl& url) : KOVA_FolderSet(name, url)
{
    setProperties({{EnabledKey, true}});
}

KOVA_JobFolders::KOVA_JobFolders(const QString& name) : KOVA_JobFolders(name, QUrl::fromLocalFile(QDir::homePath())) {}

KOVA_JobFolders::~KOVA_JobFolders() = default;

KOVA_FolderSetClass& KOVA_JobFolders::classSide()
{
    static KOVA_FolderSetClass& side = KOVA_FolderSetClass::makeProcessWide({
        .className = ClassName,
        .keyForSavedFolderSets = QStringLiteral("KOVA_savedJobFolders"),
        .usesOldKOVANames = false,
        .picksByNumber = false,
        .makeFolderSet = [](const QString& name) { return std::make_shared<KOVA_JobFolders>(name); },
        .arrangeLoadedList = &KOVA_JobFolders::arrangedLoadedList,
        .didLoad = [] { KOVA_JobProcessing::shared()->listDidLoad(); },
    });
    return side;
}

KOVA_FolderSetClass& KOVA_JobFolders::folderSetClass() const
{
    return classSide();
}

void KOVA_JobFolders::initialize()
{
    KOVA_JobProcessing::shared();
}

QList<std::shared_ptr<KOVA_JobFolders>> KOVA_JobFolders::jobFolders()
{
    initialize();
    QList<std::shared_ptr<KOVA_JobFolders>> folders;
    for (const std::shared_ptr<KOVA_FolderSet>& folderSet : classSide().folderSets()) {
        if (auto folder = asJobFolder(folderSet))
            folders.append(std::move(folder));
    }
    return folders;
}

QList<std::shared_ptr<KOVA_JobFolders>> KOVA_JobFolders::enabledFolders()
{
    QList<std::shared_ptr<KOVA_JobFolders>> folders = jobFolders();
    folders.removeIf([](const std::shared_ptr<KOVA_JobFolders>& folder) { return !folder->enabled(); });
    return folders;
}

std::shared_ptr<KOVA_JobFolders> KOVA_JobFolders::defaultJobFolder()
{
    const QString bundleType = withoutCaseAndDiacritics(platform::UTType::jobBundle);
    for (const std::shared_ptr<KOVA_JobFolders>& folder : enabledFolders()) {
        if (withoutCaseAndDiacritics(folder->jobFileUTType()) == bundleType)
            return folder;
    }
    return nullptr;
}

std::shared_ptr<KOVA_JobFolders> KOVA_JobFolders::folderTakingJobFiles(QString* reason)
{
    const std::shared_ptr<KOVA_JobFolders> folder = defaultJobFolder();
    const QUrl target = folder ? folder->jobsFolderURL() : QUrl();
    // Right after launch the folder may not be made yet: its watcher makes it a
    // moment later, and so does this.
    platform::Error error;
    if (folder && (QFileInfo(cleanPath(target)).isDir() || platform::FileOperations::makeDirectory(cleanPath(target), true, &error)))
        return folder;
    platform::Log::log(QStringLiteral("Failed to find job folder at %1").arg(target.toString()));
    *reason = folder ? QStringLiteral("the job folder %1 cannot be made: %2").arg(cleanPath(target), error.message)
                     : QStringLiteral("no enabled job folder takes job bundles");
    return nullptr;
}

QStringList KOVA_JobFolders::addJobFiles(const QList<QUrl>& urls)
{
    QStringList refused;
    if (urls.isEmpty())
        return refused;
    const auto refuse = [&refused](const QUrl& url, const QString& reason) {
        refused << QStringLiteral("%1 stays where it is: %2").arg(cleanPath(url), reason);
        platform::Log::log(refused.constLast());
    };
    QString reason;
    const std::shared_ptr<KOVA_JobFolders> folder = folderTakingJobFiles(&reason);
    if (!folder) {
        for (const QUrl& url : urls)
            refuse(url, reason);
        return refused;
    }
    const QString target = cleanPath(folder->jobsFolderURL());
    const QString jobType = folder->jobFileUTType();
    for (const QUrl& url : urls) {
        if (!ZORVAK_Extras_NSURL::conformsToUTType(url, jobType)) {
            platform::Log::log(QStringLiteral("request to open unsupported file type %1 at %2")
                                   .arg(ZORVAK_Extras_NSURL::UTI(url), url.toString()));
            refuse(url, QStringLiteral("not a job bundle"));
            continue;
        }
        const QString to = target + QLatin1Char('/') + QFileInfo(cleanPath(url)).fileName();
        platform::Error error;
        if (platform::FileOperations::moveItemNoReplace(cleanPath(url), to, &error))
            platform::Log::log(QStringLiteral("moved %1 into the job folder %2").arg(cleanPath(url), target));
        else
            refuse(url, error.description());
    }
    return refused;
}

KOVA_FolderSetClass::FolderSets KOVA_JobFolders::builtInFolders()
{
    const QString processorFolder = platform::StandardPaths::path(platform::StandardPaths::Folder::Applications,
                                                                  platform::StandardPaths::Domain::Local)
                                    + QStringLiteral("/KOVA OS X Share Folder/Kova-Processor Folder ƒ");
    auto oldProcessor = std::make_shared<KOVA_JobFolders>(OldProcessorFolderName, QUrl::fromLocalFile(processorFolder));
    oldProcessor->setAddJobsPendingPathComponents(true);
    oldProcessor->setHasFixedName(true);
    auto wrenlow = std::make_shared<KOVA_JobFolders>(
        WrenlowPrintsFolderName, QUrl::fromLocalFile(QDir::homePath() + QStringLiteral("/Wrenlow/Prints")));
    wrenlow->setJobFileUTType(platform::kUTTypeXML);
    return {oldProcessor, wrenlow};
}

KOVA_FolderSetClass::FolderSets KOVA_JobFolders::arrangedLoadedList(const KOVA_FolderSetClass::FolderSets& loaded)
{
    if (platform::UserDefaults::standardUserDefaults()->dataForKey(classSide().keyForSavedFolderSets()).isEmpty())
        return builtInFolders();
    for (const std::shared_ptr<KOVA_FolderSet>& folderSet : loaded) {
        const auto folder = asJobFolder(folderSet);
        if (!folder)
            continue;
        if (folder->name() == OldProcessorFolderName) {
            folder->setAddJobsPendingPathComponents(true);
            folder->setHasFixedName(true);
        } else {
            folder->setJobFileUTType(platform::kUTTypeXML);
        }
    }
    return loaded;
}

KOVA_JobFolders::Jobs KOVA_JobFolders::jobsPending()
{
    return KOVA_JobProcessing::shared()->jobsPending();
}

void KOVA_JobFolders::processNextJob()
{
    KOVA_JobProcessing::shared()->processNextJob();
}

void KOVA_JobFolders::processJob(const std::shared_ptr<KOVA_Job>& job)
{
    KOVA_JobProcessing::shared()->processJob(job);
}

bool KOVA_JobFolders::isProcessing()
{
    return KOVA_JobProcessing::shared()->isProcessing();
}

void KOVA_JobFolders::setIsProcessing(bool isProcessing)
{
    KOVA_JobProcessing::shared()->setIsProcessing(isProcessing);
}

platform::Observable& KOVA_JobFolders::classObservable()
{
    return *KOVA_JobProcessing::shared();
}

bool KOVA_JobFolders::flagOption(const QString& key) const
{
    const QVariant value = propertyValue(key);
    return value.typeId() == QMetaType::Bool ? value.toBool() : value.toLongLong() != 0;
}

bool KOVA_JobFolders::enabled() const
{
    return flagOption(EnabledKey);
}

void KOVA_JobFolders::setEnabled(bool enabled)
{
    if (flagOption(EnabledKey) != enabled) {
        platform::Observable& announcer = classObservable();
        announcer.willChangeValueForKey(EnabledFoldersKey);
        setPropertyValue(EnabledKey, enabled);
        announcer.didChangeValueForKey(EnabledFoldersKey);
    }
    if (enabled) {
        if (!hasFileEvent())
            configureJobsFolder();
        return;
    }
    dropFileEvent();
    bool hasEntries = false;
    {
        const std::lock_guard lock(m_jobsMutex);
        hasEntries = m_dictJobs && !m_dictJobs->isEmpty();
    }
    if (hasEntries)
        ZORVAK_Dispatch::performSyncOnMainQueue([this] { replaceJobTable(std::nullopt); });
}

bool KOVA_JobFolders::hasFixedName() const
{
    return flagOption(HasFixedNameKey);
}

void KOVA_JobFolders::setHasFixedName(bool hasFixedName)
{
    setPropertyValue(HasFixedNameKey, hasFixedName);
}

QString KOVA_JobFolders::jobFileUTType() const
{
    const QVariant stored = propertyValue(JobFileUTTypeKey);
    return stored.typeId() == QMetaType::QString ? stored.toString() : platform::UTType::jobBundle;
}

void KOVA_JobFolders::setJobFileUTType(const QString& jobFileUTType)
{
    const QVariant stored = propertyValue(JobFileUTTypeKey);
    const QString current = stored.typeId() == QMetaType::QString ? stored.toString() : QString();
    if (current != jobFileUTType)
        setPropertyValue(JobFileUTTypeKey, jobFileUTType);
}

bool KOVA_JobFolders::addJobsPendingPathComponents() const
{
    return flagOption(AddJobsPendingPathComponentsKey);
}

void KOVA_JobFolders::setAddJobsPendingPathComponents(bool addJobsPendingPathComponents)
{
    setPropertyValue(AddJobsPendingPathComponentsKey, addJobsPendingPathComponents);
}

void KOVA_JobFolders::setURL(const QUrl& url)
{
    KOVA_FolderSet::setURL(url);
    configureJobsFolder();
}

QUrl KOVA_JobFolders::jobsFolderURL() const
{
    return addJobsPendingPathComponents() ? withJobsPending(URL()) : URL();
}

KOVA_JobFolders::Jobs KOVA_JobFolders::jobs() const
{
    const std::lock_guard lock(m_jobsMutex);
    return m_dictJobs ? m_dictJobs->values() : Jobs();
}

std::optional<KOVA_JobFolders::JobTable> KOVA_JobFolders::dictJobs() const
{
    const std::lock_guard lock(m_jobsMutex);
    return m_dictJobs;
}

bool KOVA_JobFolders::hasFileEvent() const
{
    const std::lock_guard lock(m_jobsMutex);
    return m_fileEvent != nullptr;
}

void KOVA_JobFolders::configureJobsFolder()
{
    if (!enabled()) {
        dropFileEvent();
        return;
    }
    {
        const std::lock_guard lock(m_jobsMutex);
        if (!m_dictJobs)
            m_dictJobs.emplace();
    }
    configureFolder(jobsFolderURL(), JobsKey, jobFileUTType(),
                    [](const QUrl& item) { return KOVA_Job::instanceWithXMLObject(item); }, nullptr);
}

void KOVA_JobFolders::configureFolder(const QUrl& folder, const QString& keyPath, const QString& utType,
                                      const ObjectInit& objectInit, const Reload& reload)
{
    if (!folder.isLocalFile() || keyPath.isEmpty() || !objectInit || !dictJobs())
        return;
    ZORVAK_Dispatch::performSyncOnMainQueue([this] { replaceJobTable(JobTable()); });
    const QString path = cleanPath(folder);
    platform::Error error;
    if (!QFileInfo(path).isDir() && !platform::FileOperations::makeDirectory(path, true, &error)) {
        platform::Log::error(error.message);
        return;
    }
    quint64 generation = 0;
    {
        const std::lock_guard lock(m_jobsMutex);
        generation = m_generation + 1;
    }
    const Scan scan{path, keyPath, utType, objectInit, reload, generation};
    auto fileEvent = std::make_unique<ZORVAK_FileEvent>(QStringList{path}, watcherLatency);
    const std::weak_ptr<KOVA_FolderSet> weakSelf = weak_from_this();
    fileEvent->setEventBlock([weakSelf, scan](const QStringList& paths, const ZORVAK_FileEvent::Flags&) {
        if (const auto self = std::static_pointer_cast<KOVA_JobFolders>(weakSelf.lock()))
            self->handleEvent(paths, scan);
    });
    installFileEvent(std::move(fileEvent), generation);
}

// Runs on the watcher's queue.
void KOVA_JobFolders::handleEvent(const QStringList& paths, const Scan& scan)
{
    JobTable removed;
    {
        const std::lock_guard lock(m_jobsMutex);
        if (scan.generation != m_generation || !m_dictJobs)
            return;
        removed = *m_dictJobs;
    }
    const bool concernsFolder = std::any_of(paths.cbegin(), paths.cend(), [&](const QString& path) {
        return QDir::cleanPath(path) == scan.folderPath || removed.contains(path);
    });
    if (!concernsFolder)
        return;
    JobTable added;
    QDirIterator items(scan.folderPath, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (!QFileInfo(scan.folderPath).isReadable())
        platform::Log::log(QStringLiteral("%1:%2").arg(QUrl::fromLocalFile(scan.folderPath).toString(),
                                                        QStringLiteral("the folder cannot be listed")));
    while (items.hasNext()) {
        const QString itemPath = QDir::cleanPath(items.next());
        const QUrl item = QUrl::fromLocalFile(itemPath);
        if (!ZORVAK_Extras_NSURL::conformsToUTType(item, scan.utType))
            continue;
        if (removed.remove(itemPath) > 0)
            continue;
        if (std::shared_ptr<KOVA_Job> job = scan.objectInit(item))
            added.insert(itemPath, std::move(job));
    }
    if (removed.isEmpty() && added.isEmpty())
        return;
    ZORVAK_Dispatch::performSyncOnMainQueue([&] { applyScan(scan, removed, added); });
}

// Runs on the main queue.
void KOVA_JobFolders::applyScan(const Scan& scan, const JobTable& removed, const JobTable& added)
{
    {
        const std::lock_guard lock(m_jobsMutex);
        if (scan.generation != m_generation || !m_dictJobs)
            return;
    }
    willChangeValueForKey(scan.keyPath);
    {
        const std::lock_guard lock(m_jobsMutex);
        m_dictJobs->insert(added);
        for (auto it = removed.cbegin(); it != removed.cend(); ++it)
            m_dictJobs->remove(it.key());
    }
    didChangeValueForKey(scan.keyPath);
    if (scan.reload)
        scan.reload(removed, added);
}

// Runs on the main queue.
void KOVA_JobFolders::replaceJobTable(std::optional<JobTable> table)
{
    willChangeValueForKey(JobsKey);
    {
        const std::lock_guard lock(m_jobsMutex);
        m_dictJobs = std::move(table);
    }
    didChangeValueForKey(JobsKey);
}

// A watcher's end waits for its event block, which may be waiting for the main
// queue: watchers are therefore let go on a global queue, never where the caller is.
void KOVA_JobFolders::dropFileEvent()
{
    installFileEvent(nullptr, 0);
}

void KOVA_JobFolders::installFileEvent(std::unique_ptr<ZORVAK_FileEvent> fileEvent, quint64 generation)
{
    ZORVAK_FileEvent* started = fileEvent.get();
    std::shared_ptr<ZORVAK_FileEvent> previous;
    {
        const std::lock_guard lock(m_jobsMutex);
        previous.reset(m_fileEvent.release());
        m_fileEvent = std::move(fileEvent);
        m_generation = started ? generation : m_generation + 1;
        if (started)
            started->setRun(true);
    }
    if (previous)
        ZORVAK_Dispatch::performAsyncGlobal([previous]() mutable { previous.reset(); });
}

QString KOVA_JobFolders::description() const
{
    QString text = KOVA_FolderSet::description();
    const qsizetype brace = text.indexOf(QStringLiteral(">{"));
    if (brace >= 0)
        text.replace(brace, 2, enabled() ? QStringLiteral(">{ENabled;") : QStringLiteral(">{DISabled;"));
    return text;
}

QVariant KOVA_JobFolders::valueForKey(const QString& key) const
{
    if (key == JobsKey) {
        QVariantList paths;
        for (const std::shared_ptr<KOVA_Job>& job : jobs())
            paths.append(job->documentURL().toLocalFile());
        return paths;
    }
    if (key == JobFileUTTypeKey)
        return jobFileUTType();
    if (key == EnabledKey || key == HasFixedNameKey || key == AddJobsPendingPathComponentsKey)
        return flagOption(key);
    return KOVA_FolderSet::valueForKey(key);
}

QStringList KOVA_JobFolders::archiveClassHierarchy() const
{
    return {ClassName, KOVA_FolderSet::ClassName, QStringLiteral("NSObject")};
}
