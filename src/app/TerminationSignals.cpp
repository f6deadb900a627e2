#include "app/TerminationSignals.h"

#include "platform/Log.h"

#include <QSocketNotifier>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = { -1, -1 };

void writeSignal(int signal)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

void setHandler(int signal, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int signal)> handler, QObject* parent)
    : QObject(parent)
    , m_handler(std::move(handler))
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        platform::Log::error(QStringLiteral("cannot take termination signals: %1").arg(QString::fromLocal8Bit(strerror(errno))));
        return;
    }
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { readSignals(); });
    setHandler(SIGTERM, writeSignal);
    setHandler(SIGINT, writeSignal);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    setHandler(SIGTERM, SIG_DFL);
    setHandler(SIGINT, SIG_DFL);
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

void TerminationSignals::readSignals()
{
    unsigned char byte = 0;
    while (::read(signalPipe[0], &byte, 1) == 1) {
        platform::Log::log(QStringLiteral("received signal %1 (%2)").arg(byte).arg(QString::fromLocal8Bit(strsignal(byte))));
        m_handler(byte);
    }
}
