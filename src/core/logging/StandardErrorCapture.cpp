#include "core/logging/StandardErrorCapture.h"

#include "core/logging/RotatingLogFile.h"
#include "platform/Log.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

// What the reading thread owns. Shared with the thread, so that a thread that
// outlives `stop` (a child process still holds the pipe) keeps its descriptors.
class StandardErrorCapture::Reader {
public:
    ~Reader()
    {
        file.reset();
        for (const int descriptor : {readEnd, console})
            if (descriptor >= 0)
                ::close(descriptor);
    }

    // Appends every chunk to the log until the last writer has closed the pipe.
    void run()
    {
        ::pthread_setname_np(::pthread_self(), "Logger-Reading");
        for (;;) {
            const ssize_t count = ::read(readEnd, buffer.data(), buffer.size());
            if (count > 0) {
                file->append(QByteArrayView(buffer.data(), count));
                continue;
            }
            const int code = count < 0 ? errno : 0;
            if (code == EINTR)
                continue;
            if (code != 0)
                file->reportIoError(code, QString::asprintf("Read Error in %s: %s", Q_FUNC_INFO, std::strerror(code)));
            break;
        }
        file.reset();
        finished.set_value();
    }

    int console = -1; // the original standard error
    int readEnd = -1;
    std::unique_ptr<RotatingLogFile> file;
    std::promise<void> finished;

private:
    std::array<char, 65536> buffer;
};

std::unique_ptr<StandardErrorCapture> StandardErrorCapture::start(const QString& logPath)
{
    auto reader = std::make_shared<Reader>();
    reader->console = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (reader->console < 0) {
        platform::Log::log(QStringLiteral("Error making pipes"));
        return nullptr;
    }
    reader->file = std::make_unique<RotatingLogFile>(logPath, reader->console);
    if (!reader->file->open())
        return nullptr;
    std::array<int, 2> ends{};
    if (::pipe2(ends.data(), O_CLOEXEC) != 0) {
        platform::Log::log(QStringLiteral("Error making pipes"));
        return nullptr;
    }
    reader->readEnd = ends[0];
    std::fflush(stderr);
    // Descriptor 2 becomes the only write end; unlike the pipe's own ends, child
    // processes inherit it, so their standard error is captured as well.
    ::dup2(ends[1], STDERR_FILENO);
    ::close(ends[1]);
    return std::unique_ptr<StandardErrorCapture>(new StandardErrorCapture(std::move(reader)));
}

StandardErrorCapture::StandardErrorCapture(std::shared_ptr<Reader> reader)
    : m_reader(std::move(reader))
    , m_finished(m_reader->finished.get_future())
    , m_thread([reader = m_reader] { reader->run(); })
{
}

StandardErrorCapture::~StandardErrorCapture()
{
    stop();
}

bool StandardErrorCapture::stop(std::chrono::milliseconds timeout)
{
    if (!m_thread.joinable())
        return true;
    std::fflush(stderr);
    // Writes already under way complete into the pipe; then the reader sees its end.
    ::dup2(m_reader->console, STDERR_FILENO);
    const bool finished = m_finished.wait_for(timeout) == std::future_status::ready;
    if (finished)
        m_thread.join();
    else
        m_thread.detach();
    return finished;
}
