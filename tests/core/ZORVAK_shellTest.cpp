#include "core/foundation/ZORVAK_shell.h"

#include "FileFixtures.h"

#include <gtest/gtest.h>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {
void noteChildSignal(int) {}

using SignalHandler = void (*)(int);

SignalHandler childSignalHandler()
{
    struct sigaction current {};
    sigaction(SIGCHLD, nullptr, &current);
    return current.sa_handler;
}

// Installs a handling of SIGCHLD for one scope.
class ScopedChildSignal {
public:
    explicit ScopedChildSignal(SignalHandler handler)
    {
        struct sigaction replacement {};
        replacement.sa_handler = handler;
        sigaction(SIGCHLD, &replacement, &m_previous);
    }
    ~ScopedChildSignal() { sigaction(SIGCHLD, &m_previous, nullptr); }

private:
    struct sigaction m_previous {};
};
} // namespace

TEST(ZORVAK_shell, GivesTheOutputWhateverTheHandlingOfChildSignals)
{
    for (SignalHandler handler : { SignalHandler(noteChildSignal), SIG_IGN, SIG_DFL }) {
        const ScopedChildSignal installed(handler);
        EXPECT_EQ(ZORVAK_shell::outputWhenRunAsShellCommand(QStringLiteral("printf 'caf\\303\\251\\n' && echo two")),
            QStringLiteral("café\ntwo\n"));
        EXPECT_EQ(childSignalHandler(), handler);
    }
}

TEST(ZORVAK_shell, NothingToRunOrNothingPrintedGivesNone)
{
    EXPECT_FALSE(ZORVAK_shell::outputWhenRunAsShellCommand(QString()));
    EXPECT_FALSE(ZORVAK_shell::outputWhenRunAsShellCommand(QStringLiteral("true")));
    EXPECT_FALSE(ZORVAK_shell::outputWhenRunAsShellCommand(QStringLiteral("/nonexistent/tool")));
}

TEST(ZORVAK_shell, LeavesOtherChildrenToTheirOwners)
{
    // Another part of the process has a child that has ended but is not yet reaped.
    char program[] = "/bin/true";
    char* arguments[] = { program, nullptr };
    pid_t other = -1;
    ASSERT_EQ(posix_spawn(&other, program, nullptr, nullptr, arguments, environ), 0);
    siginfo_t ended {};
    ASSERT_EQ(waitid(P_PID, id_t(other), &ended, WEXITED | WNOWAIT), 0);

    EXPECT_EQ(ZORVAK_shell::outputWhenRunAsShellCommand(QStringLiteral("echo mine")), QStringLiteral("mine\n"));

    int status = -1;
    EXPECT_EQ(waitpid(other, &status, 0), other);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
