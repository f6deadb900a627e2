#pragma once

#include "workflow/folders/KOVA_FolderSet.h"

#include <QStringList>

#include <optional>

// One of the eight numbered output folders "Path 1" to "Path 8" with the settings
// of the image files written into it. The settings live in the set's options and
// are saved with the list under "KOVA_savedPrintToFileSets". The list always holds
// the eight sets, whatever the saved data holds (withFixedNames); a file
// destination names its set by name or by a single digit that picks by position.
class KOVA_PrintToFileSet : public KOVA_FolderSet {
public:
    static inline const QString ClassName = QStringLiteral("KOVA_PrintToFileSet");

    // The option keys.
    static inline const QString FileFormatKey = QStringLiteral("fileFormat");
    static inline const QString NameFormatKey = QStringLiteral("nameFormat");
    static inline const QString UploadFolderKey = QStringLiteral("uploadFolder");
    static inline const QString WebUploadKey = QStringLiteral("webUpload");
    static inline const QString WebUploadHasMaxPixelsKey = QStringLiteral("webUploadHasMaxPixels");
    static inline const QString WebUploadMaxPixelsKey = QStringLiteral("webUploadMaxPixels");
    static inline const QString WebUploadHasMaxBytesKey = QStringLiteral("webUploadHasMaxBytes");
    static inline const QString WebUploadMaxBytesKey = QStringLiteral("webUploadMaxBytes");
    static inline const QString NormalizeOrientationKey = QStringLiteral("normalizeOrientation");
    static inline const QString OverwriteExistingKey = QStringLiteral("overwriteExisting");

    using KOVA_FolderSet::KOVA_FolderSet;

    static KOVA_FolderSetClass& classSide();
    KOVA_FolderSetClass& folderSetClass() const override;

    // The names "Path 1" to "Path 8".
    static const QStringList& fixedNames();
    // The loaded sets whose names are fixed names (exact case), each name taken by
    // its first set, in their order; then a fresh set in the home folder for each
    // name still missing, in number order. Every other set is dropped (logged).
    static KOVA_FolderSetClass::FolderSets withFixedNames(const KOVA_FolderSetClass::FolderSets& loaded);

    // Each getter gives the value the settings hold, or its fallback when they hold
    // none of the right kind; each setter stores the value and saves the list.
    QString fileFormat() const; // fallback: the first file format, JPEG
    void setFileFormat(const QString& fileFormat);
    QString nameFormat() const; // fallback (also for a name format not in the list): the first
    void setNameFormat(const QString& nameFormat);
    // None when absent and when the entry meaning no upload is stored.
    std::optional<QString> uploadFolder() const;
    void setUploadFolder(const std::optional<QString>& uploadFolder);
    bool webUpload() const;
    void setWebUpload(bool webUpload);
    bool webUploadHasMaxPixels() const;
    void setWebUploadHasMaxPixels(bool webUploadHasMaxPixels);
    std::optional<qint64> webUploadMaxPixels() const;
    void setWebUploadMaxPixels(std::optional<qint64> webUploadMaxPixels);
    bool webUploadHasMaxBytes() const;
    void setWebUploadHasMaxBytes(bool webUploadHasMaxBytes);
    std::optional<qint64> webUploadMaxBytes() const;
    void setWebUploadMaxBytes(std::optional<qint64> webUploadMaxBytes);
    bool normalizeOrientation() const;
    void setNormalizeOrientation(bool normalizeOrientation);
    bool overwriteExisting() const;
    void setOverwriteExisting(bool overwriteExisting);

    // The fixed lists the settings choose from.
    static const QStringList& fileFormats();
    static const QStringList& nameFormats();
    static const QStringList& uploadFolders();
    static QString toolTipNormalizeOrientation();

    QVariant valueForKey(const QString& key) const override;

    QStringList archiveClassHierarchy() const override;

private:
    QString textOption(const QString& key) const;
    bool flagOption(const QString& key) const;
    std::optional<qint64> numberOption(const QString& key) const;
};
