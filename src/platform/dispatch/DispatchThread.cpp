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
        std::lock_guard lock(m_mutex);
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
            std::lock_guard lock(m_mutex);
            m_closed = true;
            ended.swap(m_ended);
        }
        for (pthread_t thread : ended)
            pthread_join(thread, nullptr);
    }

    bool isClosed()
    {
        std::lock_guard lock(m_mutex);
        return m_closed;
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
        std::unique_lock lock(m_mutex);
        if (m_closed) {
            m_parked.wait(lock, [] { return false; });
            return;
        }
        m_ended.push_back(pthread_self());
    }

    // Joins the ended threads that are gone entirely, without waiting for the
    // others (still in their per-thread clean-up).
    void joinFinishedLocked()
    {
        std::erase_if(m_ended, [](pthread_t thread) { return pthread_tryjoin_np(thread, nullptr) == 0; });
    }

    // Closing at the start of the application object's destruction (its post
    // routines run first) and, for processes without one, at exit.
    void registerShutdown()
    {
        static std::once_flag atExit;
        std::call_once(atExit, [] { std::atexit(DispatchThread::closeForExit); });
        if (!m_routineAdded.load() && QCoreApplication::instance() && !m_routineAdded.exchange(true))
            qAddPostRoutine(DispatchThread::closeForExit);
    }

    std::mutex m_mutex;
    std::condition_variable m_parked;
    std::vector<pthread_t> m_ended;
    bool m_closed = false;
    std::atomic<bool> m_routineAdded = false;
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
