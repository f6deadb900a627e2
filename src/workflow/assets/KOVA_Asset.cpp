#include "workflow/assets/KOVA_Asset.h"

#include "core/image/ZORVAK_Image.h"
#include "core/image/ZORVAK_ImageWriter.h"
#include "platform/Log.h"
#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/files/BoundedFileRead.h"
#include "platform/xml/XmlDocument.h"
#include "template/KOVA_ProductImageComposer.h"
#include "workflow/outputs/KOVA_Output.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>

namespace {

const QString PriceQuantityName = QStringLiteral("quantity");
const QString PriceStartAttribute = QStringLiteral("start");
const QString ImageCacheKey = QStringLiteral("com.morvanta.kova.template.%1");
// An asset document is a small XML file; anything larger is not read.
constexpr qint64 MaximumDocumentSize = platform::XmlDocument::MaximumInputSize;

const QStringList& simpleElementNames()
{
    static const QStringList names{QStringLiteral("plucode"), QStringLiteral("productid"), QStringLiteral("name"),
                                   QStringLiteral("icon")};
    return names;
}

const QStringList& templateElementNames()
{
    static const QStringList names{QStringLiteral("layout"), QStringLiteral("portrait"), QStringLiteral("landscape"),
                                   QStringLiteral("square")};
    return names;
}

bool hasName(const platform::XmlNode& element, const QString& name)
{
    return element.name().compare(name, Qt::CaseInsensitive) == 0;
}

std::optional<QString> documentText(const QVariant& object, QUrl& url)
{
    if (object.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(object.toByteArray());
    if (object.typeId() == QMetaType::QString)
        url = QUrl::fromLocalFile(object.toString());
    else if (object.typeId() == QMetaType::QUrl)
        url = object.toUrl();
    else
        return std::nullopt;
    const QString path = url.toLocalFile();
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return std::nullopt;
    platform::BoundedFileRead file(path, MaximumDocumentSize);
    const std::optional<QByteArray> bytes = file.readAll();
    if (!bytes)
        return std::nullopt;
    auto decoder = QStringDecoder::decoderForHtml(*bytes);
    return decoder.isValid() ? decoder.decode(*bytes) : QString::fromUtf8(*bytes);
}

QString destinationPath(const QVariant& destination)
{
    if (destination.typeId() == QMetaType::QUrl)
        return destination.toUrl().toLocalFile();
    return destination.typeId() == QMetaType::QString ? destination.toString() : QString();
}

// The layer's shape against the image's: 1 for the same aspect ratio, toward 0 apart.
double shapeScore(double imageRatio, const QRectF& frame)
{
    const double layerRatio = frame.width() / frame.height();
    return std::min(imageRatio, layerRatio) / std::max(imageRatio, layerRatio);
}

// The older model draws every layer on its background colour (also a layer without a
// background), unturned, its border as wide as the layer says.
KOVA_DrawingOptions drawingOptions(const KOVA_Template& layer)
{
    KOVA_DrawingOptions options = KOVA_DrawingOptions::ofLayer(layer, layer.borderWidth());
    options.backgroundColorCode = layer.backgroundColorCode();
    options.rotation.reset();
    return options;
}

// A node as the log shows it: its XML text, "(null)" for none.
QString nodeText(const platform::XmlNode& node)
{
    return node.isNull() ? QStringLiteral("(null)") : node.xmlString();
}

QString nodeListText(const QList<platform::XmlNode>& nodes)
{
    QStringList texts;
    for (const platform::XmlNode& node : nodes)
        texts.append(nodeText(node));
    return QStringLiteral("(%1)").arg(texts.join(QStringLiteral(", ")));
}

} // namespace

KOVA_Asset::Pointer KOVA_Asset::assetWithXMLObject(const QVariant& object)
{
    QUrl url;
    const std::optional<QString> text = documentText(object, url);
    if (!text)
        return nullptr;
    Pointer asset = initWithXML(*text);
    if (asset && !url.isEmpty())
        asset->m_documentURL = url;
    return asset;
}

KOVA_Asset::Pointer KOVA_Asset::initWithXML(const QString& text)
{
    platform::Error error;
    const auto document = platform::XmlDocument::parse(text, platform::XmlDocument::PreserveAll, &error);
    if (!document) {
        platform::Log::log(QStringLiteral("Error reading XML:%1").arg(error.description()));
        return nullptr;
    }
    Pointer asset(new KOVA_Asset);
    asset->setXmlDoc(document);
    return asset;
}

std::shared_ptr<platform::XmlDocument> KOVA_Asset::xmlDoc() const
{
    std::lock_guard lock(m_mutex);
    return m_xmlDoc;
}

void KOVA_Asset::setXmlDoc(const std::shared_ptr<platform::XmlDocument>& document)
{
    {
        std::lock_guard lock(m_mutex);
        m_xmlDoc = document;
    }
    parseXML();
}

QVariantMap KOVA_Asset::valuesDict() const
{
    std::lock_guard lock(m_mutex);
    return m_valuesDict;
}

void KOVA_Asset::setTemplateForKey(const QString& key, const KOVA_Template::Pointer& productTemplate)
{
    std::lock_guard lock(m_mutex);
    m_outlets.insert(key, productTemplate);
}

QUrl KOVA_Asset::documentURL() const
{
    std::lock_guard lock(m_mutex);
    return m_documentURL;
}

QString KOVA_Asset::pluCode() const { return valuesDict().value(QStringLiteral("plucode")).toString(); }
QString KOVA_Asset::productID() const { return valuesDict().value(QStringLiteral("productid")).toString(); }
QString KOVA_Asset::name() const { return valuesDict().value(QStringLiteral("name")).toString(); }
QVariantMap KOVA_Asset::price() const { return valuesDict().value(QStringLiteral("price")).toMap(); }

KOVA_Asset::OutputList KOVA_Asset::outputs() const
{
    std::lock_guard lock(m_mutex);
    return m_outputs;
}

QMap<QString, KOVA_Template::Pointer> KOVA_Asset::kovaNodes() const
{
    std::lock_guard lock(m_mutex);
    return m_nodes;
}

KOVA_Template::Pointer KOVA_Asset::templateForKey(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    return m_outlets.value(key);
}

// Each parse starts from an empty output list, so that reading a document again
// does not deliver its outputs twice; the other values are overwritten.
void KOVA_Asset::parseXML()
{
    const auto document = xmlDoc();
    if (!document)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_outputs.clear();
    }
    QVariantMap priceTable;
    for (const platform::XmlNode& child : document->rootElement().children()) {
        if (child.kind() == platform::XmlNodeKind::Comment)
            continue;
        if (child.kind() != platform::XmlNodeKind::Element) {
            platform::Log::log(QStringLiteral("Found unexpected XML element kind:\n%1").arg(unsigned(child.kind())));
            continue;
        }
        readElement(child, priceTable);
    }
}

void KOVA_Asset::readElement(const platform::XmlNode& element, QVariantMap& priceTable)
{
    bool read = false;
    const auto simple = std::find_if(simpleElementNames().begin(), simpleElementNames().end(),
                                     [&](const QString& name) { return hasName(element, name); });
    if (simple != simpleElementNames().end()) {
        read = !element.stringValue().isEmpty();
        if (read) {
            std::lock_guard lock(m_mutex);
            m_valuesDict.insert(*simple, element.stringValue());
        }
    } else if (hasName(element, QStringLiteral("price"))) {
        read = readPrice(element, priceTable);
    } else if (hasName(element, KOVA_Output::xmlElementName())) {
        read = readOutput(element);
    } else if (std::any_of(templateElementNames().begin(), templateElementNames().end(),
                           [&](const QString& name) { return hasName(element, name); })) {
        read = readTemplate(element);
    } else if (hasName(element, QStringLiteral("canvas")) && element.childCount() > 0) {
        const auto canvas = KOVA_Template::initWithNode(element, QUrl());
        read = canvas != nullptr;
        if (read)
            setTemplateForKey(QStringLiteral("canvas"), canvas);
    }
    if (!read) {
        platform::Log::log(QStringLiteral("Found unrecognized XML element:"));
        logNode(element);
    }
}

// One table serves every price element of the document: the last one wins.
bool KOVA_Asset::readPrice(const platform::XmlNode& element, QVariantMap& priceTable)
{
    priceTable.clear();
    for (const platform::XmlNode& quantity : element.children()) {
        if (quantity.kind() != platform::XmlNodeKind::Element || !hasName(quantity, PriceQuantityName)) {
            platform::Log::log(QStringLiteral("error! bad element kind %1 for element %2")
                                   .arg(unsigned(quantity.kind()))
                                   .arg(quantity.xmlString()));
            continue;
        }
        for (const platform::XmlNode& attribute : quantity.attributes()) {
            if (attribute.name() == PriceStartAttribute)
                priceTable.insert(attribute.stringValue(), quantity.stringValue());
            else if (quantity.index() == 0)
                priceTable.insert(QStringLiteral("1"), quantity.stringValue());
        }
    }
    if (priceTable.isEmpty())
        return false;
    std::lock_guard lock(m_mutex);
    m_valuesDict.insert(QStringLiteral("price"), priceTable);
    return true;
}

bool KOVA_Asset::readOutput(const platform::XmlNode& element)
{
    const auto output = KOVA_Output::initWithNode(element);
    if (!output)
        return false;
    output->setAsset(shared_from_this());
    platform::Log::log(output->description());
    std::lock_guard lock(m_mutex);
    m_outputs.append(output);
    return true;
}

// Whatever the element's name, the last template read is the layout.
bool KOVA_Asset::readTemplate(const platform::XmlNode& element)
{
    const auto productTemplate = KOVA_Template::initWithNode(element, QUrl());
    if (!productTemplate)
        return false;
    std::lock_guard lock(m_mutex);
    m_nodes.insert(productTemplate->name(), productTemplate);
    m_outlets.insert(QStringLiteral("layout"), productTemplate);
    return true;
}

QString KOVA_Asset::description() const
{
    return QStringLiteral("%1: {\n\tName: %2\n\tPLU Code: %3\n\tProduct ID: %4").arg(ClassName, name(), pluCode(), productID());
}

void KOVA_Asset::logNode(const platform::XmlNode& node)
{
    if (node.kind() != platform::XmlNodeKind::Element && node.kind() != platform::XmlNodeKind::Attribute) {
        platform::Log::log(QStringLiteral("xmlNode: %1\nChildCount:%2 Children:%3,nextNode:%4,next sibling:%5")
                               .arg(nodeText(node), QString::number(node.childCount()), nodeListText(node.children()),
                                    nodeText(node.nextNode()), nodeText(node.nextSibling())));
        return;
    }
    const bool isElement = node.kind() == platform::XmlNodeKind::Element;
    platform::Log::log(QStringLiteral("Kind: %1\nName: %2\nObject value: %3\nString value: %3\nNext node: %4\n"
                                      "Previous sibling: %5\nNext sibling: %6\n%7ChildCount: %8\nChildren: %9")
                           .arg(isElement ? QStringLiteral("Element") : QStringLiteral("Attribute"), node.name(),
                                node.stringValue(), nodeText(node.nextNode()), node.previousSibling().name(),
                                node.nextSibling().name(),
                                isElement ? QStringLiteral("Attributes: %1\n").arg(nodeListText(node.attributes())) : QString(),
                                QString::number(node.childCount()), nodeListText(node.children())));
    if (isElement && node.childCount() >= 2) {
        for (const platform::XmlNode& child : node.children())
            logNode(child);
    }
}

const QStringList& KOVA_Asset::allOutletKeys()
{
    static const QStringList keys{QStringLiteral("layout"), QStringLiteral("canvas"), QStringLiteral("portrait"),
                                  QStringLiteral("landscape"), QStringLiteral("square")};
    return keys;
}

const QStringList& KOVA_Asset::knownParents()
{
    static const QStringList parents{QStringLiteral("price"),  QStringLiteral("layer"),     QStringLiteral("layout"),
                                     QStringLiteral("canvas"), QStringLiteral("square"),    QStringLiteral("landscape"),
                                     QStringLiteral("portrait")};
    return parents;
}

QStringList KOVA_Asset::availableOutletKeys() const
{
    return {};
}

QList<KOVA_Template::Pointer> KOVA_Asset::availableOutlets() const
{
    return {};
}

KOVA_Template::Pointer KOVA_Asset::firstOutlet() const
{
    for (const QString& key : allOutletKeys()) {
        if (auto outlet = templateForKey(key))
            return outlet;
    }
    return nullptr;
}

KOVA_Template::Pointer KOVA_Asset::outletForImage(const QVariant& image) const
{
    const QSizeF size = ZORVAK_Image::sizeForImage(image);
    if (size.isEmpty())
        return nullptr;
    const double imageRatio = size.width() / size.height();
    double bestScore = 0;
    KOVA_Template::Pointer best;
    for (const QString& key : allOutletKeys()) {
        const auto outlet = templateForKey(key);
        if (!outlet)
            continue;
        for (const auto& layer : outlet->layers()) {
            if (!layer || !layer->isImageType() || !(layer->frame().height() > 0))
                continue;
            const double score = shapeScore(imageRatio, layer->frame());
            if (score > bestScore) {
                bestScore = score;
                best = outlet;
            }
        }
    }
    return best;
}

void KOVA_Asset::processingQueue(const std::shared_ptr<platform::DispatchQueue>& queue, const TemplateBlock& block) const
{
    for (const QString& key : allOutletKeys()) {
        if (auto outlet = templateForKey(key))
            queue->async([block, outlet] { block(outlet); });
    }
}

QImage KOVA_Asset::createProductImage() const
{
    return createProductImageForTemplate(firstOutlet());
}

QImage KOVA_Asset::createProductImageForTemplate(const KOVA_Template::Pointer& productTemplate) const
{
    return productTemplate ? renderTemplate(*productTemplate, true) : QImage();
}

// The canvas is left transparent; only the layers are drawn, never the template itself.
// A layer's crop is stored with rows counted from the bottom.
QImage KOVA_Asset::renderTemplate(const KOVA_Template& productTemplate, bool crops) const
{
    using Composer = KOVA_ProductImageComposer;
    Composer composer(productTemplate, KOVA_RenderOptions{.scale = productTemplate.scale()});
    return composer.composeLayers([this, crops](const KOVA_Template& layer) -> Composer::LayerPicture {
        const auto picture = pictureForLayer(layer);
        if (!picture)
            return {};
        if (crops && layer.layerType() != KOVA_Template::layerTypeTextbox)
            Composer::applyCrop(*picture, layer, Composer::CropRows::FromBottom);
        return {picture, drawingOptions(layer)};
    });
}

// Pictures are looked for as named, then in the folder of the asset's document.
std::shared_ptr<ZORVAK_Image> KOVA_Asset::pictureForLayer(const KOVA_Template& layer) const
{
    switch (layer.layerType()) {
    case KOVA_Template::layerTypeTextbox: {
        const auto attributes = layer.drawingAttributes();
        if (layer.stringValue().isEmpty() || !attributes)
            return nullptr;
        return ZORVAK_Image::imageWithDrawingString(layer.stringValue(), *attributes);
    }
    case KOVA_Template::layerTypeImage:
    case KOVA_Template::layerTypeGraphic: {
        if (auto picture = ZORVAK_Image::imageWithObject(layer.graphicPath()))
            return picture;
        const QUrl document = documentURL();
        if (document.isEmpty())
            return nullptr;
        return ZORVAK_Image::imageWithObject(QFileInfo(document.toLocalFile()).dir().filePath(layer.graphicPath()));
    }
    default:
        return nullptr;
    }
}

QImage KOVA_Asset::imageForTemplate(const KOVA_Template::Pointer& productTemplate)
{
    static const QString method = QStringLiteral("-[KOVA_Asset imageForTemplate:]");
    platform::Log::log(method);
    QImage image;
    sharedRenderingQueue()->sync([&] {
        platform::Log::log(QStringLiteral("%1_block_invoke").arg(method));
        const QString key = ImageCacheKey.arg(productTemplate ? productTemplate->name() : QString());
        {
            std::lock_guard lock(m_mutex);
            image = m_images.value(key);
        }
        if (!image.isNull())
            return;
        image = createProductImageForTemplate(productTemplate);
        if (!image.isNull()) {
            std::lock_guard lock(m_mutex);
            m_images.insert(key, image);
        }
    });
    platform::Log::log(method);
    return image;
}

void KOVA_Asset::createComposedCanvas(const CanvasCompletion& completion) const
{
    const auto queue = platform::DispatchQueue::createSerial(QStringLiteral("createComposedCanvas:.processor"));
    queue->async([self = shared_from_this(), completion] {
        QVariantMap images{{QStringLiteral("colorSpace"), QStringLiteral("sRGB")}};
        for (const QString& key : allOutletKeys()) {
            const auto outlet = self->templateForKey(key);
            const QImage image = outlet ? self->renderTemplate(*outlet, false) : QImage();
            if (!image.isNull())
                images.insert(outlet->name(), image);
        }
        completion(images);
    });
}

bool KOVA_Asset::writeImage(const QImage& image, const QVariant& destination, platform::Error* error)
{
    if (error)
        *error = {};
    const QString path = destinationPath(destination);
    const auto fail = [&](const QString& message) {
        if (error)
            *error = platform::Error{platform::Error::CocoaDomain, 0, message};
        else
            platform::Log::log(message);
        return false;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("Failed to create CGImageDestination for %1").arg(destination.toString()));
    const QVariantMap options{{zorvakImageKey_lossyCompressionQuality, 0.85}};
    if (!ZORVAK_ImageWriter::writeImage(image, QUrl::fromLocalFile(path), options))
        return fail(QStringLiteral("Failed to finalize image to %1").arg(path));
    return true;
}

// A render that yields no image is reported as a failure, with an error.
void KOVA_Asset::processTemplateToDestination(const QVariant& destination, const DestinationCompletion& completion) const
{
    const QString path = destinationPath(destination);
    const auto queue = platform::DispatchQueue::createSerial(path);
    queue->async([self = shared_from_this(), destination, path, completion] {
        const QImage image = self->createProductImage();
        if (image.isNull()) {
            completion({}, platform::Error{platform::Error::CocoaDomain, 1, QStringLiteral("failed to generate output image")});
            return;
        }
        platform::Error error;
        writeImage(image, destination, &error);
        completion(path, error);
    });
}

// The outputs run in parallel; their results meet under a lock, the last writer winning.
void KOVA_Asset::processToCompletion(const Completion& completion) const
{
    struct SharedResult {
        std::mutex mutex;
        bool success = true;
        platform::Error error;
    };
    const auto result = std::make_shared<SharedResult>();
    const auto group = platform::DispatchGroup::create();
    const auto queue = platform::DispatchQueue::global(platform::QoS::UserInitiated);
    // Deliveries report before processToCompletion returns, so the group counts the runs: an
    // output that reports twice, or never (one without destinations), still ends its run once.
    for (const auto& output : outputs()) {
        group->async(queue, [output, result] {
            output->processToCompletion([result](bool success, const platform::Error& error) {
                std::lock_guard lock(result->mutex);
                if (!success)
                    result->success = false;
                if (!error.isNull())
                    result->error = error;
            });
        });
    }
    group->wait();
    platform::Log::log(QStringLiteral("%1 %2 exited group wait").arg(description(), QStringLiteral("-[KOVA_Asset processToCompletion:]")));
    if (completion) {
        std::lock_guard lock(result->mutex);
        completion(result->success, result->error);
    }
}

std::shared_ptr<platform::DispatchQueue> KOVA_Asset::sharedRenderingQueue()
{
    static const auto queue = platform::DispatchQueue::createSerial(QStringLiteral("com.morvanta.kova.queue.sharedRenderingQueue"));
    return queue;
}
