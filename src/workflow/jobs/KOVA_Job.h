#pragma once

#include "platform/Error.h"
#include "platform/xml/XmlDocument.h"
#include "template/KOVA_TemplatePackage.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// One job ticket in memory: its values (keys of the XML vocabulary), its package
// descriptions, its ticket file and job bundle, and its preview items. Made from a
// ticket path, file URL or UTF-8 data by instanceWithXMLObject(); a ticket that cannot
// be read or parsed gives no job. Values are read under a lock, so packages running
// in parallel may look them up.
class KOVA_Job : public KOVA_TemplateJob, public std::enable_shared_from_this<KOVA_Job> {
public:
    static inline const QString ClassName = QStringLiteral("KOVA_Job");
    // Largest ticket read; a longer file is refused with a logged error.
    static constexpr qint64 MaximumTicketSize = platform::XmlDocument::MaximumInputSize;
    // Most items a job bundle contributes to the preview items.
    static constexpr int MaximumPreviewItems = 10000;

    // Called once with the parse's error, or a null error when the ticket was read.
    using Completion = std::function<void(const platform::Error& error)>;

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
    QString graphicPath() const override;

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
    // The current item's index; -1 while there is no current item.
    qint64 previewItemIndex() const;
    void setPreviewItemIndex(qint64 index);
    QUrl previewItemURL() const;

private:
    struct Ticket;

    explicit KOVA_Job(std::shared_ptr<platform::XmlDocument> document);
    static std::optional<Ticket> ticketFromData(const QByteArray& data);
    static std::optional<Ticket> ticketAtPath(const QString& path);
    static std::shared_ptr<KOVA_Job> withTicket(const Ticket& ticket);
    platform::Error readTicket();
    static platform::Error versionError(const QVariantMap& values);
    void appendBundlePreviewItems(QVariantList& items) const;
    void appendBarePreviewItems(QVariantList& items) const;
    static QVariantMap packageDescriptionNamed(const QVariantMap& values, const QString& packageName);
    static QVariant stampAnswer(const QVariantMap& values, const QString& key);

    std::shared_ptr<platform::XmlDocument> m_xmlDoc;
    QUrl m_documentURL;
    QUrl m_urlJobContainer;

    mutable std::mutex m_mutex; // guards the fields below
    QVariantMap m_valuesDict;
    QVariantList m_previewItems;
    qint64 m_previewItemIndex = -1;
    QUrl m_previewItemURL;
};
