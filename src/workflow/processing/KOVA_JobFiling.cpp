#include "workflow/processing/KOVA_JobFiling.h"

#include "core/foundation/KOVA_Constants.h"
#include "core/foundation/ZORVAK_NSDateAdditions.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/WallClock.h"
#include "platform/files/FileLock.h"
#include "platform/files/FileNames.h"
#include "platform/files/FileOperations.h"
#include "workflow/jobs/KOVA_Job.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>

using platform::FileNames;

namespace {

// A name's extension: what follows its last dot, when a dot follows its first character.
qsizetype extensionDot(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? dot : -1;
}

QString extensionOf(const QString& name)
{
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString withoutExtension(const QString& name)
{
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? name : name.left(dot);
}

// A stamp of an earlier filing, numbered or not.
bool isStamp(const QString& extension)
{
    static const QRegularExpression stamp(QStringLiteral("^2[01][0-9]{6}-[0-9]{6}(-[0-9]+)?$"));
    return stamp.match(extension).hasMatch();
}

// Processors that share one set of preferences (two on one machine's work tree) take
// turns, so that no count is lost between one's reading and its writing.
void raiseCounter(const QString& key)
{
    const auto defaults = platform::UserDefaults::standardUserDefaults();
    const auto turn = platform::FileLock::acquire(defaults->filePath() + QStringLiteral(".counters.lock"));
    defaults->setInteger(defaults->integerForKey(key) + 1, key);
}

QString described(const platform::Error& error)
{
    return error.isNull() ? QStringLiteral("(null)") : error.description();
}

} // namespace

QString KOVA_JobFiling::filedName(const QString& fileName, const QString& stamp, int number)
{
    const QString extension = extensionOf(fileName);
    QString base = withoutExtension(fileName);
    while (isStamp(extensionOf(base)))
        base = withoutExtension(base);
    QString tail = QLatin1Char('.') + stamp;
    if (number > 0)
        tail += QStringLiteral("-%1").arg(number);
    // A long ticket name gives up the end of its base, so that the stamped name is still
    // one a folder can hold; at least the base's first character stays, so the name never
    // turns hidden. Only an extension too long for any stamp is shortened itself.
    QString suffix = extension.isEmpty() ? QString() : QLatin1Char('.') + extension;
    const qsizetype firstCharacter = FileNames::byteLength(FileNames::truncatedToBytes(base, 4));
    if (firstCharacter + FileNames::byteLength(tail) + FileNames::byteLength(suffix) > FileNames::MaximumNameBytes)
        suffix = FileNames::truncatedToBytes(suffix, FileNames::MaximumNameBytes - firstCharacter - FileNames::byteLength(tail));
    base = FileNames::truncatedToBytes(base, FileNames::MaximumNameBytes - FileNames::byteLength(tail) - FileNames::byteLength(suffix));
    return base + tail + suffix;
}

bool KOVA_JobFiling::fileJob(const KOVA_Job& job, const platform::Error& error, QString* whyNot)
{
    const bool succeeded = error.isNull();
    platform::Log::log(QStringLiteral("Job completed successfully? %1 (error:%2)")
                           .arg(succeeded ? QStringLiteral("Yes") : QStringLiteral("No"), described(error)));
    QString failure;
    const bool filed = file(job, succeeded, whyNot, failure);
    if (!filed)
        platform::Log::log(failure);
    return filed;
}

bool KOVA_JobFiling::fileAgain(const KOVA_Job& job, bool succeeded, QString* whyNot)
{
    QString failure;
    return file(job, succeeded, whyNot, failure);
}

bool KOVA_JobFiling::file(const KOVA_Job& job, bool succeeded, QString* whyNot, QString& failure)
{
    const QString folderKey = succeeded ? key_kovaFolderJobsCompleted : key_kovaFolderJobsFailed;
    const QString folderName = succeeded ? QStringLiteral("Completed") : QStringLiteral("Failed");
    const QUrl folder = platform::UserDefaults::standardUserDefaults()->URLForKey(folderKey);
    const auto notFiled = [whyNot, &failure](const QString& line, const QString& reason) {
        failure = line;
        if (whyNot)
            *whyNot = reason;
        return false;
    };
    if (!folder.isLocalFile())
        return notFiled(QStringLiteral("Failed to get %1 for jobfile:%2").arg(folderKey, job.documentURL().toString()),
                        QStringLiteral("No %1 folder is chosen.").arg(folderName));
    const QUrl item = job.urlJobContainer().isEmpty() ? job.documentURL() : job.urlJobContainer();
    QString target;
    platform::Error moveError;
    const QString itemPath = QDir::cleanPath(item.toLocalFile());
    const QString folderPath = QDir::cleanPath(folder.toLocalFile());
    if (!moveUnderFreeName(itemPath, folderPath, target, moveError)) {
        if (!QFileInfo(itemPath).exists() && !QFileInfo(itemPath).isSymLink()) {
            platform::Log::log(QStringLiteral("the ticket %1 left its hot folder before it was filed: filed by another "
                                              "processor").arg(item.toString()));
            return true;
        }
        const QString line = QStringLiteral("Failed to move completed job to %1 (error:%2)")
                                 .arg(QUrl::fromLocalFile(target).toString(), moveError.description());
        if (!QFileInfo(folderPath).isDir())
            return notFiled(line, QStringLiteral("The %1 folder %2 does not exist.").arg(folderName, folderPath));
        return notFiled(line, QStringLiteral("It could not be moved to %1: %2").arg(target, moveError.description()));
    }
    raiseCounter(succeeded ? key_kovaProcessorJobsCompleted : key_kovaProcessorJobsFailed);
    return true;
}

bool KOVA_JobFiling::moveUnderFreeName(const QString& item, const QString& folder, QString& target, platform::Error& error)
{
    const QString stamp = ZORVAK_NSDateAdditions::stringWithUTSFormat(platform::WallClock::now(), StampFormat);
    const QString fileName = QFileInfo(item).fileName();
    for (int number = 0; number < MaximumNumberedNames; ++number) {
        target = folder + QLatin1Char('/') + filedName(fileName, stamp, number);
        if (platform::FileOperations::moveItemNoReplace(item, target, &error))
            return true;
        if (error.domain != platform::Error::POSIXDomain || error.code != EEXIST)
            return false;
    }
    return false;
}
