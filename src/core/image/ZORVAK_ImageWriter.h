#pragma once

#include "platform/Error.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <functional>

// Keys of the options of ZORVAK_ImageWriter::writeImage(); every key is optional.
inline const QString zorvakImageKey_exifComment = QStringLiteral("zorvakImage_exifComment");                 // text
inline const QString zorvakImageKey_exifNote = QStringLiteral("zorvakImage_exifNote");                       // text
inline const QString zorvakImageKey_downsample = QStringLiteral("zorvakImage_downsample");                   // bool
inline const QString zorvakImageKey_maxPixelLength = QStringLiteral("zorvakImage_maxPixelLength");           // pixels
inline const QString zorvakImageKey_overwriteExistingFile = QStringLiteral("zorvakImage_overwriteExistingFile"); // bool
inline const QString zorvakImageKey_lossyCompressionQuality = QStringLiteral("zorvakImage_lossyCompressionQuality"); // 0.0-1.0
inline const QString zorvakImageKey_utType = QStringLiteral("zorvakImage_utType");                           // type identifier

// Writes every image file the system produces. Files appear atomically: they
// are written under a hidden name in the target folder and renamed into place,
// and without overwriting a free name is claimed in the same step, so two
// writers never take the same one. A link found at a file's name is replaced
// by the file, never written through: output folders are shared with other
// programs. Every failure is logged with the path and the reason. Thread-safe.
class ZORVAK_ImageWriter {
public:
    ZORVAK_ImageWriter() = delete;

    // Option keys honoured when the writer's own keys are absent.
    static inline const QString exifUserCommentKey = QStringLiteral("UserComment");
    static inline const QString exifMakerNoteKey = QStringLiteral("MakerNote");
    static inline const QString lossyCompressionQualityKey = QStringLiteral("kCGImageDestinationLossyCompressionQuality");

    // Encodes `image` once into each destination file with the options' type
    // (default JPEG, the file name taking the type's extension), quality
    // (default 0.85), EXIF user comment (default "KOVA comment"), maker note
    // (default "KOVA XML"), the original date (now), the digitised date (when
    // each file is written) and orientation 1, downsampled to the maximum pixel
    // length when asked. Missing folders are made; without overwriting (the
    // default is to overwrite) a file is written under the next free name.
    // A destination that fails is skipped and the others are still written;
    // the answer is true only when every destination was written, and `error`
    // holds the first failure.
    static bool writeImage(const QImage& image, const QList<QUrl>& destinations, const QVariantMap& options = {},
                           platform::Error* error = nullptr);
    static bool writeImage(const QImage& image, const QUrl& destination, const QVariantMap& options = {},
                           platform::Error* error = nullptr);

    // Pays, once per process, what the first picture written would otherwise
    // pay for its metadata: the metadata writer and the date formatting data.
    // Part of ZORVAK_Image::prepareForDrawing(). Thread-safe.
    static void prepareForWriting();

    // Copies the JPEG `source` (a file or its bytes) to `destination` without
    // re-encoding it, with `addingEXIFUserComment` merged into its metadata
    // when not empty. A source that is not a JPEG, or a comment that cannot be
    // added, fails and writes nothing.
    static bool writeImageFile(const QUrl& source, const QUrl& destination, const QString& addingEXIFUserComment,
                               bool overwriteExisting, platform::Error* error = nullptr);
    static bool writeImageFile(const QByteArray& source, const QUrl& destination,
                               const QString& addingEXIFUserComment, bool overwriteExisting,
                               platform::Error* error = nullptr);

    // Makes the folder that would hold the file, with its missing parents; an
    // existing folder is fine. False without an error for a URL with no parent.
    static bool makeEnclosingDirectoryForFileURL(const QUrl& url, platform::Error* error = nullptr);

    // A URL of a file that does not exist yet: the URL itself, else the same
    // name with " 1", " 2", ... before the extension ("print 7.jpeg" is
    // followed by "print 8.jpeg"). Only a hint: the writers claim the name
    // atomically when they write.
    static QUrl URLWithoutOverwriting(const QUrl& url);
    // As above, passing over as well every name `isTaken` refuses (names other
    // writers of the caller are about to write).
    static QUrl URLWithoutOverwriting(const QUrl& url, const std::function<bool(const QUrl&)>& isTaken);

    // The file writeImage() writes for `destination` in the type `utType`: the
    // name's last extension replaced by the type's (removed when it has none).
    static QUrl URLWithExtensionOfType(const QUrl& destination, const QString& utType);
};
