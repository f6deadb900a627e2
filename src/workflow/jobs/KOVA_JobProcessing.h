#pragma once

#include "platform/observation/Observable.h"

#include <QList>

#include <memory>

class KOVA_Job;

// What the hot folders and the jobs need of the job processor above them: the pending
// list, running a job when its turn comes, the processing flag, and the news that the
// folder list was loaded. The processor installs how it is made at start-up (every
// program that runs jobs sets the road up first); it is then made and started on first use.
// "jobsPending" and "isProcessing" are announced on it.
class KOVA_JobProcessing : public platform::Observable {
public:
    using Jobs = QList<std::shared_ptr<KOVA_Job>>;
    using Maker = std::shared_ptr<KOVA_JobProcessing> (*)();

    virtual Jobs jobsPending() const = 0;
    virtual void processNextJob() = 0;
    virtual void processJob(const std::shared_ptr<KOVA_Job>& job) = 0;
    virtual bool isProcessing() const = 0;
    virtual void setIsProcessing(bool isProcessing) = 0;
    // The job folder list was loaded.
    virtual void listDidLoad() = 0;

    // Installs the function that makes (once) and returns the processor. Thread-safe.
    static void install(Maker maker);
    // The processor, made on first use; a program that set no processor up stops with
    // a message saying so.
    static std::shared_ptr<KOVA_JobProcessing> shared();
};
