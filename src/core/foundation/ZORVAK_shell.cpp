#include "core/foundation/ZORVAK_shell.h"

#include "platform/Log.h"

#include <QByteArray>

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ZORVAK_shell {
namespace {
// Starts "/bin/sh -c commandLine" with its standard output on `output` and its
// standard input on /dev/null; the child's id, or -1 when it cannot be started.
pid_t spawnShell(const QByteArray& commandLine, int output)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    char shell[] = "/bin/sh";
    char option[] = "-c";
    char* arguments[] = { shell, option, const_cast<char*>(commandLine.constData()), nullptr };
    pid_t child = -1;
    const int failure = posix_spawn(&child, shell, &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    return failure == 0 ? child : -1;
}

QByteArray readToEnd(int descriptor)
{
    QByteArray bytes;
    char chunk[4096];
    for (;;) {
        const ssize_t count = read(descriptor, chunk, sizeof chunk);
        if (count > 0)
            bytes.append(chunk, count);
        else if (count == 0 || errno != EINTR)
            return bytes;
    }
}

// Reaps the child; ECHILD (someone set SIGCHLD to be ignored, so the kernel
// reaped it already) needs nothing more.
void waitFor(pid_t child)
{
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}
} // namespace

std::optional<QString> outputWhenRunAsShellCommand(const QString& commandLine)
{
    if (commandLine.isEmpty())
        return std::nullopt;
    const QLatin1String operation(Q_FUNC_INFO);
    const auto failedToRun = [&] {
        platform::Log::log(QStringLiteral("%1 failed to run  \"%2\"").arg(operation, commandLine));
        return std::nullopt;
    };
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return failedToRun();
    const pid_t child = spawnShell(commandLine.toUtf8(), pipeEnds[1]);
    close(pipeEnds[1]);
    if (child < 0) {
        close(pipeEnds[0]);
        return failedToRun();
    }
    const QByteArray output = readToEnd(pipeEnds[0]);
    close(pipeEnds[0]);
    waitFor(child);
    if (output.isEmpty()) {
        platform::Log::log(QStringLiteral("%1 failed").arg(operation));
        return std::nullopt;
    }
    return QString::fromUtf8(output);
}

} // namespace ZORVAK_shell
