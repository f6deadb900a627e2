#pragma once

#include "platform/Error.h"
#include "platform/xml/XmlNode.h"
#include "template/KOVA_Template.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>

class KOVA_Output;
class ZORVAK_Image;

namespace platform {
class DispatchQueue;
class XmlDocument;
}

// The older product description: one XML document naming a product (PLU code,
// product identifier, name, icon), its price table, outputs and layout templates,
// with a renderer and a JPEG writer of its own. Every value read lives in one map,
// keyed by the element names; rendered images are cached there too.
class KOVA_Asset : public std::enable_shared_from_this<KOVA_Asset> {
public:
    using Pointer = std::shared_ptr<KOVA_Asset>;
    using OutputList = QList<std::shared_ptr<KOVA_Output>>;
    using TemplateBlock = std::function<void(const KOVA_Template::Pointer&)>;
    using DestinationCompletion = std::function<void(const QString& path, const platform::Error& error)>;
    using Completion = std::function<void(bool success, const platform::Error& error)>;
    using CanvasCompletion = std::function<void(const QVariantMap& images)>;

    static inline const QString ClassName = QStringLiteral("KOVA_Asset");

    // A path text (a file, not a folder), a URL or UTF-8 bytes; null when nothing
    // readable results or the text is not XML.
    static Pointer assetWithXMLObject(const QVariant& object);
    static Pointer initWithXML(const QString& text);

    std::shared_ptr<platform::XmlDocument> xmlDoc() const;
    // A new document is parsed at once, on the calling thread.
    void setXmlDoc(const std::shared_ptr<platform::XmlDocument>& document);
    // The texts and the price table, keyed by element name.
    QVariantMap valuesDict() const;
    // Stores a template under an outlet key (parsing fills only "layout" and "canvas").
    void setTemplateForKey(const QString& key, const KOVA_Template::Pointer& productTemplate);
    QUrl documentURL() const;

    QString pluCode() const;
    QString productID() const;
    QString name() const;
    QVariantMap price() const;
    OutputList outputs() const;
    QMap<QString, KOVA_Template::Pointer> kovaNodes() const;
    KOVA_Template::Pointer templateForKey(const QString& key) const;

    void parseXML();
    QString description() const;
    static void logNode(const platform::XmlNode& node);

    static const QStringList& allOutletKeys();
    static const QStringList& knownParents();
    // The older model keeps no list of the outlets it offers: both answer nothing.
    QStringList availableOutletKeys() const;
    QList<KOVA_Template::Pointer> availableOutlets() const;
    KOVA_Template::Pointer firstOutlet() const;
    // The outlet whose image layer is closest in shape to the image's.
    KOVA_Template::Pointer outletForImage(const QVariant& image) const;
    void processingQueue(const std::shared_ptr<platform::DispatchQueue>& queue, const TemplateBlock& block) const;

    QImage createProductImage() const;
    QImage createProductImageForTemplate(const KOVA_Template::Pointer& productTemplate) const;
    QImage imageForTemplate(const KOVA_Template::Pointer& productTemplate);
    void createComposedCanvas(const CanvasCompletion& completion) const;

    static bool writeImage(const QImage& image, const QVariant& destination, platform::Error* error);
    void processTemplateToDestination(const QVariant& destination, const DestinationCompletion& completion) const;
    // Blocks until every output has finished.
    void processToCompletion(const Completion& completion) const;

    static std::shared_ptr<platform::DispatchQueue> sharedRenderingQueue();

private:
    KOVA_Asset() = default;

    void readElement(const platform::XmlNode& element, QVariantMap& priceTable);
    bool readPrice(const platform::XmlNode& element, QVariantMap& priceTable);
    bool readOutput(const platform::XmlNode& element);
    bool readTemplate(const platform::XmlNode& element);
    QImage renderTemplate(const KOVA_Template& productTemplate, bool crops) const;
    std::shared_ptr<ZORVAK_Image> pictureForLayer(const KOVA_Template& layer) const;

    mutable std::mutex m_mutex;
    std::shared_ptr<platform::XmlDocument> m_xmlDoc;
    QVariantMap m_valuesDict;
    QMap<QString, KOVA_Template::Pointer> m_outlets;
    QMap<QString, KOVA_Template::Pointer> m_nodes;
    OutputList m_outputs;
    // Rendered images by template name, kept until the asset goes.
    QMap<QString, QImage> m_images;
    QUrl m_documentURL;
};
