#include "app/processor/JobFileActions.h"

#include "core/foundation/KOVA_Constants.h"
#include "core/ui/Beeper.h"
#include "core/ui/FileManagerReveal.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/FileOperations.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

using platform::Log::log;

std::optional<QList<QUrl>> JobFileActions::fileURLs(const QVariant& represented, const QString& operation, int line)
{
    QList<QUrl> urls;
    if (represented.typeId() == QMetaType::QUrl)
        urls << represented.toUrl();
    else if (represented.canConvert<QList<QUrl>>() && represented.typeId() != QMetaType::QString)
        urls = represented.value<QList<QUrl>>();
    const bool allFiles = !urls.isEmpty() && std::all_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
    if (!allFiles) {
        Beeper::beep();
        log(QStringLiteral("%1 bad array at line %2 ").arg(operation).arg(line));
        return std::nullopt;
    }
    return urls;
}

void JobFileActions::revealInFinder(const QList<QUrl>& urls)
{
    QStringList paths;
    for (const QUrl& url : urls)
        paths << url.toLocalFile();
    FileManagerReveal::revealItems(paths);
}

void JobFileActions::moveToCompleted(const QList<QUrl>& urls)
{
    const QString folder = platform::UserDefaults::standardUserDefaults()->stringForKey(key_kovaFolderJobsCompleted);
    for (const QUrl& url : urls) {
        const QString source = url.toLocalFile();
        const QString name = QFileInfo(source).fileName();
        const QString destination = folder.isEmpty() ? name : folder + QLatin1Char('/') + name;
        platform::Error error;
        if (folder.isEmpty())
            error.code = ENOENT;
        else if (platform::FileOperations::moveItemNoReplace(source, destination, &error))
            continue;
        log(QStringLiteral("Failed to move file from %1 to %2 (%3)")
                .arg(source, destination, QString::fromLocal8Bit(std::strerror(int(error.code)))));
    }
}
