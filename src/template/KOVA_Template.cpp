#include "template/KOVA_Template.h"

#include "platform/Log.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "platform/text/GeometryText.h"
#include "platform/text/StringValues.h"
#include "platform/xml/XmlNode.h"
#include "template/KOVA_TemplateReader.h"
#include "template/KOVA_TemplateWriter.h"
#include "template/KOVA_XML_Keys.h"

#include <QHash>

#include <algorithm>
#include <mutex>

namespace {

using platform::StringValues::isNumber;

// Two values of value maps alike: texts as text, numbers by value, rectangles by value,
// lists and maps element by element, templates by their value maps.
bool valuesEqual(const QVariant& a, const QVariant& b);

// The map as compared: an empty layer list counts as none.
QVariantMap comparableMap(QVariantMap map)
{
    const auto layers = map.constFind(KOVA_XML_Key_layersArray);
    if (layers != map.cend() && layers->typeId() == QMetaType::QVariantList && layers->toList().isEmpty())
        map.remove(KOVA_XML_Key_layersArray);
    return map;
}

bool mapsEqual(const QVariantMap& a, const QVariantMap& b)
{
    if (a.size() != b.size())
        return false;
    for (auto it = a.cbegin(), other = b.cbegin(); it != a.cend(); ++it, ++other) {
        if (it.key() != other.key() || !valuesEqual(it.value(), other.value()))
            return false;
    }
    return true;
}

bool listsEqual(const QVariantList& a, const QVariantList& b)
{
    return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(), valuesEqual);
}

bool valuesEqual(const QVariant& a, const QVariant& b)
{
    if (isNumber(a) || isNumber(b))
        return isNumber(a) && isNumber(b) && a.toDouble() == b.toDouble();
    if (a.typeId() != b.typeId())
        return false;
    switch (a.typeId()) {
    case QMetaType::QVariantList:
        return listsEqual(a.toList(), b.toList());
    case QMetaType::QVariantMap:
        return mapsEqual(a.toMap(), b.toMap());
    default:
        break;
    }
    const auto first = platform::Archivable::fromVariant<KOVA_Template>(a);
    const auto second = platform::Archivable::fromVariant<KOVA_Template>(b);
    if (first || second)
        return first && second && first->isEqualToTemplate(second.get());
    return a == b;
}

} // namespace

KOVA_Template::KOVA_Template() = default;

KOVA_Template::~KOVA_Template()
{
    endOwnedObservations();
}

// ---- Construction, copy, archiving ----

KOVA_Template::Pointer KOVA_Template::init()
{
    auto root = std::make_shared<KOVA_Template>();
    root->setValue(KOVA_XML_Key_frame, QRectF(0, 0, 1000, 1000));
    return root;
}

KOVA_Template::Pointer KOVA_Template::initForCopy()
{
    return std::make_shared<KOVA_Template>();
}

QStringList KOVA_Template::archiveClassHierarchy() const
{
    return {ClassName, KOVA_XML_object::ClassName, QStringLiteral("NSObject")};
}

std::shared_ptr<platform::Archivable> KOVA_Template::initWithCoder(platform::KeyedUnarchiver& coder)
{
    auto document = std::make_shared<KOVA_Template>();
    document->decodeFromCoder(coder);
    return document;
}

void KOVA_Template::registerArchiveClass()
{
    static std::once_flag once;
    std::call_once(once, [] {
        platform::KeyedUnarchiver::registerClass(
            {ClassName, KOVA_XML_object::ClassName, QStringLiteral("NSObject")}, &KOVA_Template::initWithCoder);
    });
}

KOVA_Template::Pointer KOVA_Template::copy() const
{
    registerArchiveClass();
    platform::Error error;
    const QByteArray archive = platform::KeyedArchiver::archivedDataWithRootObject(*this, &error);
    Pointer copied;
    if (!archive.isEmpty()) {
        copied = platform::Archivable::fromVariant<KOVA_Template>(
            platform::KeyedUnarchiver::unarchivedObjectOfClasses(archive, {ClassName}, &error));
    }
    if (!copied) {
        platform::Log::error(QStringLiteral("failed to copy template %1: %2").arg(name(), error.description()));
        return nullptr;
    }
    copied->linkLayersToParents();
    copied->setPackage(package());
    return copied;
}

void KOVA_Template::linkLayersToParents()
{
    const Pointer self = sharedTemplate();
    for (const auto& layer : layers()) {
        layer->setParent(self);
        layer->linkLayersToParents();
    }
}

// ---- Class-level facts ----

const QStringList& KOVA_Template::allContainerKeys()
{
    static const QStringList keys{KOVA_XML_Key_layout, KOVA_XML_Key_node, KOVA_XML_Key_portrait,
                                  KOVA_XML_Key_landscape, KOVA_XML_Key_square};
    return keys;
}

QString KOVA_Template::containerKeyForNode(const platform::XmlNode& node)
{
    const QString name = node.name();
    for (const QString& key : allContainerKeys()) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return key;
    }
    return {};
}

QString KOVA_Template::xmlVersionString()
{
    return QStringLiteral("1.0");
}

// ---- Layer list ----

KOVA_Template::List KOVA_Template::layers() const
{
    List layers;
    for (const QVariant& entry : value(KOVA_XML_Key_layersArray).toList()) {
        if (auto layer = platform::Archivable::fromVariant<KOVA_Template>(entry))
            layers.append(std::move(layer));
    }
    return layers;
}

QVariantList KOVA_Template::variantList(const List& layers)
{
    QVariantList list;
    list.reserve(layers.size());
    for (const auto& layer : layers)
        list.append(platform::Archivable::toVariant(layer));
    return list;
}

void KOVA_Template::storeLayers(const List& layers)
{
    setValue(KOVA_XML_Key_layersArray, variantList(layers));
}

void KOVA_Template::setLayers(const List& layers)
{
    announcing({Property::layers}, [&] { storeLayers(layers); });
    countChangeInParent();
}

void KOVA_Template::appendLayerUnannounced(const Pointer& layer)
{
    List list = layers();
    list.append(layer);
    storeLayers(list);
}

qint64 KOVA_Template::lastLayerZIndex(const List& layers)
{
    return layers.isEmpty() ? 0 : platform::StringValues::integerValue(layers.last()->zLevelString());
}

qsizetype KOVA_Template::indexOfLayer(const KOVA_Template* layer, const List& layers)
{
    const auto found = std::find_if(layers.cbegin(), layers.cend(),
                                    [layer](const Pointer& candidate) { return candidate.get() == layer; });
    return found == layers.cend() ? -1 : found - layers.cbegin();
}

void KOVA_Template::addLayers(const List& added)
{
    announcing({Property::layers}, [&] {
        List list = layers();
        const Pointer self = sharedTemplate();
        for (const Pointer& layer : added) {
            layer->setParent(self);
            layer->setZLevelString(QString::number(lastLayerZIndex(list) + 1));
            list.append(layer);
        }
        storeLayers(list);
        selectLayer(nullptr, false);
        sortLayers();
        selectLayers(added, false);
    });
}

void KOVA_Template::addLayer(const Pointer& layer)
{
    if (layer)
        addLayers({layer});
}

KOVA_Template::Pointer KOVA_Template::addLayerOfType(unsigned layerType)
{
    Pointer layer = initForCopy();
    layer->setLayerType(layerType);
    layer->setWidth(frame().width() / 2.0);
    layer->setHeight(frame().height() / 5.0);
    layer->setX(100);
    layer->setY(100);
    const QString typeText = stringForLayerType(layerType);
    if (!typeText.isEmpty())
        layer->setStringValue(typeText);
    layer->setParent(sharedTemplate());
    List list = layers();
    layer->setZLevelString(QString::number(lastLayerZIndex(list) + 1));
    announcing({Property::layers}, [&] {
        list.append(layer);
        storeLayers(list);
        selectLayer(nullptr, false);
        sortLayers();
        selectLayer(layer, false);
    });
    return layer;
}

void KOVA_Template::deleteLayers(const List& removed)
{
    announcing({Property::layers}, [&] {
        List list = layers();
        list.removeIf([&](const Pointer& layer) { return indexOfLayer(layer.get(), removed) >= 0; });
        storeLayers(list);
        selectLayer(nullptr, false);
        sortLayers();
    });
}

void KOVA_Template::deleteLayer(const Pointer& layer)
{
    if (layer)
        deleteLayers({layer});
}

void KOVA_Template::sortLayers()
{
    List list = layers();
    if (list.size() < 2)
        return;
    announcing({Property::layers}, [&] {
        std::stable_sort(list.begin(), list.end(), [](const Pointer& a, const Pointer& b) {
            return platform::StringValues::integerValue(a->zLevelString())
                 < platform::StringValues::integerValue(b->zLevelString());
        });
        for (qsizetype i = 0; i < list.size(); ++i)
            list.at(i)->setZLevelString(QString::number(100 * i + 100));
        storeLayers(list);
    });
}

QStringList KOVA_Template::zLevelStrings() const
{
    QStringList levels;
    for (const Pointer& layer : layers())
        levels.append(layer->zLevelString().isNull() ? QString(QLatin1String("")) : layer->zLevelString());
    return levels;
}

// ---- Selection ----

KOVA_Template::List KOVA_Template::layersSelected() const
{
    const List list = layers();
    List selected;
    for (qsizetype index : indexSetLayersSelected()) {
        if (index >= 0 && index < list.size())
            selected.append(list.at(index));
    }
    return selected;
}

QList<qsizetype> KOVA_Template::indexSetLayersSelected() const
{
    std::lock_guard lock(m_linkMutex);
    return m_selection;
}

void KOVA_Template::setIndexSetLayersSelected(const QList<qsizetype>& indexes)
{
    QList<qsizetype> sorted = indexes;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    announcing({Property::layersSelected}, [&] {
        std::lock_guard lock(m_linkMutex);
        m_selection = sorted;
    });
}

void KOVA_Template::selectLayers(const List& chosen, bool byExtendingSelection)
{
    if (!byExtendingSelection && chosen.isEmpty()) {
        setIndexSetLayersSelected({});
        return;
    }
    QList<qsizetype> selection = byExtendingSelection ? indexSetLayersSelected() : QList<qsizetype>();
    const List list = layers();
    for (const Pointer& layer : chosen) {
        const qsizetype index = indexOfLayer(layer.get(), list);
        if (index >= 0 && !selection.contains(index))
            selection.append(index);
    }
    setIndexSetLayersSelected(selection);
}

void KOVA_Template::selectLayer(const Pointer& layer, bool byExtendingSelection)
{
    selectLayers(layer ? List{layer} : List{}, byExtendingSelection);
}

void KOVA_Template::deselectLayer(const Pointer& layer)
{
    if (!layer)
        return;
    QList<qsizetype> selection = indexSetLayersSelected();
    if (selection.removeAll(indexOfLayer(layer.get(), layers())) > 0)
        setIndexSetLayersSelected(selection);
}

// ---- Type ----

unsigned KOVA_Template::layerType() const
{
    return layerTypeForString(value(KOVA_XML_Key_layerType).toString());
}

void KOVA_Template::setLayerType(unsigned layerType)
{
    announcing({Property::layerType}, [&] {
        const QString typeText = stringForLayerType(layerType);
        if (typeText.isEmpty())
            removeValue(KOVA_XML_Key_layerType);
        else
            setValue(KOVA_XML_Key_layerType, typeText);
    });
    countChangeInParent();
}

QString KOVA_Template::stringForLayerType(unsigned layerType)
{
    switch (layerType) {
    case layerTypeCanvas:
        return KOVA_XML_Key_layerTypeCanvas;
    case layerTypeContainer:
        return KOVA_XML_Key_layerTypeContainer;
    case layerTypeImage:
        return KOVA_XML_Key_layerTypeImage;
    case layerTypeGraphic:
        return KOVA_XML_Key_layerTypeGraphic;
    case layerTypeTextbox:
        return KOVA_XML_Key_layerTypeText;
    case layerTypeStamp:
        return KOVA_XML_Key_layerTypeStamp;
    default:
        return {};
    }
}

unsigned KOVA_Template::layerTypeForString(const QString& typeText)
{
    static const QHash<QString, unsigned> codes{
        {KOVA_XML_Key_layerTypeCanvas, layerTypeCanvas},   {KOVA_XML_Key_layerTypeContainer, layerTypeContainer},
        {KOVA_XML_Key_node, layerTypeContainer},           {KOVA_XML_Key_layerTypeImage, layerTypeImage},
        {KOVA_XML_Key_layerTypeGraphic, layerTypeGraphic}, {KOVA_XML_Key_layerTypeText, layerTypeTextbox},
        {KOVA_XML_Key_layerTypeStamp, layerTypeStamp},
    };
    return codes.value(typeText, layerTypeNone);
}

bool KOVA_Template::isEqualToType(const QString& typeText) const
{
    const QVariant stored = value(KOVA_XML_Key_layerType);
    return stored.typeId() == QMetaType::QString && stored.toString() == typeText;
}

bool KOVA_Template::isTypeContainer() const { return isEqualToType(KOVA_XML_Key_layerTypeContainer); }
bool KOVA_Template::isImageType() const { return isEqualToType(KOVA_XML_Key_layerTypeImage); }
bool KOVA_Template::isGraphicType() const { return isEqualToType(KOVA_XML_Key_layerTypeGraphic); }
bool KOVA_Template::isTextboxType() const { return isEqualToType(KOVA_XML_Key_layerTypeText); }
bool KOVA_Template::isTypeStamp() const { return isEqualToType(KOVA_XML_Key_layerTypeStamp); }
bool KOVA_Template::isTypeNode() const { return isEqualToType(KOVA_XML_Key_node); }

// ---- Identity ----

bool KOVA_Template::isEqual(const KOVA_Template* other) const
{
    return other == this || (other && isEqualToTemplate(other));
}

bool KOVA_Template::isEqualToTemplate(const KOVA_Template* other) const
{
    if (!other)
        return false;
    if (other == this)
        return true;
    return mapsEqual(comparableMap(valuesDict()), comparableMap(other->valuesDict()));
}

std::size_t KOVA_Template::hash() const
{
    return qHash(comparableMap(valuesDict()).keys());
}

QString KOVA_Template::name() const
{
    switch (layerType()) {
    case layerTypeImage:
    case layerTypeGraphic: {
        const QString path = graphicPath();
        return path.isNull() ? QStringLiteral("Internal Preprocessed Template Image") : path;
    }
    case layerTypeTextbox:
    case layerTypeStamp:
        return stringValue();
    default:
        return KOVA_XML_object::name();
    }
}

QString KOVA_Template::descriptionForObject(const QVariant& value)
{
    QString listing;
    if (value.typeId() == QMetaType::QVariantMap) {
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            listing += QStringLiteral("\n    %1 = %2").arg(it.key(), descriptionForObject(it.value()));
        return listing.mid(1);
    }
    if (value.typeId() == QMetaType::QVariantList) {
        for (const QVariant& element : value.toList())
            listing += QStringLiteral("\n    %1").arg(descriptionForObject(element));
        return listing.mid(1);
    }
    if (const auto layer = platform::Archivable::fromVariant<KOVA_Template>(value))
        return layer->description();
    if (value.typeId() == QMetaType::QRectF)
        return platform::GeometryText::stringFromRect(value.toRectF());
    return value.toString();
}

QString KOVA_Template::description() const
{
    const QString frameText = platform::GeometryText::stringFromRect(frame());
    if (isTypeContainer())
        return QStringLiteral("%1\n    frame = %2;\n%3").arg(ClassName, frameText, descriptionForObject(valuesDict()));
    const QString nameText = KOVA_XML_object::name();
    const QString sizeText = value(KOVA_XML_Key_size).toString();
    return QStringLiteral("%1 %2:%3%4%5")
        .arg(type(), frameText, nameText.isEmpty() ? QString() : nameText + u':',
             sizeText.isEmpty() ? QString() : sizeText + u':', typeString());
}

QString KOVA_Template::typeString() const
{
    const QString typeText = type();
    switch (layerType()) {
    case layerTypeImage:
    case layerTypeGraphic: {
        const QString path = graphicPath();
        return typeText + QStringLiteral("->(%1;gravity->(%2))")
                              .arg(path.isNull() ? QStringLiteral("no filename set!") : path,
                                   value(KOVA_XML_Key_layerGravity).toString());
    }
    case layerTypeTextbox:
    case layerTypeStamp:
        return typeText + QStringLiteral("->('%1';font->(%2:%3);textcolor->(%4);shadow->(%5; x:%6; y:%7; blur:%8))")
                              .arg(stringValue(), fontName(), fontSize(), textColorCode(), shadowColorCode())
                              .arg(shadowOffset().width(), 0, 'f', 6)
                              .arg(shadowOffset().height(), 0, 'f', 6)
                              .arg(value(KOVA_XML_Key_shadowBlur).toString());
    default:
        return typeText;
    }
}

// ---- Links and counting ----

KOVA_Template::Pointer KOVA_Template::parent() const
{
    std::lock_guard lock(m_linkMutex);
    return m_parent.lock();
}

void KOVA_Template::setParent(const Pointer& parent)
{
    std::lock_guard lock(m_linkMutex);
    m_parent = parent;
}

std::shared_ptr<KOVA_XML_object> KOVA_Template::package() const
{
    std::shared_ptr<KOVA_XML_object> own;
    {
        std::lock_guard lock(m_linkMutex);
        own = m_package.lock();
    }
    if (own)
        return own;
    const Pointer container = parent();
    return container ? container->package() : nullptr;
}

void KOVA_Template::setPackage(const std::shared_ptr<KOVA_XML_object>& package)
{
    std::lock_guard lock(m_linkMutex);
    m_package = package;
}

qint64 KOVA_Template::changeCount() const
{
    return m_changeCount.load();
}

void KOVA_Template::setChangeCount(qint64 changeCount)
{
    announcing({Property::changeCount, Property::hasUnsavedChanges}, [&] { m_changeCount.store(changeCount); });
}

void KOVA_Template::incrementChangeCount()
{
    announcing({Property::changeCount, Property::hasUnsavedChanges}, [&] { ++m_changeCount; });
}

void KOVA_Template::countChangeInParent() const
{
    if (const Pointer container = parent())
        container->incrementChangeCount();
}

KOVA_Template::Pointer KOVA_Template::lastSaved() const
{
    std::lock_guard lock(m_linkMutex);
    return m_lastSaved;
}

void KOVA_Template::setLastSaved(const Pointer& lastSaved)
{
    announcing({Property::hasUnsavedChanges}, [&] {
        std::lock_guard lock(m_linkMutex);
        m_lastSaved = lastSaved;
    });
}

std::optional<double> KOVA_Template::scale() const
{
    std::lock_guard lock(m_linkMutex);
    return m_scale;
}

void KOVA_Template::setScale(std::optional<double> scale)
{
    std::lock_guard lock(m_linkMutex);
    m_scale = scale;
}

bool KOVA_Template::hasUnsavedChanges() const
{
    const Pointer saved = lastSaved();
    return !saved || !isEqualToTemplate(saved.get());
}

// ---- Observation and audit ----

void KOVA_Template::announcing(std::initializer_list<Property> properties, const std::function<void()>& change)
{
    for (const Property property : properties)
        willChangeValueForKey(KOVA_TemplateProperty::withID(property).name);
    change();
    for (auto property = std::rbegin(properties); property != std::rend(properties); ++property)
        didChangeValueForKey(KOVA_TemplateProperty::withID(*property).name);
}

QVariant KOVA_Template::valueForKey(const QString& key) const
{
    const KOVA_TemplateProperty* property = KOVA_TemplateProperty::named(key);
    return property ? property->getter(*this) : KOVA_XML_object::valueForKey(key);
}

QStringList KOVA_Template::auditedProductKeys() const
{
    return {};
}

KOVA_Template::Pointer KOVA_Template::sharedTemplate()
{
    return std::static_pointer_cast<KOVA_Template>(weak_from_this().lock());
}

std::shared_ptr<const KOVA_Template> KOVA_Template::sharedTemplate() const
{
    return std::static_pointer_cast<const KOVA_Template>(weak_from_this().lock());
}

// ---- Loading ----

KOVA_Template::Pointer KOVA_Template::templateWithPath(const QVariant& path, bool isNode, const QUrl& jobContainer)
{
    return KOVA_TemplateReader::templateWithPath(path, isNode, jobContainer);
}

KOVA_Template::Pointer KOVA_Template::templateWithPath(const QVariant& path, const QUrl& jobContainer)
{
    return templateWithPath(path, false, jobContainer);
}

KOVA_Template::Pointer KOVA_Template::nodeWithPath(const QVariant& path, const QUrl& jobContainer)
{
    return templateWithPath(path, true, jobContainer);
}

KOVA_Template::Pointer KOVA_Template::instanceWithXMLObject(const QVariant& path)
{
    return templateWithPath(path, QUrl());
}

KOVA_Template::Pointer KOVA_Template::initWithNode(const platform::XmlNode& node, const QUrl& jobContainer)
{
    return KOVA_TemplateReader::initWithNode(node, jobContainer);
}

void KOVA_Template::setCurrentTemplatesFolder(const QUrl& folder)
{
    KOVA_TemplateReader::setCurrentTemplatesFolder(folder);
}

QUrl KOVA_Template::currentTemplatesFolder()
{
    return KOVA_TemplateReader::currentTemplatesFolder();
}

// ---- Saving and export ----

std::optional<platform::Error> KOVA_Template::unreadableReason()
{
    if (type() != ClassName || !documentURL().isLocalFile())
        return std::nullopt;
    if (const platform::Error parse = parseError(); !parse.isNull())
        return parse;
    // The file's type for a file that holds no template (NSFileReadCorruptFileError).
    constexpr qint64 corruptFile = 259;
    return platform::Error{platform::Error::CocoaDomain, corruptFile,
                           QStringLiteral("%1 holds no template layout").arg(documentURL().toLocalFile())};
}

std::optional<platform::Error> KOVA_Template::repairedReason() const
{
    std::lock_guard lock(m_linkMutex);
    return m_repairedReason;
}

void KOVA_Template::setRepairedReason(const std::optional<platform::Error>& reason)
{
    std::lock_guard lock(m_linkMutex);
    m_repairedReason = reason;
}

void KOVA_Template::saveChanges(const SaveReply& reply)
{
    filePath(documentURL(), reply);
}

void KOVA_Template::saveChangesToURL(const QUrl& url, const SaveReply& reply)
{
    KOVA_TemplateWriter::saveAs(*this, url, reply);
}

void KOVA_Template::filePath(const QUrl& url, const SaveReply& saveChanges)
{
    KOVA_TemplateWriter::save(*this, url, saveChanges);
}

QStringList KOVA_Template::availableChildren() const
{
    return KOVA_TemplateWriter::availableChildren(layerType());
}

QStringList KOVA_Template::attributesForChild(const QString& childKey)
{
    return KOVA_TemplateWriter::attributesForChild(childKey);
}

QString KOVA_Template::translatedChildName(const QString& key)
{
    return KOVA_TemplateWriter::translatedChildName(key);
}

QString KOVA_Template::translatedAttributeName(const QString& key)
{
    return KOVA_TemplateWriter::translatedAttributeName(key);
}

QString KOVA_Template::translatedAttributeValue(const QString& value)
{
    return KOVA_TemplateWriter::translatedAttributeValue(value);
}

std::pair<QString, QString> KOVA_Template::xmlAttributeTranslatedName(const QString& key, const QString& value)
{
    return {translatedAttributeName(key), translatedAttributeValue(value)};
}

QString KOVA_Template::xmlElementName()
{
    return KOVA_TemplateWriter::xmlElementName();
}

QList<std::pair<QString, QString>> KOVA_Template::xmlElementAttributes() const
{
    return KOVA_TemplateWriter::xmlElementAttributes(*this);
}

QList<platform::XmlNode> KOVA_Template::xmlElementChildren() const
{
    return KOVA_TemplateWriter::xmlElementChildren(*this);
}

platform::XmlNode KOVA_Template::asXMLElement() const
{
    return KOVA_TemplateWriter::asXMLElement(*this);
}
