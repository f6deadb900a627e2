#pragma once

#include "core/foundation/ZORVAK_Audited.h"
#include "platform/Error.h"
#include "platform/observation/Observable.h"
#include "platform/plist/Archivable.h"
#include "platform/xml/XmlDocument.h"
#include "template/KOVA_Template.h"
#include "template/KOVA_TemplatePackage.h"
#include "workflow/jobs/KOVA_JobPackage.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class ZORVAK_Image;

namespace platform {
class Progress;
}

// One job ticket in memory: its values (keys of the XML vocabulary), its package
// descriptions, its ticket file and job bundle, and its preview items. Made from a
// ticket path, file URL or UTF-8 data by instanceWithXMLObject(); a ticket that cannot
// be read or parsed gives no job. Values are read under a lock, so packages running
// in parallel may look them up. A job may also be built up in memory (init(), the
// add... operations) and written as a job bundle (writeToURL()).
//
// Changes of values are announced to observers under the value's key, the list of
// outputs under "outputs".
class KOVA_Job : public KOVA_TemplateJob,
                 public platform::Observable,
                 public ZORVAK_Audited,
                 public std::enable_shared_from_this<KOVA_Job> {
public:
    static inline const QString ClassName = QStringLiteral("KOVA_Job");
    // Largest ticket read; a longer file is refused with a logged error.
    static constexpr qint64 MaximumTicketSize = platform::XmlDocument::MaximumInputSize;
    // Most items a job bundle contributes to the preview items.
    static constexpr int MaximumPreviewItems = 10000;

    // Units of work of a whole job: parsing takes 10, the packages share the rest.
    static constexpr qint64 ProgressUnitCount = 100;
    static constexpr qint64 ParseUnitCount = 10;
    // Units of the counter of one package run.
    static constexpr qint64 PackageUnitCount = 10;

    // Called once with the parse's or the run's error, or a null error on success.
    using Completion = std::function<void(const platform::Error& error)>;
    // Called once with whether a bundle was written and the error when not.
    using WriteResult = std::function<void(bool success, const platform::Error& error)>;
    // Receives the URL written and no error, or no URL and the error.
    using SaveReply = KOVA_Template::SaveReply;

    // An image to write into a job bundle, and the template the image is meant for
    // (none when it has no template of its own).
    struct Image {
        QUrl url;
        KOVA_Template::Pointer templateObject;
    };

    ~KOVA_Job() override;

    // An empty job to be built up and written: "type" kova_job, "version" 1.1.
    static std::shared_ptr<KOVA_Job> init();

    // A parsed job from a ticket path, a file URL (a ticket file or a job bundle) or
    // UTF-8 data; null when there is no ticket or it cannot be read or parsed (logged,
    // with the ticket's path). Files whose names begin with "receipt" are no tickets.
    static std::shared_ptr<KOVA_Job> instanceWithXMLObject(const QVariant& object);
    // A job holding the parsed ticket text, not yet read into values (parseXML());
    // null, with the parser's error logged, when the text is no XML document.
    static std::shared_ptr<KOVA_Job> initWithXML(const QString& text);

    // Reads the parsed ticket into the job's values in its dialect, refusing native
    // tickets outside versions 1.0 to 1.99, then makes the preview items. Without a
    // completion an error is logged.
    void parseXML(const Completion& completion);
    void makePreviewItems();

    QVariantMap valuesDict() const;
    QVariant value(const QString& key) const;
    // Stores `value` under `key`, announced under the key, when it differs from the
    // stored value; an empty value removes the key.
    void setValue(const QString& key, const QVariant& value);
    QUrl documentURL() const { return m_documentURL; }
    QUrl urlJobContainer() const { return m_urlJobContainer; }
    std::shared_ptr<platform::XmlDocument> xmlDoc() const { return m_xmlDoc; }

    QString jobType() const;
    // "version" as a number; 0 when missing, not a number or not finite.
    double version() const;
    QString pluCode() const;
    QString destinationLabel() const;
    QVariantMap replacements() const;
    QVariantList jobPackages() const;
    QString packageName() const;
    QString packageLabel() const;
    // The job bundle's name, else the ticket's, without extension; else empty.
    QString name() const;
    // The job's picture: "imagepath", else the first package's "image1", as a path
    // (see picturePath).
    QString graphicPath() const override;
    // Where a picture the ticket names lies: an absolute name as it is; a relative one
    // inside the job's own folder only, the bundle's Images folder, else (a bare ticket)
    // the first of barePictureFolders() that holds it, else beside the ticket. A name
    // that leads out of its folder gives none; a ticket given as data, which has no
    // folder, keeps the name.
    QString picturePath(const QString& name) const;
    // When the ticket file was last changed, else now.
    QDateTime dateStarted() const;
    // The image at graphicPath(); null without a file path or when it cannot be read.
    std::shared_ptr<ZORVAK_Image> previewImage() const;
    // A job stands for no template of its own.
    KOVA_Template::Pointer templateObject() const { return nullptr; }
    QStringList auditedProductKeys() const override { return {QStringLiteral("thumbnail")}; }
    QVariant valueForKey(const QString& key) const override;

    // The job's counter: 100 units, 10 of them done once the ticket is parsed.
    std::shared_ptr<platform::Progress> progress() const { return m_progress; }
    // Runs every package of the job at the same time and returns when all are done,
    // after calling `completion` with the last error a package run gave (null when all
    // succeeded). The progress then stands at its total.
    void processJob(const Completion& completion);
    // Hands the job to the job processor, which runs it once no other job runs and
    // files its ticket; returns at once when called on the main queue.
    void processToCompletion();

    // ---- Building a job for writing ----

    // Merges `replacements` into the replacement values: new names are added, texts
    // and numbers replaced, dictionaries and lists of the same kind extended.
    void addReplacements(const QVariantMap& replacements);
    void addTemplates(const KOVA_Template::List& templates);
    // Adds the images; an image with a template also names that template for its file
    // name and adds the template.
    void addImages(const QList<Image>& images);
    // Adds the packages and makes them the job's package descriptions.
    void addPackages(const QList<KOVA_JobPackage::Pointer>& packages);
    // Appends the outputs (KOVA_Output objects) to the value "output", announcing "outputs".
    void addOutputs(const QList<std::shared_ptr<platform::Archivable>>& outputs);
    // The outputs the value "output" holds.
    QList<std::shared_ptr<platform::Archivable>> outputs() const;
    QList<KOVA_JobPackage::Pointer> packages() const;
    KOVA_Template::List templates() const;
    QList<QUrl> images() const;

    // ---- Written form ----

    static QString xmlVersionString() { return QStringLiteral("1.0"); }
    static QString xmlElementName() { return QStringLiteral("job"); }
    QList<std::pair<QString, QString>> xmlElementAttributes() const;
    QList<platform::XmlNode> xmlElementChildren() const;
    platform::XmlNode asXMLElement() const;
    std::shared_ptr<platform::XmlDocument> asXMLDocument() const;
    // Writes the job as a job bundle at `url`, which must not exist yet; the bundle
    // appears there complete or not at all.
    void writeToURL(const QUrl& url, const WriteResult& result) const;

    // The name translations of the template file format, which the written form shares.
    static QStringList availableChildren() { return {}; }
    static QStringList attributesForChild(const QString& childKey);
    static QString translatedChildName(const QString& key);
    static QString translatedAttributeName(const QString& key);
    static QString translatedAttributeValue(const QString& value);
    static std::pair<QString, QString> xmlAttributeTranslatedName(const QString& key, const QString& value);
    // A job is not saved this way: with neither `url` nor a ticket file it reports
    // "No filepathURL specified"; otherwise nothing is written and nothing reported.
    void filePath(const QUrl& url, const SaveReply& saveChanges) const;

    // The value stored for `key` under `metaKey` ("key" when empty: replacement values;
    // "template", "croprect", "rotation", "stamp") in the package description named by
    // `packageName` (a trailing "PRT" or "LS" ignored; matched by product code or
    // name, else the first description), falling back to the job's own values.
    QVariant valueForKey(const QString& key, const QString& packageName, const QString& metaKey) const;
    QVariant valueForKey(const QString& key, const QString& packageName) const override;
    QVariant templateForKey(const QString& key, const QString& packageName) const override;
    QVariant cropRectForKey(const QString& key, const QString& packageName) const override;
    QVariant rotationForKey(const QString& key, const QString& packageName) const override;
    // "filename" answers the file name of the image path, any other key itself.
    QVariant stampForKey(const QString& key, const QString& packageName) const;

    // Two jobs are one when they read the same ticket file; a job given as data
    // equals only itself.
    bool isEqual(const KOVA_Job& other) const;
    size_t hash() const;

    // File URLs, or invalid values for paths that give none.
    QVariantList previewItems() const;
    qsizetype previewItemsCount() const { return previewItems().size(); }
    // The current item's index; -1 while there is no current item.
    qint64 previewItemIndex() const;
    void setPreviewItemIndex(qint64 index);
    QUrl previewItemURL() const;

private:
    struct Ticket;
    struct Run;

    explicit KOVA_Job(std::shared_ptr<platform::XmlDocument> document);
    static std::optional<Ticket> ticketFromData(const QByteArray& data);
    static std::optional<Ticket> ticketAtPath(const QString& path);
    static std::shared_ptr<KOVA_Job> withTicket(const Ticket& ticket);
    platform::Error readTicket();
    static platform::Error versionError(const QVariantMap& values);
    void appendBundlePreviewItems(QVariantList& items) const;
    void appendBarePreviewItems(QVariantList& items) const;
    QStringList barePictureFolders() const;
    static QVariantMap packageDescriptionNamed(const QVariantMap& values, const QString& packageName);
    static QVariant stampAnswer(const QVariantMap& values, const QString& key);
    void processPackage(const QVariantMap& description, qint64 share, const std::shared_ptr<Run>& run);
    // The description as the package lookup is given it: its first image where
    // picturePath() finds it, so that the lookup never opens a name on its own.
    QVariantMap lookupDescription(QVariantMap description) const;
    static platform::Error namesNoPackageError(const QString& jobName);

    const std::shared_ptr<platform::Progress> m_progress;

    std::shared_ptr<platform::XmlDocument> m_xmlDoc;
    QUrl m_documentURL;
    QUrl m_urlJobContainer;

    mutable std::mutex m_mutex; // guards the fields below
    QVariantMap m_valuesDict;
    QVariantList m_previewItems;
    qint64 m_previewItemIndex = -1;
    QUrl m_previewItemURL;
    QList<KOVA_JobPackage::Pointer> m_packages;
    KOVA_Template::List m_templates;
    QList<QUrl> m_images;
};
