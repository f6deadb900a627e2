#include "printing/profiles/ZORVAK_ColorProfiles.h"

#include "platform/Log.h"
#include "platform/files/BoundedFileRead.h"
#include "platform/files/FileOperations.h"
#include "platform/files/StandardPaths.h"
#include "platform/files/UTType.h"
#include "printing/pages/ZORVAK_PrintPage.h"
#include "printing/raster/ZORVAK_ColorSpace.h"

#include <QDir>
#include <QFileInfo>

#include <lcms2.h>

#include <algorithm>
#include <cerrno>

namespace {

const QString ProfileType = QStringLiteral("com.apple.colorsync-profile");
constexpr qint64 MaximumProfileSize = 64 * 1024 * 1024;

struct ProfileFacts {
    QString description;
    int componentCount = 0;
};

// The profile's description tag and its channel count, read with lcms2.
ProfileFacts factsOf(const QByteArray& iccData)
{
    ProfileFacts facts;
    cmsHPROFILE profile = cmsOpenProfileFromMem(iccData.constData(), cmsUInt32Number(iccData.size()));
    if (!profile)
        return facts;
    facts.componentCount = int(cmsChannelsOf(cmsGetColorSpace(profile)));
    const cmsUInt32Number length = cmsGetProfileInfo(profile, cmsInfoDescription, "en", "US", nullptr, 0);
    if (length > sizeof(wchar_t)) {
        std::wstring text(length / sizeof(wchar_t), L'\0');
        cmsGetProfileInfo(profile, cmsInfoDescription, "en", "US", text.data(), length);
        facts.description = QString::fromWCharArray(text.c_str()).trimmed();
    }
    cmsCloseProfile(profile);
    return facts;
}

bool profileComesBefore(const QVariantMap& left, const QVariantMap& right)
{
    const int leftModel = left.value("model").toInt();
    const int rightModel = right.value("model").toInt();
    if (leftModel != rightModel)
        return leftModel > rightModel;
    return left.value("name").toString().compare(right.value("name").toString(), Qt::CaseInsensitive) < 0;
}

// `fileName` in `folder`, numbered " 2", " 3", ... before the extension from
// the second try on.
QString candidatePath(const QString& folder, const QFileInfo& file, int attempt)
{
    if (attempt == 1)
        return folder + '/' + file.fileName();
    const QString suffix = file.suffix().isEmpty() ? QString() : '.' + file.suffix();
    return folder + '/' + file.completeBaseName() + ' ' + QString::number(attempt) + suffix;
}

} // namespace

ZORVAK_ColorProfiles::ZORVAK_ColorProfiles(const QStringList& folders)
    : m_folders(folders)
    , m_watcher(std::make_unique<ZORVAK_FileEvent>(folders, watchLatency))
{
    m_watcher->setEventBlock([this](const QStringList&, const ZORVAK_FileEvent::Flags&) { scan(); });
    // The first scan is queued ahead of the start so that it happens even when
    // no folder can be watched; the start's own report only rescans.
    ZORVAK_Dispatch::performInlineOnQueue(m_watcher->eventQueue(), [this] { scan(); });
    m_watcher->setRun(true);
}

ZORVAK_ColorProfiles::~ZORVAK_ColorProfiles() = default;

QList<QVariantMap> ZORVAK_ColorProfiles::profiles()
{
    QList<QVariantMap> result;
    ZORVAK_Dispatch::performSyncOnQueue(m_watcher->eventQueue(), [&] { result = m_profiles; });
    return result;
}

ZORVAK_ColorProfiles& ZORVAK_ColorProfiles::shared()
{
    static ZORVAK_ColorProfiles* const list = new ZORVAK_ColorProfiles(
        platform::StandardPaths::pathsInEveryDomain(platform::StandardPaths::Folder::ColorProfiles));
    return *list;
}

QList<QVariantMap> ZORVAK_ColorProfiles::colorProfiles()
{
    return shared().profiles();
}

std::optional<QVariantMap> ZORVAK_ColorProfiles::testColorProfile(const QUrl& url)
{
    if (!url.isLocalFile())
        return std::nullopt;
    const QString path = url.toLocalFile();
    const std::optional<QByteArray> data = platform::BoundedFileRead::contents(path, MaximumProfileSize);
    if (!data)
        return std::nullopt;
    const std::shared_ptr<const ZORVAK_ColorSpace> space = ZORVAK_ColorSpace::fromICCData(*data);
    if (!space)
        return std::nullopt;
    const int model = int(space->model());
    if (space->model() != ZORVAK_ColorSpace::Model::Monochrome && space->model() != ZORVAK_ColorSpace::Model::RGB) {
        platform::Log::log(QStringLiteral("incompatible color space %1 for color profile. must be RGB or monochrome!").arg(model));
        return std::nullopt;
    }
    if (!space->producesOutput()) {
        platform::Log::log(QStringLiteral("incompatible color profile does not produce output!"));
        return std::nullopt;
    }
    const ProfileFacts facts = factsOf(*data);
    QString name = facts.description;
    if (name.startsWith(QLatin1String("kCGColorSpace")))
        name.remove(0, int(qstrlen("kCGColorSpace")));
    if (name.isEmpty())
        name = QFileInfo(path).completeBaseName();
    return QVariantMap {
        {"name", name},
        {"model", model},
        {"componentCount", facts.componentCount},
        {"url", url},
        {"utType", platform::UTType::typeOfItemAtPath(path)},
    };
}

bool ZORVAK_ColorProfiles::copyAndSetColorProfile(const QUrl& url, ZORVAK_PrintPage& page)
{
    platform::Error error;
    const QString folder = platform::StandardPaths::createdPath(platform::StandardPaths::Folder::ColorProfiles,
                                                                platform::StandardPaths::Domain::User, &error);
    if (folder.isEmpty()) {
        platform::Log::log(QStringLiteral("Error getting library folder: %1").arg(error.description()));
        return false;
    }
    const QFileInfo source(url.toLocalFile());
    for (int attempt = 1;; ++attempt) {
        const QString target = candidatePath(folder, source, attempt);
        error = {};
        if (platform::FileOperations::copyItem(source.filePath(), target, &error)) {
            page.setPrinterProfileICC(QUrl::fromLocalFile(target));
            return true;
        }
        if (error.code != EEXIST) {
            platform::Log::log(QStringLiteral("Error copying color profile (%1) to folder (%2):%3")
                         .arg(url.toString(), folder, error.description()));
            return false;
        }
    }
}

void ZORVAK_ColorProfiles::scan()
{
    QList<QVariantMap> found;
    for (const QString& folder : m_folders)
        found += scannedFolder(folder);
    std::sort(found.begin(), found.end(), profileComesBefore);
    m_profiles = found;
}

QList<QVariantMap> ZORVAK_ColorProfiles::scannedFolder(const QString& folder)
{
    QList<QVariantMap> found;
    if (!QFileInfo(folder).isDir())
        return found;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString type = entry.isFile() ? platform::UTType::typeOfItemAtPath(entry.filePath()) : QString();
        platform::Log::log(QStringLiteral("Scanning package file %1 with type %2").arg(entry.filePath(), type));
        if (type != ProfileType)
            continue;
        if (std::optional<QVariantMap> profile = testColorProfile(QUrl::fromLocalFile(entry.filePath())))
            found.append(*profile);
    }
    return found;
}
