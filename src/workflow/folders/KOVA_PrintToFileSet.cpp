#include "workflow/folders/KOVA_PrintToFileSet.h"

#include "core/foundation/KOVA_Constants.h"
#include "platform/Log.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "platform/text/StringValues.h"

#include <QSet>

namespace {

[[maybe_unused]] const bool registeredForDecoding = [] {
    platform::KeyedUnarchiver::registerClass(
        {KOVA_PrintToFileSet::ClassName, KOVA_FolderSet::ClassName, QStringLiteral("NSObject")},
        &KOVA_FolderSet::initWithCoder<KOVA_PrintToFileSet>);
    return true;
}();

bool isNumber(const QVariant& value)
{
    return platform::StringValues::isInteger(value) || value.typeId() == QMetaType::Double;
}

QVariant optionalNumber(std::optional<qint64> value)
{
    return value ? QVariant(*value) : QVariant();
}

} // namespace

KOVA_FolderSetClass& KOVA_PrintToFileSet::classSide()
{
    static KOVA_FolderSetClass& side = KOVA_FolderSetClass::makeProcessWide({
        .className = ClassName,
        .keyForSavedFolderSets = QStringLiteral("KOVA_savedPrintToFileSets"),
        .usesOldKOVANames = true,
        .picksByNumber = true,
        .makeFolderSet = [](const QString& name) { return std::make_shared<KOVA_PrintToFileSet>(name); },
        .arrangeLoadedList = &KOVA_PrintToFileSet::withFixedNames,
    });
    return side;
}

KOVA_FolderSetClass& KOVA_PrintToFileSet::folderSetClass() const
{
    return classSide();
}

const QStringList& KOVA_PrintToFileSet::fixedNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (int number = 1; number <= 8; ++number)
            list.append(QStringLiteral("Path %1").arg(number));
        return list;
    }();
    return names;
}

KOVA_FolderSetClass::FolderSets KOVA_PrintToFileSet::withFixedNames(const KOVA_FolderSetClass::FolderSets& loaded)
{
    QSet<QString> open(fixedNames().cbegin(), fixedNames().cend());
    KOVA_FolderSetClass::FolderSets kept;
    for (const std::shared_ptr<KOVA_FolderSet>& folderSet : loaded) {
        if (open.remove(folderSet->name()))
            kept.append(folderSet);
        else
            platform::Log::log(QStringLiteral("dropped print-to-file set %1").arg(folderSet->description()));
    }
    for (const QString& name : fixedNames()) {
        if (open.contains(name))
            kept.append(classSide().makeFolderSet(name));
    }
    return kept;
}

QString KOVA_PrintToFileSet::fileFormat() const
{
    const QString stored = textOption(FileFormatKey);
    return stored.isNull() ? fileFormats().first() : stored;
}

void KOVA_PrintToFileSet::setFileFormat(const QString& fileFormat)
{
    setPropertyValue(FileFormatKey, fileFormat.isNull() ? QVariant() : QVariant(fileFormat));
}

QString KOVA_PrintToFileSet::nameFormat() const
{
    const QString stored = textOption(NameFormatKey);
    return nameFormats().contains(stored) ? stored : nameFormats().first();
}

void KOVA_PrintToFileSet::setNameFormat(const QString& nameFormat)
{
    setPropertyValue(NameFormatKey, nameFormat.isNull() ? QVariant() : QVariant(nameFormat));
}

std::optional<QString> KOVA_PrintToFileSet::uploadFolder() const
{
    const QString stored = textOption(UploadFolderKey);
    if (stored.isNull() || stored == string_kova_DoNotUpload)
        return std::nullopt;
    return stored;
}

void KOVA_PrintToFileSet::setUploadFolder(const std::optional<QString>& uploadFolder)
{
    setPropertyValue(UploadFolderKey, uploadFolder ? QVariant(*uploadFolder) : QVariant());
}

bool KOVA_PrintToFileSet::webUpload() const { return flagOption(WebUploadKey); }
void KOVA_PrintToFileSet::setWebUpload(bool webUpload) { setPropertyValue(WebUploadKey, webUpload); }
bool KOVA_PrintToFileSet::webUploadHasMaxPixels() const { return flagOption(WebUploadHasMaxPixelsKey); }
void KOVA_PrintToFileSet::setWebUploadHasMaxPixels(bool value) { setPropertyValue(WebUploadHasMaxPixelsKey, value); }
std::optional<qint64> KOVA_PrintToFileSet::webUploadMaxPixels() const { return numberOption(WebUploadMaxPixelsKey); }
void KOVA_PrintToFileSet::setWebUploadMaxPixels(std::optional<qint64> value)
{
    setPropertyValue(WebUploadMaxPixelsKey, optionalNumber(value));
}
bool KOVA_PrintToFileSet::webUploadHasMaxBytes() const { return flagOption(WebUploadHasMaxBytesKey); }
void KOVA_PrintToFileSet::setWebUploadHasMaxBytes(bool value) { setPropertyValue(WebUploadHasMaxBytesKey, value); }
std::optional<qint64> KOVA_PrintToFileSet::webUploadMaxBytes() const { return numberOption(WebUploadMaxBytesKey); }
void KOVA_PrintToFileSet::setWebUploadMaxBytes(std::optional<qint64> value)
{
    setPropertyValue(WebUploadMaxBytesKey, optionalNumber(value));
}
bool KOVA_PrintToFileSet::normalizeOrientation() const { return flagOption(NormalizeOrientationKey); }
void KOVA_PrintToFileSet::setNormalizeOrientation(bool value) { setPropertyValue(NormalizeOrientationKey, value); }
bool KOVA_PrintToFileSet::overwriteExisting() const { return flagOption(OverwriteExistingKey); }
void KOVA_PrintToFileSet::setOverwriteExisting(bool value) { setPropertyValue(OverwriteExistingKey, value); }

const QStringList& KOVA_PrintToFileSet::fileFormats()
{
    static const QStringList formats = [] {
        const QStringList list{QStringLiteral("public.jpeg"), QStringLiteral("public.tiff"), QStringLiteral("public.png"),
                               QStringLiteral("public.heic"), QStringLiteral("com.adobe.photoshop-image"),
                               QStringLiteral("com.adobe.pdf")};
        platform::Log::log(QStringLiteral("(%1)").arg(list.join(QStringLiteral(", "))));
        return list;
    }();
    return formats;
}

const QStringList& KOVA_PrintToFileSet::nameFormats()
{
    static const QStringList formats{string_kova_ImageNameOnly, string_kova_ImagePlusDateTime,
                                     string_kova_ImagePlusTemplate, string_kova_ImagePlusCKTemplate};
    return formats;
}

const QStringList& KOVA_PrintToFileSet::uploadFolders()
{
    static const QStringList folders{string_kova_DoNotUpload, QStringLiteral("fyp"), QStringLiteral("pt5"),
                                     QStringLiteral("pt5-2"), QStringLiteral("pt5-3")};
    return folders;
}

QString KOVA_PrintToFileSet::toolTipNormalizeOrientation()
{
    return QStringLiteral("Most cameras save images in Landscape orientation and apply an orientation flag for "
                          "Portrait images. Use this option when you need to support an image viewer that does not "
                          "honor the image orientation flag.");
}

QVariant KOVA_PrintToFileSet::valueForKey(const QString& key) const
{
    if (key == FileFormatKey)
        return fileFormat();
    if (key == NameFormatKey)
        return nameFormat();
    if (key == UploadFolderKey)
        return uploadFolder() ? QVariant(*uploadFolder()) : QVariant();
    if (key == WebUploadMaxPixelsKey)
        return optionalNumber(webUploadMaxPixels());
    if (key == WebUploadMaxBytesKey)
        return optionalNumber(webUploadMaxBytes());
    static const QSet<QString> flags{WebUploadKey, WebUploadHasMaxPixelsKey, WebUploadHasMaxBytesKey,
                                     NormalizeOrientationKey, OverwriteExistingKey};
    if (flags.contains(key))
        return flagOption(key);
    return KOVA_FolderSet::valueForKey(key);
}

QStringList KOVA_PrintToFileSet::archiveClassHierarchy() const
{
    return {ClassName, KOVA_FolderSet::ClassName, QStringLiteral("NSObject")};
}

// Options read from an archive made elsewhere may hold anything: a value of the
// wrong kind reads as absent.
QString KOVA_PrintToFileSet::textOption(const QString& key) const
{
    const QVariant value = propertyValue(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

bool KOVA_PrintToFileSet::flagOption(const QString& key) const
{
    const QVariant value = propertyValue(key);
    return isNumber(value) && value.toDouble() != 0;
}

std::optional<qint64> KOVA_PrintToFileSet::numberOption(const QString& key) const
{
    const QVariant value = propertyValue(key);
    if (!isNumber(value))
        return std::nullopt;
    return value.toLongLong();
}
