#pragma once

#include "platform/Error.h"
#include "workflow/outputs/KOVA_OutputDelivery.h"

#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class KOVA_Output;

namespace platform {
class DispatchQueue;
}

// Hands an output's picture to the print-centre program Pressoria by placing one item into
// its hot folder: a print-job bundle (N.kovaprintjob/Contents holding the picture N.jpeg and
// the print settings N.plist) or, when the destination names no settings, an archived print
// page N.jpeg.printpage. N is the original image's file name, the paper name (or "image") and
// a time stamp, made unique when another delivery holds the same name.
//
// A bundle is assembled in the process's temporary folder and arrives in the hot folder in
// one step; a page is written there in one step and refers to its picture, which is kept in
// a durable folder Pressoria reads it from later and arrives there whole. A failure leaves
// nothing in the hot folder and nothing of its own behind. Deliveries may run at once on
// different queues.
class KOVA_OutputPrintCentreDelivery : public KOVA_OutputDelivery {
public:
    // Pressoria's preference suite and the key of its hot folder's URL.
    static inline const QString PressoriaSuiteName = QStringLiteral("com.morvanta.KovaPressoria64");
    static inline const QString HotFolderKey = QStringLiteral("urlFolderJobsToBePrinted");

    // Failures of this delivery, in the "defaults" domain.
    static constexpr qint64 NoHotFolderCode = -35;
    static constexpr qint64 NoOriginalImagePathCode = -34;
    static constexpr qint64 NoPictureURLCode = -33;
    static constexpr qint64 NoPrintPageCode = -36;

    // Largest settings file of a job read or copied into a bundle.
    static constexpr qint64 MaximumSettingsFileSize = 16 * 1024 * 1024;

    // Reports once per destination: whether the item arrived, and the error when not.
    void deliver(KOVA_Output& output, const QImage& picture, const std::shared_ptr<KOVA_Destination>& destination,
                 const Reply& reply) override;
    // Printers print no originals; an output never asks for them.
    void deliverOriginal(KOVA_Output& output, const std::shared_ptr<KOVA_Destination>& destination,
                         const Reply& reply) override;

    // The hot folder, when Pressoria names one that exists.
    static QUrl hotFolderURL();
    // The process's folder for assembling bundles, made on first use and again when it has
    // disappeared; never empty.
    static QUrl temporaryDirectoryURL();
    // The serial queue that guards the temporary folder.
    static std::shared_ptr<platform::DispatchQueue> atomicQueue();
    // Where the pictures of print pages are kept: $XDG_DATA_HOME/Morvanta/KOVA/PrintPictures.
    static QString printPicturesFolderPath();

    // N without the picture's extension: the original's file name, "_", the paper name or
    // "image", "_", the local time "yyyy-MM-dd_HH-mm-ss.SSSSS"; empty without an original.
    static QString printPictureName(const KOVA_Output& output, const KOVA_Destination& destination);
    // The job's settings file the destination names ("filepath" inside the job bundle); empty
    // when there is none or the path leads out of the job bundle.
    static QUrl printSettingsFileURL(const KOVA_Output& output, const KOVA_Destination& destination);
    // The print settings Pressoria reads from a bundle, for the picture named `pictureName`.
    static QVariantMap printSettings(const KOVA_Destination& destination, const QString& pictureName);

    // Assembles a bundle around the written picture and moves it into the hot folder, with
    // `settings` (overlaying the settings file's entries when it holds a dictionary), or
    // without them a copy of the settings file. On failure nothing of the bundle remains, the
    // picture included.
    static bool writePrintJobBundle(const QUrl& picture, const QUrl& hotFolder, const QUrl& settingsFile,
                                    const std::optional<QVariantMap>& settings, platform::Error* error);
    // Writes the archived print page for the written picture into the hot folder; on failure
    // the picture is removed, as no page refers to it.
    static bool writePrintPage(const QUrl& picture, const QUrl& hotFolder, const KOVA_Destination& destination,
                               platform::Error* error);

private:
    enum class Form { Settings, CopiedSettings, Page };
    // Whether an item other than the claimed picture already uses the name `pictureBase`.
    using NameTaken = std::function<bool(const QString& pictureBase)>;
    // Makes an item at `path`, failing with EEXIST when something is there.
    using PathClaim = std::function<bool(const QString& path, platform::Error* error)>;

    static bool deliverToPrintCentre(const KOVA_Output& output, const QImage& picture,
                                     const KOVA_Destination& destination, platform::Error* error);
    static Form formFor(const KOVA_Destination& destination, const QUrl& settingsFile);
    // The names in use for the form's items; a bundle is assembled in `assembly`.
    static NameTaken takenNames(Form form, const QString& assembly, const QUrl& hotFolder);
    static QUrl claimedPictureURL(Form form, const QString& name, const QUrl& hotFolder);
    static QUrl claimedPictureURL(const QString& folder, const QString& name, const NameTaken& taken,
                                  const PathClaim& claimPath, platform::Error* error);
    static QUrl keptPictureURL(const QUrl& picture, const QString& name, const QUrl& hotFolder, platform::Error* error);
    static QByteArray archivedPrintPage(const QUrl& picture, const KOVA_Destination& destination,
                                        platform::Error* error);
    static std::optional<QByteArray> settingsData(const QUrl& settingsFile, const std::optional<QVariantMap>& settings,
                                                  platform::Error* error);
};
