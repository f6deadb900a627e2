#pragma once

#include <QString>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

// Captures everything the process writes to standard error into a rotating log
// file: descriptor 2 becomes the write end of a pipe, and a reading thread
// ("Logger-Reading") appends each chunk to the file as soon as it arrives. The
// original standard error is kept for reports about the capture itself and is
// given back by `stop`.
class StandardErrorCapture {
public:
    static constexpr std::chrono::milliseconds defaultStopTimeout{5000};

    // Starts capturing into the file at `logPath`; null (with the reason logged)
    // when the pipe or the file cannot be made, leaving standard error as it was.
    static std::unique_ptr<StandardErrorCapture> start(const QString& logPath);
    ~StandardErrorCapture();
    StandardErrorCapture(const StandardErrorCapture&) = delete;
    StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

    // Gives descriptor 2 back to the original standard error, then waits for the
    // reading thread to write out what the pipe still holds. True when it finished
    // within the timeout; otherwise (a child process still holds the pipe) it goes
    // on appending what arrives until the last writer is gone.
    bool stop(std::chrono::milliseconds timeout = defaultStopTimeout);

private:
    class Reader;
    explicit StandardErrorCapture(std::shared_ptr<Reader> reader);

    std::shared_ptr<Reader> m_reader;
    std::future<void> m_finished;
    std::thread m_thread;
};
