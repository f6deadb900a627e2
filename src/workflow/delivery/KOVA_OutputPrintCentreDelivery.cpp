#include "workflow/delivery/KOVA_OutputPrintCentreDelivery.h"

#include "core/foundation/ZORVAK_Extras_NSURL.h"
#include "core/foundation/ZORVAK_NSDateAdditions.h"
#include "core/image/ZORVAK_ImageWriter.h"
#include "core/queues/ZORVAK_Dispatch.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/WallClock.h"
#include "platform/files/BoundedFileRead.h"
#include "platform/files/FileNames.h"
#include "platform/files/FileOperations.h"
#include "platform/files/FolderEntries.h"
#include "platform/files/StandardPaths.h"
#include "platform/files/UTType.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/PropertyList.h"
#include "printing/pages/ZORVAK_PrintPage.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/outputs/KOVA_Output.h"
#include "workflow/packages/KOVA_Package.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

using platform::Error;
using platform::FileOperations;

namespace {

const QString TimeStampPattern = QStringLiteral("yyyy-MM-dd_HH-mm-ss.SSSSS");
const QString NoPaperName = QStringLiteral("image");
const QString BundleExtension = QStringLiteral("kovaprintjob");
const QString BundleContentsName = QStringLiteral("Contents");
const QString PrintPageExtension = QStringLiteral("printpage");
const QString PrintPicturesFolder = QStringLiteral("Morvanta/KOVA/PrintPictures");

// The keys of a bundle's print settings.
const QString PrinterKey = QStringLiteral("printer");
const QString MediaTypeKey = QStringLiteral("mediaType");
const QString CutInHalfKey = QStringLiteral("cutInHalf");
const QString PrintQuantityKey = QStringLiteral("printQuantity");
const QString DestinationLabelKey = QStringLiteral("destinationLabel");
const QString ImageGravityKey = QStringLiteral("imageGravity");
const QString InputImagesKey = QStringLiteral("inputImages");

const double PictureQuality = 0.95;
// Names tried for one picture before the delivery gives up.
const int MaximumNameClaims = 1000;
// The longest picture name without extension: room is left for the number of a free name
// and the longest extension an item takes (" 999.jpeg.printpage").
constexpr qsizetype PictureNameBytes = platform::FileNames::MaximumNameBytes - 24;

Error defaultsError(qint64 code, const QString& message)
{
    return Error{Error::DefaultsDomain, code, message};
}

QString pictureExtension()
{
    return platform::UTType::preferredExtension(platform::kUTTypeJPEG);
}

QString pathOf(const QString& folder, const QString& name)
{
    return folder + QLatin1Char('/') + name;
}

bool itemExists(const QString& path)
{
    return ZORVAK_Extras_NSURL::conformsToUTType(QUrl::fromLocalFile(path), platform::kUTTypeItem);
}

// The picture's name without its extension, and the folder that holds it.
QString baseNameOf(const QUrl& picture)
{
    return QFileInfo(picture.toLocalFile()).completeBaseName();
}

QString folderOf(const QUrl& picture)
{
    return QFileInfo(picture.toLocalFile()).path();
}

QString bundlePath(const QString& folder, const QString& pictureBase)
{
    return pathOf(folder, pictureBase + QLatin1Char('.') + BundleExtension);
}

QString printPagePath(const QString& hotFolder, const QString& pictureBase)
{
    return pathOf(hotFolder, pictureBase + QLatin1Char('.') + pictureExtension() + QLatin1Char('.') + PrintPageExtension);
}

// Removes what a failed delivery made; a removal that fails is only logged.
void removeLeftover(const QString& path)
{
    Error error;
    if (itemExists(path) && !FileOperations::removeItem(path, &error))
        platform::Log::error(QStringLiteral("cannot remove %1: %2").arg(path, error.description()));
}

QString textOrEmpty(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace

void KOVA_OutputPrintCentreDelivery::deliver(KOVA_Output& output, const QImage& picture,
                                             const std::shared_ptr<KOVA_Destination>& destination, const Reply& reply)
{
    Error error;
    const bool delivered = deliverToPrintCentre(output, picture, *destination, &error);
    if (!delivered && !error.isNull())
        platform::Log::error(error.description());
    if (reply)
        reply(delivered, error);
}

void KOVA_OutputPrintCentreDelivery::deliverOriginal(KOVA_Output&, const std::shared_ptr<KOVA_Destination>&, const Reply&)
{
}

bool KOVA_OutputPrintCentreDelivery::deliverToPrintCentre(const KOVA_Output& output, const QImage& picture,
                                                          const KOVA_Destination& destination, Error* error)
{
    const QUrl hotFolder = hotFolderURL();
    if (hotFolder.isEmpty()) {
        platform::setError(error, defaultsError(NoHotFolderCode, QStringLiteral("could not locate print center hot folder")));
        return false;
    }
    const QString name = printPictureName(output, destination);
    if (name.isEmpty()) {
        platform::setError(error, defaultsError(NoOriginalImagePathCode, QStringLiteral("failed to get output Image path for destination %1")
                                                                            .arg(destination.description())));
        return false;
    }
    const QUrl settingsFile = printSettingsFileURL(output, destination);
    const Form form = formFor(destination, settingsFile);
    const QUrl pictureURL = claimedPictureURL(form, name, hotFolder);
    if (pictureURL.isEmpty()) {
        platform::setError(error, defaultsError(NoPictureURLCode, QStringLiteral("could not make input image for destination %1")
                                                                     .arg(destination.description())));
        return false;
    }
    if (!ZORVAK_ImageWriter::writeImage(picture, pictureURL, {{zorvakImageKey_lossyCompressionQuality, PictureQuality}}, error)) {
        removeLeftover(pictureURL.toLocalFile());
        return false;
    }
    switch (form) {
    case Form::Settings:
        return writePrintJobBundle(pictureURL, hotFolder, settingsFile, printSettings(destination, pictureURL.fileName()), error);
    case Form::CopiedSettings:
        return writePrintJobBundle(pictureURL, hotFolder, settingsFile, std::nullopt, error);
    case Form::Page:
        break;
    }
    const QUrl kept = keptPictureURL(pictureURL, name, hotFolder, error);
    return !kept.isEmpty() && writePrintPage(kept, hotFolder, destination, error);
}

// ---- Places ----

QUrl KOVA_OutputPrintCentreDelivery::hotFolderURL()
{
    const QUrl url = platform::UserDefaults::initWithSuiteName(PressoriaSuiteName)->URLForKey(HotFolderKey);
    const bool isFolder = url.isLocalFile() && ZORVAK_Extras_NSURL::conformsToUTType(url, platform::kUTTypeFolder);
    return isFolder ? url : QUrl();
}

std::shared_ptr<platform::DispatchQueue> KOVA_OutputPrintCentreDelivery::atomicQueue()
{
    static const auto queue = ZORVAK_Dispatch::dispatchQueueSerialWithDebugLabel(
        QStringLiteral("com.morvanta.kova.queue.sharedSynchronized.package"));
    return queue;
}

QUrl KOVA_OutputPrintCentreDelivery::temporaryDirectoryURL()
{
    static QUrl stored; // guarded by atomicQueue
    QUrl folder;
    ZORVAK_Dispatch::performSyncOnQueue(atomicQueue(), [&] {
        if (stored.isEmpty() || !ZORVAK_Extras_NSURL::conformsToUTType(stored, platform::kUTTypeFolder)) {
            Error error;
            const QString made = platform::StandardPaths::makeItemReplacementFolder(
                platform::StandardPaths::path(platform::StandardPaths::Folder::Home), &error);
            if (made.isEmpty())
                platform::Log::log(QStringLiteral("error in %1:%2").arg(QLatin1String(Q_FUNC_INFO), error.description()));
            stored = QUrl::fromLocalFile(made.isEmpty() ? platform::StandardPaths::path(platform::StandardPaths::Folder::Temporary)
                                                        : made);
        }
        folder = stored;
    });
    return folder;
}

QString KOVA_OutputPrintCentreDelivery::printPicturesFolderPath()
{
    return pathOf(platform::StandardPaths::path(platform::StandardPaths::Folder::ApplicationSupport), PrintPicturesFolder);
}

// ---- Names ----

QString KOVA_OutputPrintCentreDelivery::printPictureName(const KOVA_Output& output, const KOVA_Destination& destination)
{
    const QString original = QFileInfo(output.originalFilePath()).fileName();
    if (original.isEmpty())
        return {};
    const QString paper = destination.printerPaperSize();
    const QString stamp = ZORVAK_NSDateAdditions::stringWithUTSFormat(platform::WallClock::now(), TimeStampPattern);
    const QString paperAndStamp
        = platform::FileNames::joinedComponent(paper.isEmpty() ? NoPaperName : paper, stamp, PictureNameBytes / 2);
    return platform::FileNames::joinedComponent(original, paperAndStamp, PictureNameBytes);
}

// The items of a bundle or a page take their names from the picture: a name is free only
// when none of them exists yet. A bundle in assembly is made before its picture moves into
// it and reaches the hot folder before it leaves the temporary folder, so a picture name
// given up by a bundle is never taken again while the bundle lives.
KOVA_OutputPrintCentreDelivery::NameTaken KOVA_OutputPrintCentreDelivery::takenNames(Form form, const QString& assembly,
                                                                                      const QUrl& hotFolder)
{
    const QString hot = hotFolder.toLocalFile();
    if (form == Form::Page)
        return [hot](const QString& base) { return itemExists(printPagePath(hot, base)); };
    return [hot, assembly](const QString& base) {
        return itemExists(bundlePath(assembly, base)) || itemExists(bundlePath(hot, base));
    };
}

// Claims `name`.jpeg in the folder, else "`name` 1.jpeg", "`name` 2.jpeg", ...: `claimPath`
// makes an item where nothing was.
QUrl KOVA_OutputPrintCentreDelivery::claimedPictureURL(const QString& folder, const QString& name, const NameTaken& taken,
                                                       const PathClaim& claimPath, Error* error)
{
    for (int number = 0; number < MaximumNameClaims; ++number) {
        const QString base = number == 0 ? name : QStringLiteral("%1 %2").arg(name).arg(number);
        const QString path = pathOf(folder, base + QLatin1Char('.') + pictureExtension());
        Error claimError;
        if (claimPath(path, &claimError)) {
            if (!taken(base))
                return QUrl::fromLocalFile(path);
            removeLeftover(path);
        } else if (claimError.code != EEXIST) {
            platform::setError(error, claimError);
            return {};
        }
    }
    platform::setError(error, Error::fromErrno(EEXIST, QStringLiteral("no free name for %1 in %2").arg(name, folder)));
    return {};
}

// Every picture is first written where bundles are assembled, under a name no other delivery
// holds, claimed by an empty file that the picture then replaces. Empty, logged, when there
// is none.
QUrl KOVA_OutputPrintCentreDelivery::claimedPictureURL(Form form, const QString& name, const QUrl& hotFolder)
{
    Error error;
    const QString folder = temporaryDirectoryURL().toLocalFile();
    const QUrl url = claimedPictureURL(folder, name, takenNames(form, folder, hotFolder), &FileOperations::createExclusive, &error);
    if (url.isEmpty())
        platform::Log::error(error.description());
    return url;
}

// A page refers to its picture for as long as Pressoria keeps the page: the written picture
// goes to the durable folder, under a name claimed by its complete copy, so that no picture
// there is ever seen half written, even when the process dies. The written one is removed.
QUrl KOVA_OutputPrintCentreDelivery::keptPictureURL(const QUrl& picture, const QString& name, const QUrl& hotFolder, Error* error)
{
    const QString folder = printPicturesFolderPath();
    const auto copyPicture = [&picture](const QString& path, Error* copyError) {
        return FileOperations::copyItem(picture.toLocalFile(), path, copyError);
    };
    const QUrl kept = FileOperations::makeDirectory(folder, true, error)
        ? claimedPictureURL(folder, name, takenNames(Form::Page, folder, hotFolder), copyPicture, error)
        : QUrl();
    removeLeftover(picture.toLocalFile());
    return kept;
}

// ---- Forms ----

QUrl KOVA_OutputPrintCentreDelivery::printSettingsFileURL(const KOVA_Output& output, const KOVA_Destination& destination)
{
    const QString relative = destination.filepath();
    const auto package = output.package();
    const auto job = package ? package->owningJob() : nullptr;
    const QUrl container = job ? job->urlJobContainer() : QUrl();
    if (relative.isEmpty() || !container.isLocalFile())
        return {};
    // Inside the bundle the settings' path is looked up without regard to case, as every entry is.
    const QString path = QDir::cleanPath(platform::FolderEntries::pathInside(container.toLocalFile(), relative));
    if (itemExists(path) && !platform::FileNames::isInsideFolder(path, container.toLocalFile())) {
        platform::Log::error(QStringLiteral("print settings %1 lie outside the job %2; not used").arg(relative, container.toLocalFile()));
        return {};
    }
    return QUrl::fromLocalFile(path);
}

KOVA_OutputPrintCentreDelivery::Form KOVA_OutputPrintCentreDelivery::formFor(const KOVA_Destination& destination,
                                                                             const QUrl& settingsFile)
{
    if (destination.printer() != 0 && destination.mediaType() != 0 && destination.cutInHalf() != 0)
        return Form::Settings;
    const bool settingsFileExists = !settingsFile.isEmpty() && QFileInfo(settingsFile.toLocalFile()).isFile();
    if (settingsFileExists && ZORVAK_Extras_NSURL::conformsToUTType(settingsFile, platform::kUTTypePropertyList))
        return Form::CopiedSettings;
    return Form::Page;
}

QVariantMap KOVA_OutputPrintCentreDelivery::printSettings(const KOVA_Destination& destination, const QString& pictureName)
{
    const qint64 copies = destination.copies();
    return {
        {PrinterKey, destination.printer()},
        {MediaTypeKey, destination.mediaType()},
        {CutInHalfKey, destination.cutInHalf()},
        {PrintQuantityKey, copies == 0 ? qint64(1) : copies},
        {DestinationLabelKey, textOrEmpty(destination.destinationLabel())},
        {ImageGravityKey, textOrEmpty(destination.gravity())},
        {InputImagesKey, QVariantList{pictureName}},
    };
}

// The bytes of the bundle's settings: the settings over the file's dictionary, the settings
// alone when the file holds none, or without settings the file's own bytes.
std::optional<QByteArray> KOVA_OutputPrintCentreDelivery::settingsData(const QUrl& settingsFile,
                                                                       const std::optional<QVariantMap>& settings,
                                                                       Error* error)
{
    Error readError;
    const std::optional<QByteArray> file = settingsFile.isEmpty()
        ? std::nullopt
        : platform::BoundedFileRead::contents(settingsFile.toLocalFile(), MaximumSettingsFileSize, &readError);
    if (!settings) {
        if (!file)
            platform::setError(error, readError);
        return file;
    }
    QVariantMap dictionary = file ? platform::PropertyList::fromData(*file).toMap() : QVariantMap();
    dictionary.insert(*settings);
    const QByteArray data = platform::PropertyList::toData(dictionary, platform::PropertyList::Format::XML, error);
    return data.isEmpty() ? std::nullopt : std::optional(data);
}

bool KOVA_OutputPrintCentreDelivery::writePrintJobBundle(const QUrl& picture, const QUrl& hotFolder, const QUrl& settingsFile,
                                                         const std::optional<QVariantMap>& settings, Error* error)
{
    const QString base = baseNameOf(picture);
    const QString bundle = bundlePath(folderOf(picture), base);
    const QString contents = pathOf(bundle, BundleContentsName);
    const QString settingsPath = pathOf(contents, base + QLatin1Char('.')
                                                      + platform::UTType::preferredExtension(platform::kUTTypePropertyList));
    std::optional<QByteArray> data;
    const bool arrived = FileOperations::makeDirectory(contents, true, error)
        && (data = settingsData(settingsFile, settings, error))
        && FileOperations::writeFileAtomicallyNoReplace(settingsPath, *data, error)
        && FileOperations::moveItemNoReplace(picture.toLocalFile(), pathOf(contents, picture.fileName()), error)
        && FileOperations::moveItemNoReplace(bundle, pathOf(hotFolder.toLocalFile(), QFileInfo(bundle).fileName()), error);
    if (!arrived) {
        removeLeftover(bundle);
        removeLeftover(picture.toLocalFile());
    }
    return arrived;
}

bool KOVA_OutputPrintCentreDelivery::writePrintPage(const QUrl& picture, const QUrl& hotFolder,
                                                    const KOVA_Destination& destination, Error* error)
{
    const QByteArray data = archivedPrintPage(picture, destination, error);
    const bool written = !data.isEmpty()
        && FileOperations::writeFileAtomicallyNoReplace(printPagePath(hotFolder.toLocalFile(), baseNameOf(picture)), data, error);
    if (!written)
        removeLeftover(picture.toLocalFile());
    return written;
}

// The page the destination's printer takes, archived; empty with the error when no page
// class takes the printer or the page cannot be archived.
QByteArray KOVA_OutputPrintCentreDelivery::archivedPrintPage(const QUrl& picture, const KOVA_Destination& destination,
                                                             Error* error)
{
    const QString model = destination.printerModel().isEmpty() ? destination.printerQueue() : destination.printerModel();
    const std::shared_ptr<ZORVAK_PrintPage> page = ZORVAK_PrintPage::printPageForModel(model);
    if (!page) {
        platform::setError(error, defaultsError(NoPrintPageCode, QStringLiteral("could not make print page for destination %1")
                                                                     .arg(destination.description())));
        return {};
    }
    page->configureNamedPaper(destination.printerPaperSize());
    page->setDestinationLabel(destination.destinationLabel());
    page->setInputImages({picture});
    page->setImageGravity(destination.gravity());
    Error archiveError;
    const QByteArray data = platform::KeyedArchiver::archivedDataWithRootObject(*page, &archiveError);
    if (archiveError.isNull())
        return data;
    platform::setError(error, archiveError);
    return {};
}
