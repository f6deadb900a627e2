// Runs PROGRAM with its ARGUMENTS as a child of this small process, its output
// discarded, and prints what the child cost: "<wall ms> <page faults> <peak
// resident KiB> <exit status>". A program started straight from a large process
// would be charged that process's peak memory as its own: the kernel keeps the
// peak of the memory a process replaces when it starts a program, and a child
// starts in (a copy of) its parent's memory. This process's memory is small.
//
//   kova_bench_launch PROGRAM [ARGUMENTS...]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace {

double nowMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const double start = nowMilliseconds();
    const pid_t child = fork();
    if (child < 0)
        return 1;
    if (child == 0) {
        const int silent = open("/dev/null", O_WRONLY);
        dup2(silent, STDOUT_FILENO);
        dup2(silent, STDERR_FILENO);
        execv(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR)
            return 1;
    }
    const double wall = nowMilliseconds() - start;
    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("%.3f %ld %ld %d\n", wall, usage.ru_minflt + usage.ru_majflt, usage.ru_maxrss, exitStatus);
    return 0;
}
