#include "workflow/delivery/KOVA_OutputFileDelivery.h"

#include "core/foundation/KOVA_Constants.h"
#include "core/foundation/ZORVAK_Extras_NSURL.h"
#include "core/foundation/ZORVAK_NSDateAdditions.h"
#include "core/foundation/ZORVAK_plist.h"
#include "core/image/ZORVAK_ImageWriter.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/WallClock.h"
#include "platform/files/FileNames.h"
#include "platform/files/StandardPaths.h"
#include "platform/files/UTType.h"
#include "template/KOVA_XML_Keys.h"
#include "workflow/folders/KOVA_PrintToFileSet.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/jobs/KOVA_JobPaths.h"
#include "workflow/outputs/KOVA_Output.h"
#include "workflow/packages/KOVA_Package.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

using platform::Error;

namespace {

// A path split at the last extension of its file name; a name whose only dot comes first
// (".profile") or last has none.
struct PathParts {
    QString withoutExtension;
    QString extension; // without the dot

    static PathParts of(const QString& path)
    {
        const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
        const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
        if (dot <= nameStart || dot == path.size() - 1)
            return {path, {}};
        return {path.left(dot), path.mid(dot + 1)};
    }
};

QString lastPathComponent(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString fileNameWithoutExtension(const QString& path)
{
    return PathParts::of(lastPathComponent(path)).withoutExtension;
}

QString dateStamp()
{
    return ZORVAK_NSDateAdditions::stringWithUTSFormat(platform::WallClock::now(), KOVA_OutputFileDelivery::StampFormat);
}

// Room kept in every file name for the extension the writer gives it and the number of a
// free name ("IMG_1 12.jpeg" for "IMG_1.JPG").
constexpr qsizetype NameRoom = 16;
constexpr qsizetype NameBytes = platform::FileNames::MaximumNameBytes - NameRoom;

// The original image's file name as one name in the output folder; "image" when the
// output knows no original or its name names no file ("", ".", ".."), so that no name
// comes out empty (a hidden ".jpeg") or leads out of the folder.
QString originalFileName(const KOVA_Output& output)
{
    return platform::FileNames::pathComponent(lastPathComponent(output.originalFilePath()), NameBytes);
}

QString suffixedName(const QString& base, const QString& suffix)
{
    return platform::FileNames::joinedComponent(base, suffix, NameBytes);
}

QString inFolder(const QString& folder, const QString& name)
{
    return QDir::cleanPath(folder + QLatin1Char('/') + name);
}

QString fallbackOutputPath()
{
    const QUrl configured = platform::UserDefaults::standardUserDefaults()->URLForKey(key_kovaFolderFallbackOutputPath);
    if (configured.isLocalFile())
        return configured.toLocalFile();
    return platform::StandardPaths::path(platform::StandardPaths::Folder::Home) + QLatin1Char('/')
        + KOVA_OutputFileDelivery::FallbackFolder;
}

bool isFolderOrNothing(const QString& path)
{
    const QString type = platform::UTType::typeOfItemAtPath(path);
    return type.isEmpty() || platform::UTType::conformsTo(type, platform::kUTTypeDirectory);
}

bool namesImageType(const QString& extension)
{
    return !extension.isEmpty()
        && platform::UTType::conformsTo(platform::UTType::typeForExtension(extension), platform::kUTTypeImage);
}

// A copy of the original is JPEG data under the path's own name: a name whose extension
// names no image type (a date stamp's milliseconds, or none at all) takes the original's.
QString withImageExtension(const QString& path, const QUrl& original)
{
    const PathParts parts = PathParts::of(path);
    const QString originalExtension = PathParts::of(original.toLocalFile()).extension;
    if (namesImageType(parts.extension) || originalExtension.isEmpty())
        return path;
    return (parts.extension.isEmpty() ? path : parts.withoutExtension) + QLatin1Char('.') + originalExtension;
}

std::shared_ptr<KOVA_Job> jobOf(const KOVA_Output& output)
{
    const auto package = output.package();
    return package ? package->owningJob() : nullptr;
}

} // namespace

// ---- Names ----

// A relative original is the job's own: inside its bundle, else beside its ticket, and
// never taken from the process's working folder. An absolute one that names no image is
// looked for in the bundle's images folder. Empty (logged) for a path leading out.
QUrl KOVA_OutputFileDelivery::urlOriginalImage(const KOVA_Output& output) const
{
    const QString path = output.originalFilePath();
    if (path.isEmpty())
        return {};
    const auto package = output.package();
    const QUrl container = package ? package->urlJobContainer() : QUrl();
    QString file = path;
    if (QDir::isRelativePath(path)) {
        const auto job = jobOf(output);
        file = KOVA_JobPaths::imagePath(path, container, job ? job->documentURL() : QUrl());
    } else if (container.isLocalFile()
               && !ZORVAK_Extras_NSURL::conformsToUTType(QUrl::fromLocalFile(path), platform::kUTTypeImage)) {
        file = KOVA_JobPaths::bundleImagePath(path, container.toLocalFile());
    }
    return file.isEmpty() ? QUrl() : QUrl::fromLocalFile(file);
}

QString KOVA_OutputFileDelivery::outputFilenameForDestination(const KOVA_Output& output,
                                                              const KOVA_Destination& destination) const
{
    const QString filename = destination.filename();
    const bool originalName
        = filename.isEmpty() || filename.compare(KOVA_XML_Key_oldKOVA_filenameOriginal, Qt::CaseInsensitive) == 0;
    const QString base = originalName ? fileNameWithoutExtension(originalFileName(output)) : UnnamedImage;
    return suffixedName(base, dateStamp());
}

QString KOVA_OutputFileDelivery::outputPathForDestination(const KOVA_Output& output, const KOVA_Destination& destination) const
{
    QString path = destination.filepath();
    if (path.isEmpty()) {
        platform::Log::log(QStringLiteral("ERROR:a filepath destination is specifed, but no output filepath provided\n%1")
                               .arg(output.description()));
        path = fallbackOutputPath();
    }
    const PathParts parts = PathParts::of(path);
    const QString extension = parts.extension.isEmpty() ? QStringLiteral("jpg") : parts.extension;
    const QString fileName = platform::FileNames::pathComponent(
        outputFilenameForDestination(output, destination) + QLatin1Char('.') + extension, NameBytes);
    // A path with an extension, or a file already there, names a file: only its folder and
    // its extension count.
    const QString folder = parts.extension.isEmpty() && isFolderOrNothing(path) ? path : QFileInfo(path).path();
    return folder + QLatin1Char('/') + fileName;
}

QString KOVA_OutputFileDelivery::outputPathForPTFS(const KOVA_Output& output, const KOVA_PrintToFileSet* set) const
{
    if (!set)
        return {};
    const QString folder = set->URL().toLocalFile();
    const QString name = originalFileName(output);
    const QString format = set->nameFormat();
    const QString stem = fileNameWithoutExtension(name);
    if (format == string_kova_ImagePlusDateTime)
        return inFolder(folder, suffixedName(stem, dateStamp()));
    if (format == string_kova_ImagePlusTemplate)
        return inFolder(folder, suffixedName(stem, templateNamePart(output)));
    if (format == string_kova_ImagePlusCKTemplate)
        return inFolder(folder, suffixedName(stem, ckTemplateNamePart(output)));
    return inFolder(folder, name);
}

// The file name of the template the first node names; "template" when there is none.
QString KOVA_OutputFileDelivery::templateNamePart(const KOVA_Output& output) const
{
    const auto nodes = output.outputNodes();
    const KOVA_Template::Pointer named = nodes.isEmpty() ? nullptr : output.templates().value(nodes.constFirst()->name());
    const QString name = named ? fileNameWithoutExtension(named->documentURL().toLocalFile()) : QString();
    return name.isEmpty() ? QStringLiteral("template") : name;
}

// The file name of the job's template for "image1"; "ckTemplate" when the job names none.
QString KOVA_OutputFileDelivery::ckTemplateNamePart(const KOVA_Output& output)
{
    const auto job = jobOf(output);
    const QVariant templates = job ? job->value(KOVA_XML_Key_template) : QVariant();
    const QString name = templates.typeId() == QMetaType::QVariantMap
        ? fileNameWithoutExtension(templates.toMap().value(KOVA_XML_Key_image1).toString())
        : QString();
    return name.isEmpty() ? QStringLiteral("ckTemplate") : name;
}

QString KOVA_OutputFileDelivery::exifCommentForDictionary(const QVariantMap& info) const
{
    if (info.value(KOVA_XML_Key_exifComment_uploadSite).toString().isEmpty())
        return {};
    QVariantMap inner{{KOVA_XML_Key_exifComment_uploadSite, info.value(KOVA_XML_Key_exifComment_uploadSite)},
                      {KOVA_XML_Key_exifComment_version, UploadInfoVersion}};
    if (info.contains(KOVA_XML_Key_exifComment_originalPath))
        inner.insert(KOVA_XML_Key_exifComment_originalPath, info.value(KOVA_XML_Key_exifComment_originalPath));
    return ZORVAK_plist::stringWithPlistObject(QVariantMap{{KOVA_XML_Key_exifComment_key, inner}});
}

// ---- Delivery ----

std::shared_ptr<KOVA_PrintToFileSet> KOVA_OutputFileDelivery::namedSet(const KOVA_Destination& destination)
{
    const QString itemPath = destination.printToFileSetPathIndex();
    if (itemPath.isEmpty())
        return nullptr;
    const auto set = std::dynamic_pointer_cast<KOVA_PrintToFileSet>(KOVA_PrintToFileSet::classSide().folderSetWithName(itemPath));
    platform::Log::log(QStringLiteral("Destination has specified PrintToFileSet %1:%2")
                           .arg(itemPath, set ? set->description() : QStringLiteral("(null)")));
    return set;
}

QString KOVA_OutputFileDelivery::uploadComment(const Target& target) const
{
    if (target.path.isEmpty() || target.uploadSite.isEmpty())
        return {};
    return exifCommentForDictionary(
        {{KOVA_XML_Key_exifComment_originalPath, target.path}, {KOVA_XML_Key_exifComment_uploadSite, target.uploadSite}});
}

KOVA_OutputFileDelivery::Target KOVA_OutputFileDelivery::pictureTarget(const KOVA_Output& output,
                                                                       const KOVA_Destination& destination,
                                                                       QVariantMap& options) const
{
    if (const auto set = namedSet(destination)) {
        const QString fileFormat = set->fileFormat();
        options.insert(zorvakImageKey_utType, fileFormat.isEmpty() ? platform::kUTTypeJPEG : fileFormat);
        options.insert(zorvakImageKey_downsample, set->webUploadHasMaxPixels());
        options.insert(zorvakImageKey_maxPixelLength, set->webUploadMaxPixels().value_or(NoPixelLimit));
        return setTarget(output, *set);
    }
    options.insert(zorvakImageKey_utType, platform::kUTTypeJPEG);
    options.insert(zorvakImageKey_downsample, destination.resize());
    options.insert(zorvakImageKey_maxPixelLength, destination.limitSize());
    return destinationTarget(output, destination, false);
}

KOVA_OutputFileDelivery::Target KOVA_OutputFileDelivery::setTarget(const KOVA_Output& output,
                                                                   const KOVA_PrintToFileSet& set) const
{
    return {outputPathForPTFS(output, &set), set.uploadFolder().value_or(QString()), set.overwriteExisting(), {}};
}

KOVA_OutputFileDelivery::Target KOVA_OutputFileDelivery::destinationTarget(const KOVA_Output& output,
                                                                           const KOVA_Destination& destination,
                                                                           bool overwrite) const
{
    const QString path = destination.filepath();
    if (!path.split(QLatin1Char('/')).contains(QStringLiteral("..")))
        return {outputPathForDestination(output, destination), destination.uploadSite(), overwrite, {}};
    const Error refusal{Error::POSIXDomain, EINVAL,
                        QStringLiteral("refused the destination path %1: a \"..\" component leads out of its folder").arg(path)};
    platform::Log::error(refusal.message);
    return {{}, {}, false, refusal};
}

bool KOVA_OutputFileDelivery::reportedRefusal(const Target& target, const Reply& reply)
{
    if (target.refusal.isNull())
        return false;
    reply(false, target.refusal);
    return true;
}

void KOVA_OutputFileDelivery::deliver(KOVA_Output& output, const QImage& picture,
                                      const std::shared_ptr<KOVA_Destination>& destination, const Reply& reply)
{
    if (destination->saveOriginal()) {
        processSaveOriginalDestination(output, *destination, reply);
        return;
    }
    QVariantMap options{{zorvakImageKey_lossyCompressionQuality, Quality}};
    const Target target = pictureTarget(output, *destination, options);
    if (reportedRefusal(target, reply))
        return;
    platform::Log::log(QStringLiteral("Will save to output path: %1").arg(target.path));
    options.insert(zorvakImageKey_exifComment, uploadComment(target));
    const QUrl file = ZORVAK_ImageWriter::URLWithExtensionOfType(QUrl::fromLocalFile(target.path),
                                                                 options.value(zorvakImageKey_utType).toString());
    const Claim claimed = claim(output, file, target.overwrite);
    options.insert(zorvakImageKey_overwriteExistingFile, claimed.overwrite);
    Error error;
    const bool written = ZORVAK_ImageWriter::writeImage(picture, claimed.url, options, &error);
    if (!written)
        release(output, claimed.url);
    reply(written, error);
}

void KOVA_OutputFileDelivery::deliverOriginal(KOVA_Output& output, const std::shared_ptr<KOVA_Destination>& destination,
                                              const Reply& reply)
{
    processSaveOriginalDestination(output, *destination, reply);
}

KOVA_OutputFileDelivery::Target KOVA_OutputFileDelivery::originalTarget(const KOVA_Output& output,
                                                                        const KOVA_Destination& destination) const
{
    if (const auto set = namedSet(destination))
        return setTarget(output, *set);
    return destinationTarget(output, destination, true);
}

void KOVA_OutputFileDelivery::processSaveOriginalDestination(KOVA_Output& output, const KOVA_Destination& destination,
                                                             const Reply& reply)
{
    if (destination.kind() != KOVA_Destination::Kind::Filepath || !destination.saveOriginal())
        return;
    const Target target = originalTarget(output, destination);
    if (reportedRefusal(target, reply))
        return;
    const QUrl source = urlOriginalImage(output);
    const Claim claimed = claim(output, QUrl::fromLocalFile(withImageExtension(target.path, source)), target.overwrite);
    Error error;
    const bool written
        = ZORVAK_ImageWriter::writeImageFile(source, claimed.url, uploadComment(target), claimed.overwrite, &error);
    if (!written)
        release(output, claimed.url);
    reply(written, error);
}

// ---- Files written per job ----

KOVA_OutputFileDelivery::Claim KOVA_OutputFileDelivery::claim(const KOVA_Output& output, const QUrl& file, bool overwrite)
{
    const auto job = jobOf(output);
    if (!job)
        return {file, overwrite};
    std::lock_guard lock(m_mutex);
    std::erase_if(m_written, [](const auto& entry) { return entry.first.expired(); });
    QSet<QString>& written = m_written[job];
    const auto taken = [&written](const QUrl& url) { return written.contains(url.toLocalFile()); };
    Claim claimed{file, overwrite};
    if (taken(file)) {
        claimed = {ZORVAK_ImageWriter::URLWithoutOverwriting(file, taken), false};
        platform::Log::log(QStringLiteral("%1 was written earlier in this job; writing %2 instead")
                               .arg(file.toLocalFile(), claimed.url.toLocalFile()));
    } else if (!overwrite) {
        claimed.url = ZORVAK_ImageWriter::URLWithoutOverwriting(file, taken);
    }
    written.insert(claimed.url.toLocalFile());
    return claimed;
}

void KOVA_OutputFileDelivery::release(const KOVA_Output& output, const QUrl& file)
{
    const auto job = jobOf(output);
    if (!job)
        return;
    std::lock_guard lock(m_mutex);
    if (const auto found = m_written.find(job); found != m_written.end())
        found->second.remove(file.toLocalFile());
}
