// Feeds arbitrary bytes to the template loader the way a template file reaches it and
// checks the result (TemplateLoadingCheck). Everything runs in a private temporary
// folder that stands in for the home folder, the XDG folders and the machine-wide
// domain, so nothing outside it is touched.
#include "TemplateLoadingCheck.h"

#include "platform/Log.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

std::unique_ptr<QTemporaryDir> sandbox;
std::unique_ptr<TemplateLoadingCheck> check;

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
    const auto point = [](const char* variable, const QString& sub) {
        const QString path = sandbox->filePath(sub);
        QDir().mkpath(path);
        setenv(variable, QFile::encodeName(path).constData(), 1);
    };
    point("HOME", QStringLiteral("home"));
    point("XDG_CONFIG_HOME", QStringLiteral("home/.config"));
    point("XDG_STATE_HOME", QStringLiteral("home/.local/state"));
    point("XDG_DATA_HOME", QStringLiteral("home/.local/share"));
    point("XDG_CACHE_HOME", QStringLiteral("home/.cache"));
    point("KOVA_LOCAL_DOMAIN", QStringLiteral("local"));
}

// The system logs every refused input to standard error, which would slow the run
// to a crawl. Unless KOVA_FUZZ_LOG is set, this asks libFuzzer to send standard
// error to /dev/null (-close_fd_mask=2); its own lines and the sanitizers' reports
// still reach the terminal.
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

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    makeSandbox();
    static int applicationArgc = 1;
    static char applicationName[] = "kova_fuzz_template_loader";
    static char* applicationArgv[] = {applicationName, nullptr};
    new QCoreApplication(applicationArgc, applicationArgv); // lives as long as the process
    check = std::make_unique<TemplateLoadingCheck>(sandbox->filePath(QStringLiteral("work")));
    if (!check->isReady())
        std::abort();
    silenceLogUnlessAsked(argc, argv);
    return 0;
}

// A broken promise stops the run like a crash, with its description on standard output.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString fault = check->faultFor(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!fault.isEmpty()) {
        platform::Log::logToDescriptor(STDOUT_FILENO, fault);
        std::abort();
    }
    return 0;
}
