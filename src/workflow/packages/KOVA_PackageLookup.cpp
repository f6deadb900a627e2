#include "workflow/packages/KOVA_PackageLookup.h"

#include "core/foundation/KOVA_Constants.h"
#include "core/image/ZORVAK_Image.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/UTType.h"
#include "template/KOVA_XML_Keys.h"
#include "workflow/jobs/KOVA_JobBundle.h"
#include "workflow/jobs/KOVA_JobPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <cerrno>

namespace {

const QString packagesFolderName = QStringLiteral("Packages");

bool sameCode(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The job bundle of a description: a file URL, or a path text.
QUrl containerOf(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString && !value.toString().isEmpty())
        return QUrl::fromLocalFile(value.toString());
    return value.toUrl();
}

} // namespace

KOVA_PackageLookup::KOVA_PackageLookup(const QVariantMap& description)
    : m_container(containerOf(description.value(KOVA_XML_Key_job)))
{
    const QString code = description.value(KOVA_XML_Key_PLU).toString();
    m_bareName = code.isEmpty() ? description.value(KOVA_XML_Key_name).toString() : code;
    const QString image1 = description.value(KOVA_XML_Key_key).toMap().value(KOVA_XML_Key_image1).toString();
    m_wantedName = m_bareName + orientationSuffix(image1, m_container);
}

// A relative name is the bundle's own and is never opened against the working folder.
QString KOVA_PackageLookup::orientationSuffix(const QString& image1, const QUrl& container)
{
    if (image1.isEmpty())
        return QStringLiteral("LS");
    QSizeF size;
    if (QDir::isAbsolutePath(image1))
        size = ZORVAK_Image::orientedSizeForImage(QVariant(image1));
    if (size.isEmpty() && container.isLocalFile()) {
        const QString inBundle = KOVA_JobPaths::bundleImagePath(image1, container.toLocalFile());
        if (!inBundle.isEmpty())
            size = ZORVAK_Image::orientedSizeForImage(QVariant(inBundle));
    }
    return size.height() > size.width() ? QStringLiteral("PRT") : QStringLiteral("LS");
}

QList<QUrl> KOVA_PackageLookup::packageFolders(const QUrl& container)
{
    QList<QUrl> folders;
    if (container.isLocalFile()) {
        const QString bundle = container.toLocalFile();
        const QString inside = KOVA_JobPaths::insideFolder(KOVA_JobBundle::entryPath(bundle, packagesFolderName), bundle,
                                                           packagesFolderName);
        if (!inside.isEmpty())
            folders.append(QUrl::fromLocalFile(inside));
    }
    const QUrl preferred = platform::UserDefaults::standardUserDefaults()->URLForKey(key_kovaFolderPackages);
    if (preferred.isLocalFile())
        folders.append(preferred);
    return folders;
}

KOVA_Package::Pointer KOVA_PackageLookup::find()
{
    if (m_bareName.isEmpty())
        return nullptr; // a description without code or name names no package
    for (const QUrl& folder : packageFolders(m_container)) {
        searchFolder(folder);
        if (m_found || m_fallback)
            break;
    }
    return m_found ? m_found : m_fallback;
}

void KOVA_PackageLookup::searchFolder(const QUrl& folder)
{
    const QString path = folder.toLocalFile();
    if (!QFileInfo(path).isDir()) {
        const int reason = QFileInfo::exists(path) ? ENOTDIR : ENOENT;
        platform::Log::log(QStringLiteral("Failed enumeration at %1 with error:%2")
                               .arg(folder.toString(), platform::Error::fromErrno(reason, path).description()));
        return;
    }
    // Links are never followed: neither into folders nor to files elsewhere.
    QDirIterator entries(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    for (int seen = 0; entries.hasNext(); ++seen) {
        if (seen == MaximumEntriesPerFolder) {
            platform::Log::error(QStringLiteral("Stopped scanning %1 after %2 entries").arg(path).arg(seen));
            return;
        }
        const QFileInfo item(entries.next());
        if (item.isSymLink() || !item.isFile())
            continue;
        if (considerFile(item.filePath()))
            return;
    }
}

bool KOVA_PackageLookup::considerFile(const QString& path)
{
    platform::Log::log(QStringLiteral("Scanning package file %1 with type %2").arg(path, platform::UTType::typeOfItemAtPath(path)));
    const QUrl file = QUrl::fromLocalFile(path);
    const auto candidate = KOVA_XML_object::instanceWithXMLObject<KOVA_Package>(file);
    if (!candidate)
        return false;
    if (!m_container.isEmpty())
        candidate->setValue(QStringLiteral("urlJobContainer"), m_container);
    Verdict verdict = Verdict::Undecided;
    candidate->parseXML([&](const QVariantMap& values, const platform::Error& error, bool& stop) {
        if (!error.isNull()) {
            platform::Log::error(QStringLiteral("Skipping package file %1: %2").arg(file.toString(), error.description()));
            verdict = Verdict::Skipped;
            return;
        }
        const Verdict judged = judge(values, file);
        if (judged != Verdict::Undecided)
            verdict = judged;
        stop = verdict == Verdict::Skipped;
    });
    switch (verdict) {
    case Verdict::Found:
        platform::Log::log(QStringLiteral("Found package named %1 at %2").arg(candidate->name(), file.toString()));
        m_found = candidate;
        return true;
    case Verdict::Fallback:
        m_fallback = candidate;
        return false;
    case Verdict::Skipped:
        platform::Log::log(QStringLiteral("Skipping package named %1 at %2").arg(candidate->name(), file.toString()));
        return false;
    case Verdict::Undecided:
        return false;
    }
    return false;
}

KOVA_PackageLookup::Verdict KOVA_PackageLookup::judge(const QVariantMap& values, const QUrl& file) const
{
    QString code = values.value(KOVA_XML_Key_PLU).toString();
    if (code.isEmpty())
        code = values.value(KOVA_XML_Key_name).toString();
    if (code.isEmpty())
        return Verdict::Undecided;
    if (sameCode(code, m_wantedName))
        return Verdict::Found;
    if (sameCode(code, m_bareName)) {
        platform::Log::log(QStringLiteral("Found fallback package named %1 at %2").arg(code, file.toString()));
        return Verdict::Fallback;
    }
    return Verdict::Skipped;
}
