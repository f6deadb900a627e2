#include "workflow/KOVA.h"

#include "platform/Log.h"
#include "platform/files/FileOperations.h"
#include "platform/files/StandardPaths.h"

#include <QFile>

#include <mutex>
#include <sys/stat.h>

namespace {

const QString rootOperationName = QStringLiteral("kovaDirectory");

// Every log line of the work-folder tree goes through here.

QUrl childOf(const QUrl& folder, const QString& name)
{
    return QUrl::fromLocalFile(folder.toLocalFile() + QLatin1Char('/') + name);
}

QUrl rootURL()
{
    const QString applicationSupport
        = platform::StandardPaths::path(platform::StandardPaths::Folder::ApplicationSupport,
                                        platform::StandardPaths::Domain::Local);
    return QUrl::fromLocalFile(applicationSupport + QStringLiteral("/Morvanta/KOVA"));
}

} // namespace

bool KOVA::makeDirectory(const QUrl& directory, const ErrorBlock& errorBlock)
{
    platform::Error error;
    if (platform::FileOperations::makeDirectory(directory.toLocalFile(), true, &error))
        return true;
    if (errorBlock)
        errorBlock(error);
    else
        platform::Log::log(error.description());
    return false;
}

void KOVA::checkRootFolder(const QUrl& root)
{
    const QByteArray path = QFile::encodeName(root.toLocalFile());
    struct stat status {};
    if (::lstat(path.constData(), &status) != 0) {
        makeDirectory(root);
        return;
    }
    // A link to a folder counts as the folder.
    if (::stat(path.constData(), &status) != 0 || !S_ISDIR(status.st_mode))
        platform::Log::error(QStringLiteral("the work folder \"%1\" is taken by an item that is not a folder; it is left as it is")
                         .arg(root.toLocalFile()));
}

QUrl KOVA::kovaDirectory()
{
    const QUrl root = rootURL();
    static std::once_flag checked;
    std::call_once(checked, [&root] { checkRootFolder(root); });
    return root;
}

QUrl KOVA::kovaDirectorySubdirectory(const QString& selector)
{
    const QUrl root = kovaDirectory();
    if (selector.size() <= rootOperationName.size() || !selector.startsWith(rootOperationName))
        return root;
    return childOf(root, selector.mid(rootOperationName.size()));
}

QUrl KOVA::kovaDirectoryTemplates() { return kovaDirectorySubdirectory(QString::fromLatin1(__func__)); }
QUrl KOVA::kovaDirectoryGraphics() { return kovaDirectorySubdirectory(QString::fromLatin1(__func__)); }
QUrl KOVA::kovaDirectoryPackages() { return kovaDirectorySubdirectory(QString::fromLatin1(__func__)); }
QUrl KOVA::kovaDirectoryNodes() { return kovaDirectorySubdirectory(QString::fromLatin1(__func__)); }
QUrl KOVA::kovaDirectoryJobs() { return kovaDirectorySubdirectory(QString::fromLatin1(__func__)); }

QUrl KOVA::kovaDirectoryJobsCompleted() { return childOf(kovaDirectoryJobs(), QStringLiteral("Completed")); }
QUrl KOVA::kovaDirectoryJobsFailed() { return childOf(kovaDirectoryJobs(), QStringLiteral("Failed")); }
QUrl KOVA::kovaDirectoryJobsPending() { return childOf(kovaDirectoryJobs(), QStringLiteral("Pending")); }
