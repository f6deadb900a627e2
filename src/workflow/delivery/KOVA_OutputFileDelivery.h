#pragma once

#include "platform/Error.h"
#include "workflow/outputs/KOVA_OutputDelivery.h"

#include <QSet>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <map>
#include <memory>
#include <mutex>

class KOVA_Job;
class KOVA_PrintToFileSet;

// Writes an output's picture, or a copy of the customer's original image, as an image file
// for a file destination: into the print-to-file set the destination names (its folder,
// name format, file type, upload folder, pixel limit and overwriting), else into the folder
// or beside the file the destination's path gives, else into the fallback output folder.
// Files for an upload folder carry upload information in their EXIF user comment.
//
// A file written earlier in the same job is never replaced, whatever the overwriting says:
// two outputs of one image in one job would otherwise destroy each other. The names written
// are kept per job (for as long as the job lives) and a clash takes the next free name.
// Thread-safe: outputs of one job deliver on several queues at once.
class KOVA_OutputFileDelivery : public KOVA_OutputDelivery {
public:
    static inline const QString UploadInfoVersion = QStringLiteral("KOVA-XML v1.0");
    static inline const QString StampFormat = QStringLiteral("yyyy-MM-dd_HH-mm-ss.SSS");
    // Below the home folder.
    static inline const QString FallbackFolder = QStringLiteral("Desktop/PrintToFileOutputs/Unknown");
    // The file-name base when the output knows no original image.
    static inline const QString UnnamedImage = QStringLiteral("image");
    static constexpr double Quality = 0.9;
    // The pixel limit of a set that gives none.
    static constexpr qint64 NoPixelLimit = 2147483647;

    void deliver(KOVA_Output& output, const QImage& picture, const std::shared_ptr<KOVA_Destination>& destination,
                 const Reply& reply) override;
    void deliverOriginal(KOVA_Output& output, const std::shared_ptr<KOVA_Destination>& destination,
                         const Reply& reply) override;

    // The original image file; when the path names no image and the job is a bundle, the
    // path taken inside the bundle's "Images" folder. Empty without an original path.
    QUrl urlOriginalImage(const KOVA_Output& output) const;
    // The original image's name (or "image") without extension, "_" and the date stamp.
    QString outputFilenameForDestination(const KOVA_Output& output, const KOVA_Destination& destination) const;
    // The file the destination's own path gives (the fallback folder without one).
    QString outputPathForDestination(const KOVA_Output& output, const KOVA_Destination& destination) const;
    // The file in the set's folder, named after the original image in the set's name format;
    // empty without a set.
    QString outputPathForPTFS(const KOVA_Output& output, const KOVA_PrintToFileSet* set) const;
    // The upload information as XML property-list text: "OriginalPath" and "f" of `info`
    // with the version, under "uploadInfo"; null without "f" or when it cannot be written.
    QString exifCommentForDictionary(const QVariantMap& info) const;
    // Copies the original image for a file destination that asks for it and reports once;
    // does nothing (and reports nothing) for any other destination.
    void processSaveOriginalDestination(KOVA_Output& output, const KOVA_Destination& destination, const Reply& reply);

private:
    using JobKey = std::weak_ptr<const KOVA_Job>;

    // Where a destination's file goes and with which settings.
    struct Target {
        QString path;
        QString uploadSite;
        bool overwrite = false;
        platform::Error refusal; // why nothing may be written there; null when it may
    };
    // The file to write and whether an existing one may be replaced.
    struct Claim {
        QUrl url;
        bool overwrite = false;
    };

    static std::shared_ptr<KOVA_PrintToFileSet> namedSet(const KOVA_Destination& destination);
    Target setTarget(const KOVA_Output& output, const KOVA_PrintToFileSet& set) const;
    // The target of a destination without a set: its own path, refused (and logged) when a
    // ".." component would lead out of the folder it names.
    Target destinationTarget(const KOVA_Output& output, const KOVA_Destination& destination, bool overwrite) const;
    // Reports (false, the refusal) for a refused target; whether it did.
    static bool reportedRefusal(const Target& target, const Reply& reply);
    // Where the picture goes; the writer's type and downsampling go into `options`.
    Target pictureTarget(const KOVA_Output& output, const KOVA_Destination& destination, QVariantMap& options) const;
    Target originalTarget(const KOVA_Output& output, const KOVA_Destination& destination) const;
    QString uploadComment(const Target& target) const;
    QString templateNamePart(const KOVA_Output& output) const;
    static QString ckTemplateNamePart(const KOVA_Output& output);

    Claim claim(const KOVA_Output& output, const QUrl& file, bool overwrite);
    void release(const KOVA_Output& output, const QUrl& file);

    std::mutex m_mutex; // guards m_written
    std::map<JobKey, QSet<QString>, std::owner_less<JobKey>> m_written; // paths per job
};
