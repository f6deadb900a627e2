#include "FuzzSandbox.h"

#include "platform/Log.h"
#include "platform/files/StandardPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

std::unique_ptr<QTemporaryDir> sandbox;

// In memory where the machine offers it: every save ends in fsync calls.
QString sandboxParent()
{
    const QFileInfo memory(QStringLiteral("/dev/shm"));
    return memory.isDir() && memory.isWritable() ? memory.filePath() : QDir::tempPath();
}

void makeSandbox()
{
    sandbox = std::make_unique<QTemporaryDir>(sandboxParent() + QStringLiteral("/kova-fuzz-XXXXXX"));
    if (!sandbox->isValid())
        std::abort();
    platform::StandardPaths::pointEveryDomainInto(sandbox->path());
}

void silenceLogUnlessAsked(int* argc, char*** argv)
{
    static const char closeStandardError[] = "-close_fd_mask=2";
    if (std::getenv("KOVA_FUZZ_LOG"))
        return;
    for (int i = 1; i < *argc; ++i) {
        if (std::strncmp((*argv)[i], "-close_fd_mask=", 15) == 0)
            return;
    }
    static std::vector<char*> arguments;
    arguments.assign(*argv, *argv + *argc);
    arguments.push_back(const_cast<char*>(closeStandardError));
    arguments.push_back(nullptr);
    *argc = int(arguments.size()) - 1;
    *argv = arguments.data();
}

} // namespace

namespace FuzzSandbox {

QString prepare(int* argc, char*** argv, const char* programName)
{
    makeSandbox();
    static int applicationArgc = 1;
    static std::vector<char> applicationName;
    applicationName.assign(programName, programName + std::strlen(programName) + 1);
    static char* applicationArgv[] = {applicationName.data(), nullptr};
    new QCoreApplication(applicationArgc, applicationArgv); // lives as long as the process
    const QString work = sandbox->filePath(QStringLiteral("work"));
    if (!QDir().mkpath(work))
        std::abort();
    silenceLogUnlessAsked(argc, argv);
    return work;
}

void abortOnFault(const QString& fault)
{
    if (fault.isEmpty())
        return;
    platform::Log::logToDescriptor(STDOUT_FILENO, fault);
    std::abort();
}

} // namespace FuzzSandbox
