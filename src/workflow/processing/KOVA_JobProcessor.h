#pragma once

#include "platform/Error.h"
#include "platform/files/FileClaim.h"
#include "workflow/jobs/KOVA_JobProcessing.h"
#include "workflow/processing/KOVA_UnfiledTickets.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

#include <memory>
#include <mutex>

class KOVA_Job;
class KOVA_PrintPicturesCleaner;
class OBKVOObservation;

namespace platform {
class DispatchGroup;
}

// The system's main loop, the class side of the hot job folders: it keeps the
// pending list (the jobs of every enabled job folder, oldest ticket first) and runs
// its jobs one at a time, filing each ticket into the completed or failed folder.
// Filing takes a ticket out of its hot folder; the folder's watcher sees it leave,
// the pending list is rebuilt, and the rebuild starts the next job.
//
// Claims and releases happen on the main queue, which also owns the pending list;
// other queues read the list as snapshots under the same lock. A request waits on
// the run group of the job that runs and never on the main queue, so requests made
// on the main queue are handed to a global queue.
//
// Processors on other machines (or other processes) may share the hot folders: each job's
// ticket is claimed before it runs and held until it is filed, so that a ticket runs in
// one processor only. A ticket another one holds is passed over and tried again a little
// later, which takes over the claim of a processor that died.
//
// A ticket that ran but could not be filed (its Completed or Failed folder missing or
// not chosen) is never run again, also not when asked, as a new job object after its
// folder was watched anew, after the program started again, or by a second processor on
// the same hot folder: its outputs were delivered already. It is recorded as ran before
// filing is tried (KOVA_UnfiledTickets), stays pending with the reason, its claim held,
// and filing is tried again every few seconds and whenever it is asked to run, until it
// is filed as it ran and counted. The retries log only a change of the reason and the
// filing. Only a ticket written again counts as new.
class KOVA_JobProcessor : public KOVA_JobProcessing, public std::enable_shared_from_this<KOVA_JobProcessor> {
public:

    static inline const QString JobsPendingKey = QStringLiteral("jobsPending");
    static inline const QString IsProcessingKey = QStringLiteral("isProcessing");

    // The one processor, made and started on first use.
    static std::shared_ptr<KOVA_JobProcessor> shared();
    // Makes the hot folders and the jobs reach this processor (KOVA_JobProcessing).
    static void install();

    // The job folder list was loaded: follow the run switch and start watching.
    void listDidLoad() override;

    // Sets the heap up for a process that renders large pictures all day: blocks of a
    // megabyte or more (decoded photos, rendered prints) are mapped on their own and
    // handed back to the system as soon as they are freed. The processor does so when it
    // starts; a program that runs jobs without it calls it itself.
    static void handBackLargeBlocks();

    Jobs jobsPending() const override;
    // Starts the first pending job on a global queue when the processor is switched
    // on ("kovaProcessorIsRunning"); returns at once.
    void processNextJob() override;
    // Runs the job when no other job runs, provided its ticket is still there and it
    // is still pending; blocks while it waits and while the job runs.
    void processJob(const std::shared_ptr<KOVA_Job>& job) override;
    bool isProcessing() const override;
    void setIsProcessing(bool isProcessing) override;

    // Observes the jobs of every enabled folder, then rebuilds the pending list.
    void scanFolders();
    // Gathers the jobs of the enabled folders into the pending list, on the main
    // queue, then starts the next job.
    void rebuildJobsPending();

    // The tickets that ran but could not be filed, by path, with the reason.
    QMap<QString, QString> ticketsLeftUnfiled() const;
    // Tries again to file the tickets that ran but could not be filed; one try at a
    // time, on the calling thread (never the main queue's: it moves files).
    void fileLeftUnfiled();

    QVariant valueForKey(const QString& key) const override;

private:
    enum class Offer { Next, Request };
    enum class Claim { Claimed, Ended, Wait };
    // How a run claimed here ends: its ticket filed, left in its hot folder after it ran,
    // or not run at all (its ticket gone, or held by another processor).
    enum class Ending { Filed, LeftUnfiled, NotRun, HeldElsewhere };

    KOVA_JobProcessor() = default;
    void start();
    void request(const std::shared_ptr<KOVA_Job>& job, Offer offer);
    Claim claim(const std::shared_ptr<KOVA_Job>& job, Offer offer, std::shared_ptr<platform::DispatchGroup>& running);
    platform::FileClaim::Outcome claimTicket(const std::shared_ptr<KOVA_Job>& job, std::shared_ptr<platform::FileClaim>& claim);
    void scheduleClaimRetry();
    // A ticket that ran: its record (how it ran, why it is still in its hot folder) and
    // its claim, held until it is filed. A ticket that ran in an earlier start or another
    // processor is claimed before it is filed here.
    struct Unfiled {
        std::shared_ptr<KOVA_Job> job;
        KOVA_UnfiledTickets::Record record;
        std::shared_ptr<platform::FileClaim> claim;
        bool needsClaim = false;
    };

    void run(const std::shared_ptr<KOVA_Job>& job, const QByteArray& generation,
             std::shared_ptr<platform::FileClaim> ticketClaim);
    // Keeps the ticket as ran; `replace` false keeps the entry already there. True when kept.
    bool leaveUnfiled(Unfiled unfiled, bool replace = true);
    // Takes over the tickets that ran in an earlier start or another processor.
    void takeOverStoredRecords();
    // One try at filing a ticket that ran; true when what the list shows of it changed.
    bool fileAgain(Unfiled ticket);
    static bool claimUnfiled(Unfiled& ticket);
    void scheduleFilingRetry();
    void announceJobsPending();
    void release(const std::shared_ptr<KOVA_Job>& job, Ending ending);
    bool isCurrentJob(const std::shared_ptr<KOVA_Job>& job) const;
    bool isPending(const std::shared_ptr<KOVA_Job>& job) const;
    // Not offered by processNextJob(): left unfiled, or held by another processor.
    bool isPassedOverLocked(const std::shared_ptr<KOVA_Job>& job) const;
    bool wasLeftUnfiledLocked(const std::shared_ptr<KOVA_Job>& job) const;
    void observeJobsOf(const QString& uuid, const std::shared_ptr<OBKVOObservation>& observation);

    std::shared_ptr<KOVA_PrintPicturesCleaner> m_printPicturesCleaner; // set once, at the start
    mutable std::mutex m_mutex; // guards every field below
    Jobs m_jobsPending;
    std::shared_ptr<KOVA_Job> m_currentJob;
    std::shared_ptr<platform::DispatchGroup> m_runGroup;
    bool m_isProcessing = false;
    QMap<QString, Unfiled> m_leftUnfiled; // by ticket path
    bool m_filingRetryScheduled = false;
    std::mutex m_filingMutex; // held by the one try at filing the unfiled tickets
    QSet<QString> m_heldElsewhere; // ticket paths another processor held, until the retry
    QMap<QString, std::shared_ptr<OBKVOObservation>> m_observations; // by folder uuid
    std::shared_ptr<OBKVOObservation> m_runSwitchObservation;
};
