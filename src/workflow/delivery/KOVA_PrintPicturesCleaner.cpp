#include "workflow/delivery/KOVA_PrintPicturesCleaner.h"

#include "platform/Log.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/files/BoundedFileRead.h"
#include "platform/files/FileOperations.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "printing/pages/ZORVAK_PrintPage.h"
#include "workflow/delivery/KOVA_OutputPrintCentreDelivery.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <vector>

using platform::Error;

namespace {

const QString PrintPageSuffix = QStringLiteral(".printpage");

// The visible regular files of the folder that are older than the cleaner's age.
std::vector<QFileInfo> oldPictures(const QString& folder)
{
    const QDateTime changedBefore = QDateTime::currentDateTimeUtc().addSecs(
        -std::chrono::duration_cast<std::chrono::seconds>(KOVA_PrintPicturesCleaner::maximumAge).count());
    std::vector<QFileInfo> old;
    for (const QFileInfo& entry : QDir(folder).entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name)) {
        if (entry.lastModified().toUTC() < changedBefore)
            old.push_back(entry);
    }
    return old;
}

} // namespace

KOVA_PrintPicturesCleaner::KOVA_PrintPicturesCleaner()
    : m_queue(platform::DispatchQueue::createSerial(QStringLiteral("com.morvanta.kova.queue.printPicturesCleaner")))
{
}

std::shared_ptr<KOVA_PrintPicturesCleaner> KOVA_PrintPicturesCleaner::start()
{
    const std::shared_ptr<KOVA_PrintPicturesCleaner> cleaner(new KOVA_PrintPicturesCleaner());
    cleaner->m_queue->async([] { removeOldPictures(); });
    cleaner->scheduleNextRun();
    return cleaner;
}

void KOVA_PrintPicturesCleaner::scheduleNextRun()
{
    const std::weak_ptr<KOVA_PrintPicturesCleaner> weakSelf = weak_from_this();
    m_queue->after(interval, [weakSelf] {
        if (const auto self = weakSelf.lock()) {
            removeOldPictures();
            self->scheduleNextRun();
        }
    });
}

KOVA_PrintPicturesCleaner::Removal KOVA_PrintPicturesCleaner::removeOldPictures()
{
    const QString folder = KOVA_OutputPrintCentreDelivery::printPicturesFolderPath();
    const std::vector<QFileInfo> old = oldPictures(folder);
    const QString hotFolder = KOVA_OutputPrintCentreDelivery::hotFolderURL().toLocalFile();
    const std::optional<QSet<QString>> named = old.empty() ? QSet<QString>() : namedPictures(hotFolder);
    if (!named) {
        platform::Log::error(QStringLiteral("kept %1 old print pictures in %2: the print centre's hot folder \"%3\" cannot be read")
                                 .arg(old.size()).arg(folder, hotFolder));
        return {};
    }
    Removal removal;
    for (const QFileInfo& picture : old) {
        if (named->contains(picture.fileName()))
            continue;
        Error error;
        if (platform::FileOperations::removeItem(picture.filePath(), &error)) {
            ++removal.count;
            removal.bytes += picture.size();
        } else {
            platform::Log::error(QStringLiteral("cannot remove the old print picture: %1").arg(error.message));
        }
    }
    platform::Log::log(QStringLiteral("Removed %1 print pictures older than %2 days from %3, %4 bytes freed")
                           .arg(removal.count)
                           .arg(std::chrono::duration_cast<std::chrono::days>(maximumAge).count())
                           .arg(folder)
                           .arg(removal.bytes));
    return removal;
}

std::optional<QSet<QString>> KOVA_PrintPicturesCleaner::namedPictures(const QString& hotFolder)
{
    const QDir folder(hotFolder);
    if (hotFolder.isEmpty() || !folder.isReadable())
        return std::nullopt;
    QSet<QString> named;
    for (const QString& page : folder.entryList({QLatin1Char('*') + PrintPageSuffix}, QDir::Files))
        named.unite(picturesNamedBy(folder.filePath(page)));
    return named;
}

// Every picture the page refers to, by file name: names carry their time stamps, so a
// name seen anywhere in a page keeps the picture of that name.
QSet<QString> KOVA_PrintPicturesCleaner::picturesNamedBy(const QString& page)
{
    Error error;
    const std::optional<QByteArray> data = platform::BoundedFileRead::contents(page, MaximumPrintPageSize, &error);
    const auto printPage = data ? platform::Archivable::fromVariant<ZORVAK_PrintPage>(
                                      platform::KeyedUnarchiver::unarchivedObjectOfClasses(*data, {ZORVAK_PrintPage::ClassName}, &error))
                                : nullptr;
    if (!printPage) {
        platform::Log::error(QStringLiteral("cannot read the print page %1 for the pictures it names: %2").arg(page, error.description()));
        return {};
    }
    QSet<QString> names;
    for (const QUrl& url : printPage->inputImages() + printPage->fileURLs())
        names.insert(url.fileName());
    return names;
}
