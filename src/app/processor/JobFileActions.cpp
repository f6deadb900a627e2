#include "app/processor/JobFileActions.h"

#include "core/foundation/KOVA_Constants.h"
#include "core/ui/Beeper.h"
#include "core/ui/FileManagerReveal.h"
#include "core/ui/ZORVAK_NSObjectOpenSave.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/FileOperations.h"

#include <QFileInfo>
#include <QObject>
#include <QWidget>

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

JobFileActions::Stayed JobFileActions::moveToCompleted(const QList<QUrl>& urls)
{
    const QString folder = platform::UserDefaults::standardUserDefaults()->stringForKey(key_kovaFolderJobsCompleted);
    Stayed stayed;
    for (const QUrl& url : urls) {
        const QString source = url.toLocalFile();
        const QString name = QFileInfo(source).fileName();
        const QString destination = folder.isEmpty() ? name : folder + QLatin1Char('/') + name;
        platform::Error error;
        if (folder.isEmpty())
            error.code = ENOENT;
        else if (platform::FileOperations::moveItemNoReplace(source, destination, &error))
            continue;
        const QString reason = QString::fromLocal8Bit(std::strerror(int(error.code)));
        log(QStringLiteral("Failed to move file from %1 to %2 (%3)").arg(source, destination, reason));
        stayed.append({ source, reason });
    }
    return stayed;
}

void JobFileActions::tellItemsThatStayed(QWidget* window, const QString& destination, const Stayed& stayed)
{
    if (stayed.isEmpty())
        return;
    Beeper::beep();
    QStringList lines;
    for (const auto& [path, reason] : stayed)
        lines << QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), reason);
    const QVariantMap options {
        { QStringLiteral("messageText"),
            QObject::tr("Not moved to %1; these items stayed where they were:").arg(destination) },
        { QStringLiteral("informativeText"), lines.join(QLatin1Char('\n')) },
        { QStringLiteral("window"), QVariant::fromValue(window) },
    };
    ZORVAK_NSObjectOpenSave::alertPanelWithOptions(options);
}
