#pragma once

#include "platform/Error.h"
#include "platform/xml/XmlDocument.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <memory>

class KOVA_Job;

// Writes a job as a job bundle: the ticket "job.xml" (root "data", type kova_job,
// version 1.0: the replacement values, each with its crop rectangle, rotation and
// template; the job's packages written inline; the image list), the job's images in
// "images" and the templates of its packages and its own in "templates". The bundle
// is assembled under a hidden name in the destination folder and renamed into place,
// never over an existing item. Two different files that would share one name in the
// bundle fail the write, naming both; the same bytes under one name are written once.
class KOVA_JobWriter {
public:
    // Largest image or template file copied into a bundle.
    static constexpr qint64 MaximumFileSize = qint64(1) << 30;
    static inline const QString imagesFolderName = QStringLiteral("images");
    static inline const QString templatesFolderName = QStringLiteral("templates");

    // The element children of the job: its values, its packages, its image list.
    static QList<platform::XmlNode> elementChildren(const KOVA_Job& job);
    // The job as a standalone "job" element.
    static platform::XmlNode element(const KOVA_Job& job);
    // The ticket document, its root renamed "data".
    static std::shared_ptr<platform::XmlDocument> document(const KOVA_Job& job);
    // Writes the bundle at `url`; false with `error` set when nothing was written.
    static bool writeBundle(const KOVA_Job& job, const QUrl& url, platform::Error* error);

private:
    // Bundle file name -> path of the file that provides its bytes.
    using Files = QMap<QString, QString>;

    static QList<platform::XmlNode> valueElements(const QVariantMap& values);
    static platform::XmlNode textElement(const QString& name, const QString& text);
    static platform::XmlNode dictionaryElement(const QString& name, const QVariantMap& entries);
    static platform::XmlNode expandedElement(const QString& name, const QVariant& filepath, const QVariantMap& values);
    static platform::XmlNode imageListElement(const QList<QUrl>& images);
    static void appendChild(platform::XmlNode& parent, const platform::XmlNode& child, const QString& name);

    static bool collectImages(const KOVA_Job& job, Files& files, platform::Error* error);
    static bool collectTemplates(const KOVA_Job& job, Files& files, platform::Error* error);
    static bool addFile(Files& files, const QString& path, platform::Error* error);
    static bool writeEntries(const QString& folder, const QByteArray& ticket, const Files& images,
                             const Files& templates, platform::Error* error);
    static bool writeFolder(const QString& folder, const Files& files, platform::Error* error);
};
