#include "platform/files/UTType.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QMimeDatabase>
#include <QStringList>

#include <sys/stat.h>

namespace platform {
namespace {

struct TypeEntry {
    QString identifier;
    QStringList parents;
    QString preferredExtension;
    QStringList extensions; // every extension the type claims, the preferred one included
    QStringList mimeTypes; // the first is the preferred one
};

QList<TypeEntry> typeEntries()
{
    // clang-format off
    return {
        {"public.item", {}, {}, {}, {}},
        {"public.content", {}, {}, {}, {}},
        {"public.composite-content", {"public.content"}, {}, {}, {}},
        {"public.data", {"public.item"}, {}, {}, {"application/octet-stream"}},
        {"public.directory", {"public.item"}, {}, {}, {"inode/directory"}},
        {"public.folder", {"public.directory"}, {}, {}, {"inode/directory"}},
        {"com.apple.package", {"public.directory"}, {}, {}, {}},
        {"com.morvanta.kova.job", {"com.apple.package"}, "kovajob", {"kovajob"}, {}},
        {"public.symlink", {"public.item"}, {}, {}, {"inode/symlink"}},
        {"public.url", {"public.data"}, {}, {}, {}},
        {"public.file-url", {"public.url"}, {}, {}, {}},
        {"public.text", {"public.data", "public.content"}, {}, {}, {}},
        {"public.plain-text", {"public.text"}, "txt", {"txt", "text"}, {"text/plain"}},
        {"public.rtf", {"public.text"}, "rtf", {"rtf"}, {"text/rtf", "application/rtf"}},
        {"public.html", {"public.text"}, "html", {"html", "htm"}, {"text/html"}},
        {"public.xml", {"public.text"}, "xml", {"xml"}, {"application/xml", "text/xml"}},
        {"com.apple.property-list", {"public.data"}, "plist", {"plist"}, {"application/x-plist"}},
        {"com.apple.xml-property-list", {"com.apple.property-list", "public.xml"}, {}, {}, {}},
        {"com.apple.binary-property-list", {"com.apple.property-list"}, {}, {}, {}},
        {"com.apple.colorsync-profile", {"public.data"}, "icc", {"icc", "icm"}, {"application/vnd.iccprofile"}},
        {"com.adobe.pdf", {"public.data", "public.composite-content"}, "pdf", {"pdf"}, {"application/pdf"}},
        {"public.image", {"public.data", "public.content"}, {}, {}, {}},
        {"public.jpeg", {"public.image"}, "jpeg", {"jpeg", "jpg", "jpe"}, {"image/jpeg"}},
        {"public.png", {"public.image"}, "png", {"png"}, {"image/png"}},
        {"public.tiff", {"public.image"}, "tiff", {"tiff", "tif"}, {"image/tiff"}},
        {"public.heic", {"public.image"}, "heic", {"heic"}, {"image/heic"}},
        {"public.jpeg-2000", {"public.image"}, "jp2", {"jp2"}, {"image/jp2"}},
        {"com.microsoft.bmp", {"public.image"}, "bmp", {"bmp"}, {"image/bmp"}},
        {"com.compuserve.gif", {"public.image"}, "gif", {"gif"}, {"image/gif"}},
        {"com.adobe.photoshop-image", {"public.image"}, "psd", {"psd"}, {"image/vnd.adobe.photoshop"}},
        // Raw files of many makers; the generic type has no preferred extension.
        {"public.camera-raw-image", {"public.image"}, {},
         {"dng", "cr2", "cr3", "crw", "nef", "nrw", "arw", "srf", "sr2", "orf", "raf", "rw2", "pef", "srw", "x3f", "3fr", "iiq"}, {}},
    };
    // clang-format on
}

class TypeTable {
public:
    // Never destroyed: watcher threads may still look types up while the process exits.
    static const TypeTable& shared()
    {
        static const TypeTable* table = new TypeTable;
        return *table;
    }

    const TypeEntry* entry(const QString& lowerType) const { return find(m_byIdentifier, lowerType); }
    const TypeEntry* entryForExtension(const QString& lowerExtension) const { return find(m_byExtension, lowerExtension); }
    const TypeEntry* entryForMimeType(const QString& mimeType) const { return find(m_byMimeType, mimeType); }

private:
    TypeTable()
        : m_entries(typeEntries())
    {
        for (qsizetype index = 0; index < m_entries.size(); ++index) {
            const TypeEntry& entry = m_entries.at(index);
            m_byIdentifier.insert(entry.identifier, index);
            for (const QString& extension : entry.extensions)
                m_byExtension.insert(extension, index);
            for (const QString& mimeType : entry.mimeTypes)
                m_byMimeType.insert(mimeType, index); // a later entry wins: inode/directory is a folder
        }
    }

    const TypeEntry* find(const QHash<QString, qsizetype>& index, const QString& key) const
    {
        const auto found = index.constFind(key);
        return found == index.constEnd() ? nullptr : &m_entries.at(*found);
    }

    QList<TypeEntry> m_entries;
    QHash<QString, qsizetype> m_byIdentifier;
    QHash<QString, qsizetype> m_byExtension;
    QHash<QString, qsizetype> m_byMimeType;
};

// A dynamic identifier keeps the extension it stands for: ASCII letters and
// digits as they are, every other UTF-8 byte as "-" and two hex digits.
const QString dynamicExtensionPrefix = QStringLiteral("dyn.ext.");

QString dynamicTypeForExtension(const QString& lowerExtension)
{
    QString type = dynamicExtensionPrefix;
    for (const char byte : lowerExtension.toUtf8()) {
        const auto value = static_cast<unsigned char>(byte);
        if ((value >= 'a' && value <= 'z') || (value >= '0' && value <= '9'))
            type += QLatin1Char(byte);
        else
            type += QLatin1Char('-') + QString::number(value, 16).rightJustified(2, QLatin1Char('0'));
    }
    return type;
}

int hexDigitValue(char digit)
{
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    return -1;
}

// The extension a dynamic identifier stands for; empty when `lowerType` is none.
QString extensionOfDynamicType(const QString& lowerType)
{
    if (!lowerType.startsWith(dynamicExtensionPrefix))
        return {};
    const QByteArray encoded = lowerType.mid(dynamicExtensionPrefix.size()).toLatin1();
    QByteArray bytes;
    for (qsizetype at = 0; at < encoded.size(); ++at) {
        const char byte = encoded.at(at);
        if ((byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9')) {
            bytes += byte;
            continue;
        }
        if (byte != '-' || at + 2 >= encoded.size())
            return {};
        const int high = hexDigitValue(encoded.at(at + 1));
        const int low = hexDigitValue(encoded.at(at + 2));
        if (high < 0 || low < 0)
            return {};
        bytes += static_cast<char>(high * 16 + low);
        at += 2;
    }
    return QString::fromUtf8(bytes);
}

QMimeType mimeTypeForExtension(const QString& lowerExtension)
{
    // A file-name extension holds neither; a pattern that does would match another.
    if (lowerExtension.contains(QLatin1Char('/')) || lowerExtension.contains(QLatin1Char('.')))
        return {};
    return QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + lowerExtension, QMimeDatabase::MatchExtension);
}

// The table's type for a MIME type or one of its aliases; empty when none.
QString tableTypeForMimeType(const QMimeType& mimeType)
{
    if (!mimeType.isValid() || mimeType.isDefault())
        return {};
    for (const QString& name : QStringList{mimeType.name()} + mimeType.aliases()) {
        if (const TypeEntry* entry = TypeTable::shared().entryForMimeType(name))
            return entry->identifier;
    }
    return {};
}

// The table's type for a MIME type, else the most specific generic type.
QString typeForMimeType(const QMimeType& mimeType)
{
    if (const QString type = tableTypeForMimeType(mimeType); !type.isEmpty())
        return type;
    if (mimeType.name().startsWith(QLatin1String("image/")))
        return kUTTypeImage;
    if (mimeType.inherits(QStringLiteral("application/xml")))
        return kUTTypeXML;
    if (mimeType.inherits(QStringLiteral("text/plain")))
        return kUTTypePlainText;
    return kUTTypeData;
}

// "photo.JPG" -> "JPG"; a leading dot starts a hidden name, not an extension.
QString extensionOfName(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? QString() : name.mid(dot + 1);
}

QString nameOfPath(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

bool holdsJobTicket(const QString& folder)
{
    QDirIterator entries(folder, {QStringLiteral("job.xml")}, QDir::Files | QDir::Hidden);
    return entries.hasNext();
}

QString typeOfFolder(const QString& path)
{
    const QString byExtension = UTType::typeForExtension(extensionOfName(nameOfPath(path)));
    if (UTType::conformsTo(byExtension, kUTTypePackage))
        return byExtension;
    return holdsJobTicket(path) ? UTType::jobBundle : kUTTypeFolder;
}

QString typeOfRegularFile(const QString& path)
{
    const QString extension = extensionOfName(nameOfPath(path)).toLower();
    if (extension.isEmpty())
        return typeForMimeType(QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchContent));
    const QString byExtension = UTType::typeForExtension(extension);
    // A file named like a bundle is still a file, never a directory.
    return UTType::conformsTo(byExtension, kUTTypeDirectory) ? dynamicTypeForExtension(extension) : byExtension;
}

QString resolvedIfLink(const QString& path, const QByteArray& nativePath)
{
    struct stat status {};
    if (::lstat(nativePath.constData(), &status) == 0 && S_ISLNK(status.st_mode))
        return QFileInfo(path).canonicalFilePath();
    return path;
}

} // namespace

bool UTType::conformsTo(const QString& type, const QString& parent)
{
    const QString lowerType = type.toLower();
    const QString lowerParent = parent.toLower();
    if (lowerType.isEmpty() || lowerParent.isEmpty())
        return false;
    if (lowerType == lowerParent)
        return true;
    if (lowerType.startsWith(dynamicExtensionPrefix)) {
        const QString extension = extensionOfDynamicType(lowerType);
        return !extension.isEmpty() && conformsTo(typeForMimeType(mimeTypeForExtension(extension)), lowerParent);
    }
    const TypeEntry* entry = TypeTable::shared().entry(lowerType);
    if (!entry)
        return false;
    for (const QString& direct : entry->parents) {
        if (conformsTo(direct, lowerParent))
            return true;
    }
    return false;
}

QString UTType::typeForExtension(const QString& extension)
{
    const QString lowerExtension = extension.toLower();
    if (lowerExtension.isEmpty())
        return kUTTypeData;
    if (const TypeEntry* entry = TypeTable::shared().entryForExtension(lowerExtension))
        return entry->identifier;
    if (const QString byMimeType = tableTypeForMimeType(mimeTypeForExtension(lowerExtension)); !byMimeType.isEmpty())
        return byMimeType;
    return dynamicTypeForExtension(lowerExtension);
}

QString UTType::typeForMIMEType(const QString& mimeType)
{
    const QString name = mimeType.section(QLatin1Char(';'), 0, 0).trimmed();
    const QMimeType known = QMimeDatabase().mimeTypeForName(name);
    if (const QString type = tableTypeForMimeType(known); !type.isEmpty())
        return type;
    const QString extension = known.isValid() ? known.preferredSuffix() : QString();
    return extension.isEmpty() ? QString() : typeForExtension(extension);
}

QString UTType::preferredExtension(const QString& type)
{
    const QString lowerType = type.toLower();
    if (const TypeEntry* entry = TypeTable::shared().entry(lowerType))
        return entry->preferredExtension;
    return extensionOfDynamicType(lowerType);
}

QString UTType::mimeType(const QString& type)
{
    const QString lowerType = type.toLower();
    if (const TypeEntry* entry = TypeTable::shared().entry(lowerType))
        return entry->mimeTypes.value(0);
    const QString extension = extensionOfDynamicType(lowerType);
    const QMimeType mimeType = extension.isEmpty() ? QMimeType() : mimeTypeForExtension(extension);
    return mimeType.isValid() && !mimeType.isDefault() ? mimeType.name() : QString();
}

QString UTType::typeOfItemAtPath(const QString& path)
{
    if (path.isEmpty())
        return {};
    const QString cleanPath = QDir::cleanPath(path);
    const QByteArray nativePath = QFile::encodeName(cleanPath);
    struct stat status {};
    if (::stat(nativePath.constData(), &status) != 0) {
        struct stat linkStatus {};
        const bool danglingLink = ::lstat(nativePath.constData(), &linkStatus) == 0 && S_ISLNK(linkStatus.st_mode);
        return danglingLink ? kUTTypeSymLink : QString();
    }
    if (S_ISDIR(status.st_mode))
        return typeOfFolder(resolvedIfLink(cleanPath, nativePath));
    if (S_ISREG(status.st_mode))
        return typeOfRegularFile(resolvedIfLink(cleanPath, nativePath));
    return kUTTypeItem; // a device, pipe or socket: never opened to look inside
}

} // namespace platform
