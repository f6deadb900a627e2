#include "platform/dispatch/DispatchThread.h"

#include <QCoreApplication>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include <pthread.h>

namespace platform {
namespace {

class ThreadRegistry {
public:
    void start(std::function<void()> body)
    {
        registerShutdown();
        std::lock_guard lock(mutex_);
        joinFinishedLocked();
        auto* task = new Task{this, std::move(body)};
        pthread_t thread;
        if (const int failure = pthread_create(&thread, nullptr, &ThreadRegistry::run, task); failure != 0) {
            delete task;
            qFatal("could not start a dispatch thread: %s", std::strerror(failure));
        }
    }

    void close()
    {
        std::vector<pthread_t> ended;
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
            ended.swap(ended_);
        }
        for (pthread_t thread : ended)
            pthread_join(thread, nullptr);
    }

    bool isClosed()
    {
        std::lock_guard lock(mutex_);
        return closed_;
    }

private:
    struct Task {
        ThreadRegistry* registry;
        std::function<void()> body;
    };

    static void* run(void* argument)
    {
        std::unique_ptr<Task> task(static_cast<Task*>(argument));
        task->body();
        ThreadRegistry* registry = task->registry;
        task.reset(); // what the body captured goes before the thread is given up
        registry->end();
        return nullptr;
    }

    // Hands the thread over to be joined, or waits forever once the process is
    // shutting down.
    void end()
    {
        std::unique_lock lock(mutex_);
        if (closed_) {
            parked_.wait(lock, [] { return false; });
            return;
        }
        ended_.push_back(pthread_self());
    }

    // Joins the ended threads that are gone entirely, without waiting for the
    // others (still in their per-thread clean-up).
    void joinFinishedLocked()
    {
        std::erase_if(ended_, [](pthread_t thread) { return pthread_tryjoin_np(thread, nullptr) == 0; });
    }

    // Closing at the start of the application object's destruction (its post
    // routines run first) and, for processes without one, at exit.
    void registerShutdown()
    {
        static std::once_flag atExit;
        std::call_once(atExit, [] { std::atexit(DispatchThread::closeForExit); });
        if (!routineAdded_.load() && QCoreApplication::instance() && !routineAdded_.exchange(true))
            qAddPostRoutine(DispatchThread::closeForExit);
    }

    std::mutex mutex_;
    std::condition_variable parked_;
    std::vector<pthread_t> ended_;
    bool closed_ = false;
    std::atomic<bool> routineAdded_ = false;
};

ThreadRegistry& registry()
{
    // Never destroyed: parked threads wait on it while the process exits.
    static ThreadRegistry* threads = new ThreadRegistry;
    return *threads;
}

} // namespace

void DispatchThread::start(std::function<void()> body)
{
    registry().start(std::move(body));
}

void DispatchThread::closeForExit()
{
    registry().close();
}

bool DispatchThread::isClosedForExit()
{
    return registry().isClosed();
}

} // namespace platform
