#include "workflow/processing/KOVA_JobProcessor.h"

#include "core/foundation/KOVA_Constants.h"
#include "core/foundation/ZORVAK_Extras_NSURL.h"
#include "core/observation/OBKVONotificationCenter.h"
#include "core/queues/ZORVAK_Dispatch.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/DispatchGroup.h"
#include "platform/files/FileClaim.h"
#include "platform/files/UTType.h"
#include "workflow/delivery/KOVA_PrintPicturesCleaner.h"
#include "workflow/folders/KOVA_JobFolders.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/processing/KOVA_JobFiling.h"

#include <QDateTime>

#include <malloc.h>

#include <algorithm>
#include <chrono>

namespace {

// The pending list waits this long after the class's first use before it is gathered.
constexpr auto firstScanDelay = std::chrono::microseconds(100);
// The folders start watching this long after the list was loaded.
constexpr auto configureDelay = std::chrono::milliseconds(1);
// How long a ticket another processor holds is left alone before it is tried again: a
// claim its holder left by dying is taken over after this long.
constexpr auto claimRetryDelay = std::chrono::seconds(2);
// How often a ticket that ran but could not be filed is tried again: its folder may
// have been made or chosen meanwhile.
constexpr auto filingRetryDelay = std::chrono::seconds(5);
// Heap blocks of this size or more are mapped on their own. glibc otherwise raises
// its threshold as large blocks are freed, after which they come from per-thread heaps
// that keep the memory, malloc_trim or not: a run of jobs of 12-megapixel photos would
// grow by a few hundred megabytes a job.
constexpr int mappedBlockSize = 1024 * 1024;

QString describedJob(const std::shared_ptr<KOVA_Job>& job)
{
    return job->documentURL().toString();
}

QByteArray generationOf(const QString& ticketPath)
{
    return ZORVAK_Extras_NSURL::generationID(QUrl::fromLocalFile(ticketPath));
}

// Oldest ticket first; tickets of one date by path.
KOVA_JobProcessor::Jobs sortedByDateStarted(const KOVA_JobProcessor::Jobs& jobs)
{
    std::vector<std::pair<std::pair<QDateTime, QString>, std::shared_ptr<KOVA_Job>>> keyed;
    keyed.reserve(size_t(jobs.size()));
    for (const std::shared_ptr<KOVA_Job>& job : jobs)
        keyed.push_back({{job->dateStarted(), job->documentURL().toLocalFile()}, job});
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    KOVA_JobProcessor::Jobs sorted;
    for (auto& entry : keyed)
        sorted.append(std::move(entry.second));
    return sorted;
}

} // namespace

std::shared_ptr<KOVA_JobProcessor> KOVA_JobProcessor::shared()
{
    // Kept for the whole run: watchers and queued work may still call it at exit.
    static const auto* processor = [] {
        auto* made = new std::shared_ptr<KOVA_JobProcessor>(new KOVA_JobProcessor());
        (*made)->start();
        return made;
    }();
    return *processor;
}

void KOVA_JobProcessor::install()
{
    KOVA_JobProcessing::install([]() -> std::shared_ptr<KOVA_JobProcessing> { return shared(); });
}

void KOVA_JobProcessor::start()
{
    handBackLargeBlocks();
    m_printPicturesCleaner = KOVA_PrintPicturesCleaner::start();
    const std::weak_ptr<KOVA_JobProcessor> weakSelf = weak_from_this();
    KOVA_JobFolders::classSide().addObserver(shared_from_this(), [weakSelf](const KOVA_FolderSetClass::FolderSets&) {
        if (const auto self = weakSelf.lock())
            self->scanFolders();
    });
    platform::DispatchQueue::global()->after(firstScanDelay, [weakSelf] {
        if (const auto self = weakSelf.lock())
            self->scanFolders();
    });
    ZORVAK_Dispatch::performAsyncGlobal([weakSelf] {
        if (const auto self = weakSelf.lock())
            self->takeOverStoredRecords();
    });
}

void KOVA_JobProcessor::handBackLargeBlocks()
{
    // An allocator that replaces glibc's (the sanitizers') refuses and keeps its own ways.
    mallopt(M_MMAP_THRESHOLD, mappedBlockSize);
}

void KOVA_JobProcessor::listDidLoad()
{
    const std::weak_ptr<KOVA_JobProcessor> weakSelf = weak_from_this();
    auto observation = OBKVONotificationCenter::addObservationKeyPath(
        platform::UserDefaults::standardUserDefaults(), key_kovaProcessorIsRunning, platform::KeyValueObservingOptionNew,
        [weakSelf](const OBKVONotification&) {
            if (const auto self = weakSelf.lock())
                self->processNextJob();
        });
    {
        const std::lock_guard lock(m_mutex);
        m_runSwitchObservation = std::move(observation);
    }
    platform::DispatchQueue::global()->after(configureDelay, [] {
        for (const std::shared_ptr<KOVA_JobFolders>& folder : KOVA_JobFolders::jobFolders())
            folder->configureJobsFolder();
    });
}

KOVA_JobProcessor::Jobs KOVA_JobProcessor::jobsPending() const
{
    const std::lock_guard lock(m_mutex);
    return m_jobsPending;
}

void KOVA_JobProcessor::processNextJob()
{
    if (!platform::UserDefaults::standardUserDefaults()->boolForKey(key_kovaProcessorIsRunning))
        return;
    std::shared_ptr<KOVA_Job> next;
    {
        const std::lock_guard lock(m_mutex);
        const auto offered = std::find_if(m_jobsPending.cbegin(), m_jobsPending.cend(),
                                          [this](const std::shared_ptr<KOVA_Job>& job) { return !isPassedOverLocked(job); });
        if (offered == m_jobsPending.cend())
            return;
        next = *offered;
    }
    ZORVAK_Dispatch::performAsyncGlobal([self = shared_from_this(), next] { self->request(next, Offer::Next); });
}

void KOVA_JobProcessor::processJob(const std::shared_ptr<KOVA_Job>& job)
{
    if (!job)
        return;
    if (ZORVAK_Dispatch::isMainQueue()) {
        ZORVAK_Dispatch::performAsyncGlobal([self = shared_from_this(), job] { self->request(job, Offer::Request); });
        return;
    }
    request(job, Offer::Request);
}

bool KOVA_JobProcessor::isProcessing() const
{
    const std::lock_guard lock(m_mutex);
    return m_isProcessing;
}

void KOVA_JobProcessor::setIsProcessing(bool isProcessing)
{
    willChangeValueForKey(IsProcessingKey);
    {
        const std::lock_guard lock(m_mutex);
        m_isProcessing = isProcessing;
    }
    didChangeValueForKey(IsProcessingKey);
}

void KOVA_JobProcessor::scanFolders()
{
    for (const std::shared_ptr<KOVA_JobFolders>& folder : KOVA_JobFolders::enabledFolders()) {
        const std::weak_ptr<KOVA_JobFolders> weakFolder = folder;
        observeJobsOf(folder->uuid(),
                      OBKVONotificationCenter::addObservationKeyPath(
                          folder, KOVA_JobFolders::JobsKey, platform::KeyValueObservingOptionNew,
                          [weakFolder](const OBKVONotification&) {
                              const auto observed = weakFolder.lock();
                              if (!observed)
                                  return;
                              platform::Log::log(QStringLiteral("change to jobs in %1").arg(observed->description()));
                              platform::Log::log(QStringLiteral("Lets rescan %1").arg(observed->description()));
                              KOVA_JobProcessor::shared()->rebuildJobsPending();
                          }));
    }
    // A folder observed only now may have been scanned already: its jobs join at once.
    ZORVAK_Dispatch::performAsyncOnMainQueue([self = shared_from_this()] { self->rebuildJobsPending(); });
}

void KOVA_JobProcessor::observeJobsOf(const QString& uuid, const std::shared_ptr<OBKVOObservation>& observation)
{
    std::shared_ptr<OBKVOObservation> replaced;
    {
        const std::lock_guard lock(m_mutex);
        replaced = m_observations.value(uuid);
        m_observations.insert(uuid, observation);
    }
    if (replaced)
        OBKVONotificationCenter::defaultCenter().removeObservation(replaced);
}

void KOVA_JobProcessor::rebuildJobsPending()
{
    ZORVAK_Dispatch::performSyncOnMainQueue([this] {
        Jobs gathered;
        for (const std::shared_ptr<KOVA_JobFolders>& folder : KOVA_JobFolders::enabledFolders())
            gathered.append(folder->jobs());
        Jobs sorted = sortedByDateStarted(gathered);
        willChangeValueForKey(JobsPendingKey);
        {
            const std::lock_guard lock(m_mutex);
            m_jobsPending = std::move(sorted);
        }
        didChangeValueForKey(JobsPendingKey);
    });
    processNextJob();
}

void KOVA_JobProcessor::request(const std::shared_ptr<KOVA_Job>& job, Offer offer)
{
    platform::Log::log(QStringLiteral("+[KOVA_JobFolders processJob:] %1").arg(describedJob(job)));
    if (isCurrentJob(job))
        return;
    bool ranAlready = false;
    {
        const std::lock_guard lock(m_mutex);
        ranAlready = wasLeftUnfiledLocked(job);
    }
    if (ranAlready) {
        // Run once, it is only filed now, so that nothing is printed twice.
        fileLeftUnfiled();
        return;
    }
    for (;;) {
        // A ticket filed, moved or deleted meanwhile ends the request.
        if (!ZORVAK_Extras_NSURL::conformsToUTType(job->documentURL(), platform::kUTTypeXML) || !isPending(job))
            return;
        std::shared_ptr<platform::DispatchGroup> running;
        Claim claimed = Claim::Ended;
        ZORVAK_Dispatch::performSyncOnMainQueue([&] { claimed = claim(job, offer, running); });
        if (claimed == Claim::Ended)
            return;
        if (claimed == Claim::Claimed) {
            const QByteArray generation = ZORVAK_Extras_NSURL::generationID(job->documentURL());
            std::shared_ptr<platform::FileClaim> ticketClaim;
            const platform::FileClaim::Outcome outcome = claimTicket(job, ticketClaim);
            const bool heldElsewhere = outcome == platform::FileClaim::Outcome::HeldElsewhere;
            if (auto ran = KOVA_UnfiledTickets::find(job->documentURL().toLocalFile(), generation)) {
                // It ran in an earlier start or in another processor: it is only filed.
                leaveUnfiled({job, std::move(*ran), std::move(ticketClaim), heldElsewhere});
                release(job, Ending::LeftUnfiled);
            } else if (outcome == platform::FileClaim::Outcome::Claimed || outcome == platform::FileClaim::Outcome::Failed) {
                run(job, generation, std::move(ticketClaim));
            } else {
                release(job, heldElsewhere ? Ending::HeldElsewhere : Ending::NotRun);
            }
            return;
        }
        running->wait();
    }
}

// Claimed here, the job is claimed against every other processor sharing its folder
// before it runs. The claim of a ticket whose folder cannot hold one is skipped (Failed),
// and the job runs as it would alone (`claim` stays null).
platform::FileClaim::Outcome KOVA_JobProcessor::claimTicket(const std::shared_ptr<KOVA_Job>& job,
                                                            std::shared_ptr<platform::FileClaim>& claim)
{
    platform::FileClaim::Outcome outcome = platform::FileClaim::Outcome::Failed;
    platform::Error error;
    claim = platform::FileClaim::tryClaim(job->documentURL().toLocalFile(), &outcome, &error);
    switch (outcome) {
    case platform::FileClaim::Outcome::Claimed:
        break;
    case platform::FileClaim::Outcome::Failed:
        platform::Log::error(QStringLiteral("the ticket %1 runs without a claim: %2").arg(describedJob(job), error.description()));
        break;
    case platform::FileClaim::Outcome::HeldElsewhere:
        platform::Log::log(QStringLiteral("the ticket %1 is claimed by another processor; left to it").arg(describedJob(job)));
        break;
    case platform::FileClaim::Outcome::Gone:
        platform::Log::log(QStringLiteral("the ticket %1 left its hot folder before it ran").arg(describedJob(job)));
        break;
    }
    return outcome;
}

// A ticket held elsewhere is passed over until the retry: a claim whose holder died
// meanwhile is taken over then.
void KOVA_JobProcessor::scheduleClaimRetry()
{
    const std::weak_ptr<KOVA_JobProcessor> weakSelf = weak_from_this();
    platform::DispatchQueue::global()->after(claimRetryDelay, [weakSelf] {
        const auto self = weakSelf.lock();
        if (!self)
            return;
        {
            const std::lock_guard lock(self->m_mutex);
            self->m_heldElsewhere.clear();
        }
        self->processNextJob();
    });
}

// Runs on the main queue.
KOVA_JobProcessor::Claim KOVA_JobProcessor::claim(const std::shared_ptr<KOVA_Job>& job, Offer offer,
                                                  std::shared_ptr<platform::DispatchGroup>& running)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_currentJob == job || (offer == Offer::Next && isPassedOverLocked(job)))
            return Claim::Ended;
        if (m_runGroup) {
            running = m_runGroup;
            return Claim::Wait;
        }
        m_currentJob = job;
        m_runGroup = platform::DispatchGroup::create();
        m_runGroup->enter();
    }
    setIsProcessing(true);
    return Claim::Claimed;
}

void KOVA_JobProcessor::run(const std::shared_ptr<KOVA_Job>& job, const QByteArray& generation,
                            std::shared_ptr<platform::FileClaim> ticketClaim)
{
    job->processJob([this, job, generation, ticketClaim](const platform::Error& error) mutable {
        if (!error.isNull())
            platform::Log::log(error.description());
        // Recorded as ran before it is filed: should the program end before the ticket
        // leaves its hot folder, it is not run again.
        KOVA_UnfiledTickets::Record record{job->documentURL().toLocalFile(), generation, error, {}};
        KOVA_UnfiledTickets::store(record);
        const bool filed = KOVA_JobFiling::fileJob(*job, error, &record.reason);
        if (filed) {
            KOVA_UnfiledTickets::remove(record.ticketPath, record.generation);
            ticketClaim.reset(); // held until the ticket has left its hot folder
        } else {
            KOVA_UnfiledTickets::store(record);
            leaveUnfiled({job, std::move(record), std::move(ticketClaim)});
        }
        release(job, filed ? Ending::Filed : Ending::LeftUnfiled);
    });
    // The job's decoded photos and rendered pictures are freed now. glibc keeps freed
    // heap for later allocations, so a processor that runs all day would otherwise hold
    // the smaller blocks of its largest job for good: hand them back between jobs.
    malloc_trim(0);
}

void KOVA_JobProcessor::release(const std::shared_ptr<KOVA_Job>& job, Ending ending)
{
    bool retryClaims = false;
    ZORVAK_Dispatch::performSyncOnMainQueue([&] {
        platform::Log::log(QStringLiteral("release %1").arg(describedJob(job)));
        std::shared_ptr<platform::DispatchGroup> group;
        {
            const std::lock_guard lock(m_mutex);
            group = std::move(m_runGroup);
            m_runGroup.reset();
            m_currentJob.reset();
            if (ending == Ending::HeldElsewhere) {
                retryClaims = m_heldElsewhere.isEmpty();
                m_heldElsewhere.insert(job->documentURL().toLocalFile());
            }
        }
        if (ending == Ending::LeftUnfiled) {
            platform::Log::error(QStringLiteral("the ticket %1 ran but stays in its hot folder; it is not run again "
                                                "and is filed once it can be").arg(describedJob(job)));
            announceJobsPending();
        }
        setIsProcessing(false);
        if (group)
            group->leave();
    });
    if (retryClaims)
        scheduleClaimRetry();
    if (ending == Ending::LeftUnfiled)
        scheduleFilingRetry();
    processNextJob();
}

bool KOVA_JobProcessor::leaveUnfiled(Unfiled unfiled, bool replace)
{
    const QString path = unfiled.record.ticketPath;
    QByteArray writtenAnew; // the generation that ran before the ticket was written again
    {
        const std::lock_guard lock(m_mutex);
        const auto kept = m_leftUnfiled.constFind(path);
        if (kept != m_leftUnfiled.cend() && kept->record.generation == unfiled.record.generation && !replace)
            return false;
        if (kept != m_leftUnfiled.cend() && kept->record.generation != unfiled.record.generation)
            writtenAnew = kept->record.generation;
        m_leftUnfiled.insert(path, std::move(unfiled));
    }
    if (!writtenAnew.isEmpty())
        KOVA_UnfiledTickets::remove(path, writtenAnew);
    return true;
}

void KOVA_JobProcessor::takeOverStoredRecords()
{
    bool tookOver = false;
    for (KOVA_UnfiledTickets::Record& record : KOVA_UnfiledTickets::stored()) {
        // One that does not read now is left to its folder's next scan.
        const auto job = KOVA_Job::instanceWithXMLObject(record.ticketPath);
        if (!job)
            continue;
        if (leaveUnfiled({job, std::move(record), nullptr, true}, false)) {
            platform::Log::log(QStringLiteral("the ticket %1 ran before and is not filed yet; it is not run again and is "
                                              "filed once it can be").arg(describedJob(job)));
            tookOver = true;
        }
    }
    if (!tookOver)
        return;
    ZORVAK_Dispatch::performAsyncOnMainQueue([self = shared_from_this()] { self->announceJobsPending(); });
    fileLeftUnfiled();
}

void KOVA_JobProcessor::fileLeftUnfiled()
{
    const std::lock_guard oneAtATime(m_filingMutex);
    QMap<QString, Unfiled> unfiled;
    {
        const std::lock_guard lock(m_mutex);
        unfiled = m_leftUnfiled;
    }
    bool changed = false;
    for (const Unfiled& ticket : std::as_const(unfiled))
        changed = fileAgain(ticket) || changed;
    scheduleFilingRetry();
    if (!changed)
        return;
    ZORVAK_Dispatch::performAsyncOnMainQueue([self = shared_from_this()] { self->announceJobsPending(); });
    // A ticket written anew keeps its place in its folder's list, which therefore does not
    // change: it is offered as new from here.
    processNextJob();
}

bool KOVA_JobProcessor::fileAgain(Unfiled ticket)
{
    const KOVA_UnfiledTickets::Record& ran = ticket.record;
    // A ticket gone or written again is no longer the one that ran.
    const bool replaced = generationOf(ran.ticketPath) != ran.generation;
    if (!replaced && ticket.needsClaim && !claimUnfiled(ticket))
        return false;
    QString whyNot = ran.reason;
    const bool done = replaced || KOVA_JobFiling::fileAgain(*ticket.job, ran.jobError.isNull(), &whyNot);
    {
        const std::lock_guard lock(m_mutex);
        const auto kept = m_leftUnfiled.find(ran.ticketPath);
        if (kept == m_leftUnfiled.end() || kept->record.generation != ran.generation)
            return false;
        if (done) {
            m_leftUnfiled.erase(kept);
        } else {
            kept->record.reason = whyNot;
            kept->claim = ticket.claim;
            kept->needsClaim = ticket.needsClaim;
        }
    }
    if (done) {
        KOVA_UnfiledTickets::remove(ran.ticketPath, ran.generation);
        platform::Log::log(replaced ? QStringLiteral("the ticket %1 that ran left its hot folder or was written anew").arg(ran.ticketPath)
                                    : QStringLiteral("the ticket %1 that ran is filed now").arg(ran.ticketPath));
        return true;
    }
    if (whyNot == ran.reason)
        return false;
    platform::Log::log(QStringLiteral("the ticket %1 that ran is still not filed: %2").arg(ran.ticketPath, whyNot));
    KOVA_UnfiledTickets::store({ran.ticketPath, ran.generation, ran.jobError, whyNot});
    return true;
}

// A ticket that ran elsewhere is filed here only once it is held here; one whose folder
// cannot hold a claim is filed without one, as it would have run.
bool KOVA_JobProcessor::claimUnfiled(Unfiled& ticket)
{
    platform::FileClaim::Outcome outcome = platform::FileClaim::Outcome::Failed;
    ticket.claim = platform::FileClaim::tryClaim(ticket.record.ticketPath, &outcome);
    ticket.needsClaim = outcome != platform::FileClaim::Outcome::Claimed && outcome != platform::FileClaim::Outcome::Failed;
    return !ticket.needsClaim;
}

void KOVA_JobProcessor::scheduleFilingRetry()
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_filingRetryScheduled || m_leftUnfiled.isEmpty())
            return;
        m_filingRetryScheduled = true;
    }
    const std::weak_ptr<KOVA_JobProcessor> weakSelf = weak_from_this();
    platform::DispatchQueue::global()->after(filingRetryDelay, [weakSelf] {
        const auto self = weakSelf.lock();
        if (!self)
            return;
        {
            const std::lock_guard lock(self->m_mutex);
            self->m_filingRetryScheduled = false;
        }
        self->fileLeftUnfiled();
    });
}

// Runs on the main queue: the list is the same, what it shows of a job changed.
void KOVA_JobProcessor::announceJobsPending()
{
    willChangeValueForKey(JobsPendingKey);
    didChangeValueForKey(JobsPendingKey);
}

QMap<QString, QString> KOVA_JobProcessor::ticketsLeftUnfiled() const
{
    const std::lock_guard lock(m_mutex);
    QMap<QString, QString> reasons;
    for (auto ticket = m_leftUnfiled.cbegin(); ticket != m_leftUnfiled.cend(); ++ticket) {
        if (generationOf(ticket.key()) == ticket->record.generation)
            reasons.insert(ticket.key(), ticket->record.reason);
    }
    return reasons;
}

bool KOVA_JobProcessor::isCurrentJob(const std::shared_ptr<KOVA_Job>& job) const
{
    const std::lock_guard lock(m_mutex);
    return m_currentJob == job;
}

bool KOVA_JobProcessor::isPending(const std::shared_ptr<KOVA_Job>& job) const
{
    const std::lock_guard lock(m_mutex);
    return std::any_of(m_jobsPending.cbegin(), m_jobsPending.cend(),
                       [&job](const std::shared_ptr<KOVA_Job>& pending) { return pending->isEqual(*job); });
}

bool KOVA_JobProcessor::isPassedOverLocked(const std::shared_ptr<KOVA_Job>& job) const
{
    return wasLeftUnfiledLocked(job) || m_heldElsewhere.contains(job->documentURL().toLocalFile());
}

bool KOVA_JobProcessor::wasLeftUnfiledLocked(const std::shared_ptr<KOVA_Job>& job) const
{
    const auto entry = m_leftUnfiled.constFind(job->documentURL().toLocalFile());
    return entry != m_leftUnfiled.cend() && entry->record.generation == ZORVAK_Extras_NSURL::generationID(job->documentURL());
}

QVariant KOVA_JobProcessor::valueForKey(const QString& key) const
{
    if (key == IsProcessingKey)
        return isProcessing();
    if (key == JobsPendingKey) {
        QVariantList paths;
        for (const std::shared_ptr<KOVA_Job>& job : jobsPending())
            paths.append(job->documentURL().toLocalFile());
        return paths;
    }
    if (key == KOVA_JobFolders::EnabledFoldersKey) {
        QStringList names;
        for (const std::shared_ptr<KOVA_JobFolders>& folder : KOVA_JobFolders::enabledFolders())
            names.append(folder->name());
        return names;
    }
    return Observable::valueForKey(key);
}
