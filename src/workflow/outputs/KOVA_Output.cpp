#include "workflow/outputs/KOVA_Output.h"

#include "core/codes/ZORVAK_2dCodeGenerator.h"
#include "core/image/BitmapContext.h"
#include "core/image/ImageProperties.h"
#include "core/image/ZORVAK_Image.h"
#include "platform/Log.h"
#include "platform/plist/KeyedArchiveFormat.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "platform/text/GeometryText.h"
#include "platform/text/StringValues.h"
#include "template/KOVA_ProductImageComposer.h"
#include "template/KOVA_XML_Keys.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/outputs/KOVA_OuputBarcode.h"
#include "workflow/outputs/KOVA_OutputDelivery.h"
#include "workflow/outputs/OutputArchiveValues.h"
#include "workflow/packages/KOVA_Package.h"
#include "workflow/packages/OutputElementReading.h"

#include <QHash>

#include <algorithm>
#include <cmath>

using OutputElementReading::isNamed;
using platform::Error;
using platform::XmlNode;

namespace {

namespace Format = platform::KeyedArchiveFormat;

const QString ValuesDictKey = QStringLiteral("self.valuesDict");
const QString OutputNodesKey = QStringLiteral("self.outputNodes_m");
const QString DestinationsKey = QStringLiteral("self.destinations_m");
const QString BarcodesKey = QStringLiteral("self.barcodes_m");
const QString WidthKey = QStringLiteral("self.width");
const QString HeightKey = QStringLiteral("self.height");
const QString AllImagesPathKey = QStringLiteral("self.allImagesPath");
const QString TemplatesKey = QStringLiteral("self.templates");
const QString DestinationsProperty = QStringLiteral("destinations");
const QString AnOutput = QStringLiteral("an output");

constexpr qint64 NoTemplateCode = 1;
constexpr qint64 NoOutputSizeCode = -5;
constexpr qint64 NoDeliveryCode = -3;

// A number of a package file or an archive that is no number at all (infinite, not a
// number) reads as 0, so no size or offset ever carries one into drawing.
double finiteNumber(double value)
{
    return std::isfinite(value) ? value : 0;
}

QSizeF finiteSize(const QSizeF& size)
{
    return {finiteNumber(size.width()), finiteNumber(size.height())};
}

bool isFinite(const QRectF& rect)
{
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width()) && std::isfinite(rect.height());
}

Error cocoaError(qint64 code, const QString& message)
{
    return Error{Error::CocoaDomain, code, message};
}

// The log listing of descriptions, one a line inside parentheses, as they are.
QString listing(const QStringList& descriptions)
{
    QString lines;
    for (const QString& description : descriptions)
        lines += (lines.isEmpty() ? QStringLiteral("\n    ") : QStringLiteral(",\n    ")) + description;
    return QStringLiteral("(%1\n)").arg(lines);
}

template <class T>
QStringList descriptionsOf(const QList<std::shared_ptr<T>>& objects)
{
    QStringList descriptions;
    for (const auto& object : objects)
        descriptions.append(object->description());
    return descriptions;
}

template <class T>
QVariantList variantsOf(const QList<std::shared_ptr<T>>& objects)
{
    QVariantList variants;
    for (const auto& object : objects)
        variants.append(platform::Archivable::toVariant(object));
    return variants;
}

// A decoded template's layers know their container again, so that filling finds the package
// and the custom image through them.
void linkLayersToContainers(const KOVA_Template::Pointer& container)
{
    for (const KOVA_Template::Pointer& layer : container->layers()) {
        layer->setParent(container);
        linkLayersToContainers(layer);
    }
}

KOVA_Output::TemplateMap decodeTemplates(platform::KeyedUnarchiver& coder)
{
    const QVariantMap archived =
        coder.decodeObjectOfClasses(TemplatesKey, {Format::Dictionary, KOVA_Template::ClassName}).toMap();
    KOVA_Output::TemplateMap templates;
    for (auto it = archived.cbegin(); it != archived.cend(); ++it) {
        const auto source = platform::Archivable::fromVariant<KOVA_Template>(it.value());
        if (!source) {
            OutputArchiveValues::refuse(coder, TemplatesKey, KOVA_Output::ClassName);
            return {};
        }
        linkLayersToContainers(source);
        templates.insert(it.key(), source);
    }
    return templates;
}

// The part of `picture` inside the node's crop rectangle, in the picture's top-left pixels and
// clipped to it; the whole picture without a crop, none when the crop misses it.
QImage cropped(const QImage& picture, const KOVA_Output_node& node)
{
    const QString cropText = node.cropRectString();
    const QRectF crop = platform::GeometryText::rectFromString(cropText);
    if (cropText.isEmpty() || crop.isEmpty() || picture.isNull())
        return picture;
    const QRectF inside = isFinite(crop) ? crop.intersected(QRectF(picture.rect())) : QRectF();
    if (inside.isEmpty()) {
        platform::Log::error(QStringLiteral("crop %1 of node %2 lies outside its picture").arg(cropText, node.name()));
        return {};
    }
    return picture.copy(inside.toAlignedRect());
}

KOVA_DrawingOptions::Shadow nodeShadow(const KOVA_Output_node& node, const QString& color)
{
    KOVA_DrawingOptions::Shadow shadow;
    shadow.colorCode = color;
    if (const QString blur = node.shadowBlur(); !blur.isNull())
        shadow.blur = finiteNumber(platform::StringValues::doubleValue(blur));
    if (const QString offset = node.offsetPointString(); !offset.isNull()) {
        // dy grows downwards in the file, upwards on the canvas.
        const QSizeF delta = finiteSize(platform::GeometryText::sizeFromString(offset));
        shadow.offset = QSizeF(delta.width(), -delta.height());
    }
    return shadow;
}

// A node draws its picture unturned and without border; its shadow and background only
// when it names their colours.
KOVA_DrawingOptions drawingOptions(const KOVA_Output_node& node)
{
    KOVA_DrawingOptions options;
    const QString gravity = node.gravity();
    options.gravity = gravity.isNull() ? KOVA_Output_node::gravityDefault() : gravity;
    if (const QString shadowColor = node.shadowColor(); !shadowColor.isNull())
        options.shadow = nodeShadow(node, shadowColor);
    if (const QString background = node.backgroundColor(); !background.isNull())
        options.backgroundColorCode = background;
    return options;
}

[[maybe_unused]] const bool registeredForDecoding = [] {
    KOVA_Template::registerArchiveClass();
    platform::KeyedUnarchiver::registerClass({KOVA_Output::ClassName, Format::Object}, &KOVA_Output::initWithCoder);
    return true;
}();

} // namespace

KOVA_Output::KOVA_Output() = default;

// ---- Reading ----

KOVA_Output::Pointer KOVA_Output::initWithNode(const XmlNode& node, platform::Error* error)
{
    auto output = std::make_shared<KOVA_Output>();
    for (const XmlNode& attribute : OutputElementReading::attributes(node))
        output->readAttribute(attribute);
    for (const XmlNode& child : OutputElementReading::childElements(node)) {
        if (const platform::Error refusal = output->readChild(child); !refusal.isNull()) {
            if (error)
                *error = refusal;
            else
                platform::Log::error(refusal.message);
            return nullptr;
        }
    }
    return output;
}

void KOVA_Output::install()
{
    KOVA_PackageOutput::install(
        [](const XmlNode& node, platform::Error* error) -> KOVA_PackageOutput::Pointer { return initWithNode(node, error); });
}

void KOVA_Output::readAttribute(const XmlNode& attribute)
{
    const QString value = attribute.stringValue();
    const std::lock_guard lock(m_mutex);
    if (isNamed(attribute, KOVA_XML_Key_name)) {
        m_valuesDict.insert(KOVA_XML_Key_name, value);
    } else if (isNamed(attribute, KOVA_XML_Key_size)) {
        const QSizeF size = finiteSize(platform::GeometryText::sizeFromString(value));
        m_width = size.width();
        m_height = size.height();
    } else if (isNamed(attribute, KOVA_XML_Key_width)) {
        m_width = finiteNumber(platform::StringValues::doubleValue(value));
    } else if (isNamed(attribute, KOVA_XML_Key_height)) {
        m_height = finiteNumber(platform::StringValues::doubleValue(value));
    }
}

platform::Error KOVA_Output::readChild(const XmlNode& child)
{
    if (isNamed(child, KOVA_XML_Key_destination)) {
        const std::lock_guard lock(m_mutex);
        if (m_destinations.size() == MaximumDestinations)
            return OutputElementReading::limitPassed(AnOutput, QStringLiteral("destinations"), MaximumDestinations);
        m_destinations.append(std::make_shared<KOVA_Destination>(child));
    } else if (isNamed(child, KOVA_XML_Key_allImages)) {
        if (child.childCount() == 0 || platform::StringValues::boolValue(child.stringValue()))
            setAllImages();
    } else if (isNamed(child, KOVA_XML_Key_whatToPrint)) {
        if (child.stringValue().compare(KOVA_XML_Key_all, Qt::CaseInsensitive) == 0)
            setAllImages();
    } else if (isNamed(child, KOVA_XML_Key_barcode)) {
        readBarcode(child);
    } else {
        const QList<XmlNode> attributes = OutputElementReading::attributes(child);
        const bool isNode = std::any_of(attributes.cbegin(), attributes.cend(), [](const XmlNode& attribute) {
            return isNamed(attribute, KOVA_XML_Key_type) &&
                   attribute.stringValue().compare(KOVA_XML_Key_node, Qt::CaseInsensitive) == 0;
        });
        if (isNode) {
            const std::lock_guard lock(m_mutex);
            if (m_outputNodes.size() == MaximumNodes)
                return OutputElementReading::limitPassed(AnOutput, QStringLiteral("placement nodes"), MaximumNodes);
            m_outputNodes.append(std::make_shared<KOVA_Output_node>(child));
        }
    }
    return {};
}

// The code's corner point becomes a fraction of the output size, so that it keeps its place
// whatever size the picture is drawn at.
void KOVA_Output::readBarcode(const XmlNode& element)
{
    KOVA_OuputBarcode barcode(element);
    barcode.setOrigin(ZORVAK_Image::normalizedPoint(barcode.origin(), size()));
    QVariantMap code = barcode.valuesDict();
    code.insert(zorvak_2dCodeKey_origin, platform::GeometryText::stringFromPoint(barcode.origin()));
    const std::lock_guard lock(m_mutex);
    m_barcodes.append(code);
}

void KOVA_Output::setAllImages()
{
    const std::lock_guard lock(m_mutex);
    m_valuesDict.insert(KOVA_XML_Key_allImages, true);
}

// ---- Properties ----

QVariantMap KOVA_Output::valuesDict() const
{
    const std::lock_guard lock(m_mutex);
    return m_valuesDict;
}

QVariant KOVA_Output::valueForKey(const QString& key) const
{
    using Getter = std::function<QVariant(const KOVA_Output& output)>;
    static const QHash<QString, Getter> getters{
        {QStringLiteral("valuesDict"), [](const KOVA_Output& output) { return QVariant(output.valuesDict()); }},
        {QStringLiteral("width"), [](const KOVA_Output& output) { return QVariant(output.width()); }},
        {QStringLiteral("height"), [](const KOVA_Output& output) { return QVariant(output.height()); }},
        {QStringLiteral("size"), [](const KOVA_Output& output) { return QVariant(output.size()); }},
        {DestinationsProperty, [](const KOVA_Output& output) { return QVariant(variantsOf(output.destinations())); }},
        {QStringLiteral("barcodes"), [](const KOVA_Output& output) { return QVariant(output.barcodes()); }},
        {QStringLiteral("nodeNames"), [](const KOVA_Output& output) { return QVariant(output.nodeNames()); }},
        {QStringLiteral("allImagesPath"), [](const KOVA_Output& output) { return QVariant(output.allImagesPath()); }},
        {QStringLiteral("allImages"), [](const KOVA_Output& output) { return QVariant(output.allImages()); }},
        {QStringLiteral("isSimpleOutlet"), [](const KOVA_Output& output) { return QVariant(output.isSimpleOutlet()); }},
        {QStringLiteral("ignoresTemplates"), [](const KOVA_Output& output) { return QVariant(output.ignoresTemplates()); }},
    };
    const Getter getter = getters.value(key);
    return getter ? getter(*this) : QVariant();
}

QString KOVA_Output::name() const
{
    return valuesDict().value(KOVA_XML_Key_name).toString();
}

double KOVA_Output::width() const
{
    const std::lock_guard lock(m_mutex);
    return m_width;
}

double KOVA_Output::height() const
{
    const std::lock_guard lock(m_mutex);
    return m_height;
}

QSizeF KOVA_Output::size() const
{
    const std::lock_guard lock(m_mutex);
    return {m_width, m_height};
}

void KOVA_Output::setSize(const QSizeF& size)
{
    const QSizeF checked = finiteSize(size);
    const std::lock_guard lock(m_mutex);
    m_width = checked.width();
    m_height = checked.height();
}

QList<std::shared_ptr<KOVA_Output_node>> KOVA_Output::outputNodes() const
{
    const std::lock_guard lock(m_mutex);
    return m_outputNodes;
}

QList<std::shared_ptr<KOVA_Destination>> KOVA_Output::destinations() const
{
    const std::lock_guard lock(m_mutex);
    return m_destinations;
}

void KOVA_Output::addDestinations(const QList<std::shared_ptr<KOVA_Destination>>& destinations)
{
    willChangeValueForKey(DestinationsProperty);
    {
        const std::lock_guard lock(m_mutex);
        for (const auto& destination : destinations) {
            if (destination)
                m_destinations.append(destination);
        }
    }
    didChangeValueForKey(DestinationsProperty);
}

QVariantList KOVA_Output::barcodes() const
{
    const std::lock_guard lock(m_mutex);
    return m_barcodes;
}

KOVA_Output::TemplateMap KOVA_Output::templates() const
{
    const std::lock_guard lock(m_mutex);
    return m_templates;
}

void KOVA_Output::setTemplates(const TemplateMap& templates)
{
    const std::lock_guard lock(m_mutex);
    m_templates = templates;
}

std::shared_ptr<KOVA_Package> KOVA_Output::package() const
{
    const std::lock_guard lock(m_mutex);
    return m_package.lock();
}

void KOVA_Output::setPackage(const std::shared_ptr<KOVA_Package>& package)
{
    const std::lock_guard lock(m_mutex);
    m_package = package;
}

std::shared_ptr<KOVA_Asset> KOVA_Output::asset() const
{
    const std::lock_guard lock(m_mutex);
    return m_asset.lock();
}

void KOVA_Output::setAsset(const std::shared_ptr<KOVA_Asset>& asset)
{
    const std::lock_guard lock(m_mutex);
    m_asset = asset;
}

QString KOVA_Output::allImagesPath() const
{
    const std::lock_guard lock(m_mutex);
    return m_allImagesPath;
}

void KOVA_Output::setAllImagesPath(const QString& path)
{
    const std::lock_guard lock(m_mutex);
    m_allImagesPath = path;
}

bool KOVA_Output::allImages() const
{
    return platform::StringValues::boolValue(valuesDict().value(KOVA_XML_Key_allImages));
}

bool KOVA_Output::isSimpleOutlet() const
{
    const auto nodes = outputNodes();
    return nodes.size() == 1 && nodes.constFirst()->matchesOutputSize(size());
}

bool KOVA_Output::ignoresTemplates() const
{
    const auto all = destinations();
    return std::all_of(all.cbegin(), all.cend(), [](const auto& destination) { return destination->saveOriginal(); });
}

QString KOVA_Output::originalFilePath() const
{
    if (const QString path = allImagesPath(); !path.isEmpty())
        return path;
    const auto owner = package();
    const auto job = owner ? owner->owningJob() : nullptr;
    return job ? job->valueForKey(QStringLiteral("image1"), owner->packageName()).toString() : QString();
}

QStringList KOVA_Output::nodeNames() const
{
    QStringList names;
    for (const auto& node : outputNodes())
        names.append(node->name());
    return names;
}

// ---- Processing ----

// Held from filling until the picture is taken: outputs running at once share the package's
// template objects, and one output's job values must not end up in another's picture.
QImage KOVA_Output::filledPicture(const KOVA_Template::Pointer& source) const
{
    const auto hold = source->lockForOutput();
    source->setPackage(package());
    const QString customImage = allImagesPath();
    source->setFilepathCustomImage(customImage.isNull() ? QVariant() : QVariant(customImage));
    source->replaceKeyValues();
    return source->image();
}

// The package's templates that were found but do not parse, by name.
QMap<QString, Error> KOVA_Output::unreadableTemplates() const
{
    const auto owner = package();
    return owner ? owner->unreadableTemplates() : QMap<QString, Error>();
}

bool KOVA_Output::usesUnreadableTemplate() const
{
    const QMap<QString, Error> unreadable = unreadableTemplates();
    const QStringList names = nodeNames();
    if (names.isEmpty())
        return !unreadable.isEmpty();
    return std::any_of(names.cbegin(), names.cend(), [&unreadable](const QString& name) { return unreadable.contains(name); });
}

KOVA_Output::NodePicture KOVA_Output::nodePicture(const KOVA_Output_node& node, const TemplateMap& templates,
                                                  const Failure& fail) const
{
    const KOVA_Template::Pointer source = templates.value(node.name());
    if (!source) {
        const Error unreadable = unreadableTemplates().value(node.name());
        fail(unreadable.isNull() ? cocoaError(NoTemplateCode, QStringLiteral("no template found named %1").arg(node.name()))
                                 : unreadable);
        return {};
    }
    return {source, cropped(filledPicture(source), node)};
}

QImage KOVA_Output::simpleOutletPicture(const KOVA_Output_node& node, const TemplateMap& templates,
                                        const Failure& fail) const
{
    const NodePicture placed = nodePicture(node, templates, fail);
    if (placed.source && width() > 0 && height() > 0)
        platform::Log::log(QStringLiteral("ignoring attempt to rescale the output"));
    return placed.picture;
}

void KOVA_Output::drawNode(const KOVA_Output_node& node, const NodePicture& placed, const QSizeF& outputSize,
                           std::shared_ptr<BitmapContext>& canvas)
{
    if (placed.picture.isNull()) {
        platform::Log::error(QStringLiteral("template %1 gave no picture for node %2").arg(placed.source->name(), node.name()));
        return;
    }
    const std::optional<qint64> orientation = node.tiffOrientation();
    ZORVAK_Image image(placed.picture, orientation ? std::optional(QVariantMap{{ImageProperties::orientationKey, *orientation}})
                                                   : std::nullopt);
    // The first node drawn makes the canvas; the later ones draw into it.
    if (!canvas)
        canvas = image.drawingContextWithCanvasSize(outputSize);
    if (!canvas)
        return;
    const KOVA_DrawingOptions options = drawingOptions(node);
    for (const QRectF& frame : node.outputFrames(placed.source->frame().size()))
        KOVA_ProductImageComposer::drawPicture(image, canvas, outputSize.height(), frame, options);
}

QImage KOVA_Output::nUpPicture(const QList<std::shared_ptr<KOVA_Output_node>>& nodes, const TemplateMap& templates,
                               const Failure& fail) const
{
    const QSizeF outputSize = size();
    std::shared_ptr<BitmapContext> canvas;
    for (const auto& node : nodes) {
        const NodePicture placed = nodePicture(*node, templates, fail);
        if (!placed.source)
            continue;
        // Drawing goes on: the canvas refuses the size, so no picture comes of it.
        if (outputSize.width() <= 0 || outputSize.height() <= 0)
            fail(cocoaError(NoOutputSizeCode, QStringLiteral("to use N-UP output behavior you must specify an OUTPUT size")));
        drawNode(*node, placed, outputSize, canvas);
    }
    return canvas ? canvas->createImage() : QImage();
}

QImage KOVA_Output::composedPicture(const Failure& fail) const
{
    const auto nodes = outputNodes();
    const TemplateMap templates = this->templates();
    if (nodes.isEmpty()) {
        if (templates.size() == 1)
            return filledPicture(templates.first());
        for (const Error& unreadable : unreadableTemplates())
            fail(unreadable);
        return QImage();
    }
    if (isSimpleOutlet())
        return simpleOutletPicture(*nodes.constFirst(), templates, fail);
    return nUpPicture(nodes, templates, fail);
}

// The delivery installed for the destination's kind; none, reported, when nobody provides one.
std::shared_ptr<KOVA_OutputDelivery> KOVA_Output::deliveryFor(const KOVA_Destination& destination, const Failure& fail)
{
    auto delivery = KOVA_OutputDelivery::installed(destination.kind());
    if (!delivery)
        fail(Error{Error::POSIXDomain, NoDeliveryCode,
                   QStringLiteral("no delivery for destination %1").arg(destination.description())});
    return delivery;
}

// Only file destinations copy the original; printers have nothing to print.
void KOVA_Output::deliverOriginals(const Completion& completion, const Failure& fail)
{
    for (const auto& destination : destinations()) {
        if (destination->kind() != KOVA_Destination::Kind::Filepath)
            continue;
        if (const auto delivery = deliveryFor(*destination, fail))
            delivery->deliverOriginal(*this, destination, completion);
    }
}

// Destinations of any other kind than file or printer are skipped silently.
void KOVA_Output::deliverPicture(const QImage& picture, const Completion& completion, const Failure& fail)
{
    for (const auto& destination : destinations()) {
        const KOVA_Destination::Kind kind = destination->kind();
        if (kind != KOVA_Destination::Kind::Filepath && kind != KOVA_Destination::Kind::Printer)
            continue;
        if (const auto delivery = deliveryFor(*destination, fail))
            delivery->deliver(*this, picture, destination, completion);
    }
}

void KOVA_Output::processToCompletion(const Completion& completion)
{
    // Deliveries report to the caller themselves; they are given a block even when the caller
    // gave none.
    const Completion reply = completion ? completion : [](bool, const Error&) {};
    // A failure is the caller's to log, once, with the rest of its run; only a failure that
    // has nobody to go to is logged here.
    const Failure fail = [&completion, &reply](const Error& error) {
        if (!completion)
            platform::Log::error(error.description());
        reply(false, error);
    };
    if (ignoresTemplates()) {
        deliverOriginals(reply, fail);
        return;
    }
    const QImage picture = composedPicture(fail);
    if (picture.isNull()) {
        // A template file that does not parse was reported with its name: that is why.
        if (!usesUnreadableTemplate())
            fail(cocoaError(NoTemplateCode, QStringLiteral("failed to generate output image")));
        return;
    }
    deliverPicture(picture, reply, fail);
}

// ---- Written form and description ----

XmlNode KOVA_Output::asXMLElement() const
{
    XmlNode element = XmlNode::element(xmlElementName());
    if (width() != 0 || height() != 0)
        element.setAttribute(KOVA_XML_Key_size, platform::GeometryText::stringFromSize(size()));
    const auto nodes = outputNodes();
    const TemplateMap templates = this->templates();
    if (templates.size() == 1 && nodes.isEmpty()) {
        element.addChild(templates.first()->asXMLElement());
    } else {
        for (const auto& node : nodes) {
            if (const XmlNode child = node->asXMLElement(); !child.isNull())
                element.addChild(child);
        }
    }
    element.addChild(XmlNode::element(KOVA_XML_Key_whatToPrint, KOVA_XML_Key_all));
    for (const auto& destination : destinations())
        element.addChild(destination->asXMLElement());
    return element;
}

QString KOVA_Output::description() const
{
    return QStringLiteral("%1 %2\nnodes:%3 destinations:%4")
        .arg(ClassName, platform::GeometryText::stringFromSize(size()), listing(descriptionsOf(outputNodes())),
             listing(descriptionsOf(destinations())));
}

// ---- Archive and copy ----

QStringList KOVA_Output::archiveClassHierarchy() const
{
    return {ClassName, Format::Object};
}

void KOVA_Output::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    using Mutability = platform::KeyedArchiver::Mutability;
    QVariantMap templates;
    for (const auto& [name, source] : this->templates().asKeyValueRange())
        templates.insert(name, platform::Archivable::toVariant(source));
    coder.encodeObject(valuesDict(), ValuesDictKey, Mutability::Mutable);
    coder.encodeArchivables(outputNodes(), OutputNodesKey, Mutability::Mutable);
    coder.encodeArchivables(destinations(), DestinationsKey, Mutability::Mutable);
    coder.encodeObject(barcodes(), BarcodesKey, Mutability::Mutable);
    const QSizeF outputSize = size();
    coder.encodeDouble(outputSize.width(), WidthKey);
    coder.encodeDouble(outputSize.height(), HeightKey);
    coder.encodeObject(allImagesPath(), AllImagesPathKey);
    coder.encodeObject(templates, TemplatesKey);
}

std::shared_ptr<platform::Archivable> KOVA_Output::initWithCoder(platform::KeyedUnarchiver& coder)
{
    auto output = std::make_shared<KOVA_Output>();
    output->m_valuesDict = OutputArchiveValues::decodeValueMap(coder, ValuesDictKey, ClassName);
    output->m_outputNodes = coder.decodeArchivables<KOVA_Output_node>(OutputNodesKey, {KOVA_Output_node::ClassName});
    output->m_destinations = coder.decodeArchivables<KOVA_Destination>(DestinationsKey, {KOVA_Destination::ClassName});
    output->m_barcodes = OutputArchiveValues::decodeValueMaps(coder, BarcodesKey, ClassName);
    output->m_width = finiteNumber(coder.decodeDouble(WidthKey));
    output->m_height = finiteNumber(coder.decodeDouble(HeightKey));
    output->m_allImagesPath = OutputArchiveValues::decodeText(coder, AllImagesPathKey, ClassName);
    output->m_templates = decodeTemplates(coder);
    if (coder.hasError())
        return nullptr;
    return output;
}

QStringList KOVA_Output::archiveAllowedClasses()
{
    return {ClassName, KOVA_Output_node::ClassName, KOVA_Destination::ClassName, KOVA_Template::ClassName};
}

KOVA_PackageOutput::Pointer KOVA_Output::copyForImage(const QString& imagePath) const
{
    const Pointer copied = copy();
    if (copied)
        copied->setAllImagesPath(imagePath);
    return copied;
}

void KOVA_Output::setDestinationLabel(const QString& label)
{
    for (const auto& destination : destinations()) {
        QVariantMap values = destination->valuesDict();
        values.insert(KOVA_XML_Key_destinationLabel, label);
        destination->setValuesDict(values);
    }
}

KOVA_Output::Pointer KOVA_Output::copy() const
{
    Error error;
    const QByteArray archive = platform::KeyedArchiver::archivedDataWithRootObject(*this, &error);
    Pointer copied;
    if (!archive.isEmpty()) {
        copied = platform::Archivable::fromVariant<KOVA_Output>(
            platform::KeyedUnarchiver::unarchivedObjectOfClasses(archive, archiveAllowedClasses(), &error));
    }
    if (!copied) {
        platform::Log::error(QStringLiteral("failed to copy output %1: %2").arg(name(), error.description()));
        return nullptr;
    }
    copied->setPackage(package());
    return copied;
}
