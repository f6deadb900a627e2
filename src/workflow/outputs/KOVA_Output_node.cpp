#include "workflow/outputs/KOVA_Output_node.h"

#include "platform/Log.h"
#include "platform/plist/KeyedArchiveFormat.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "platform/text/GeometryText.h"
#include "platform/text/StringValues.h"
#include "template/KOVA_ProductImageComposer.h"
#include "template/KOVA_Template.h"
#include "template/KOVA_XML_Keys.h"
#include "workflow/outputs/OutputArchiveValues.h"
#include "workflow/packages/OutputElementReading.h"

#include <QHash>

#include <cmath>

using OutputElementReading::isNamed;
using platform::GeometryText::rectFromString;
using platform::XmlNode;

namespace {

const QString FramesKey = QStringLiteral("self.frames");
const QString NameKey = QStringLiteral("self.name");
const QString TiffOrientationKey = QStringLiteral("self.tiffOrientation");

// The archive key of each setting held as text, in the order of KOVA_Output_node::Text.
const std::array<QString, 6> TextArchiveKeys{
    QStringLiteral("self.cropRectString"), QStringLiteral("self.offsetPointString"), QStringLiteral("self.gravity"),
    QStringLiteral("self.shadowColor"),    QStringLiteral("self.shadowBlur"),        QStringLiteral("self.backgroundColor"),
};

bool isPlausibleFrame(const QRectF& frame)
{
    for (const double value : {frame.x(), frame.y(), frame.width(), frame.height()}) {
        if (!std::isfinite(value) || std::abs(value) > KOVA_Output_node::MaximumFrameCoordinate)
            return false;
    }
    return true;
}

// A frame without area takes the node's size.
QRectF outputFrame(QRectF frame, const QSizeF& nodeSize)
{
    if (frame.width() == 0 || frame.height() == 0)
        frame.setSize(nodeSize);
    return frame;
}

// The log listing of texts, one quoted entry a line inside parentheses.
QString listing(const QStringList& texts)
{
    QString lines;
    for (const QString& text : texts)
        lines += QStringLiteral("%1    \"%2\"").arg(lines.isEmpty() ? QStringLiteral("\n") : QStringLiteral(",\n"), text);
    return QStringLiteral("(%1\n)").arg(lines);
}

[[maybe_unused]] const bool registeredForDecoding = [] {
    platform::KeyedUnarchiver::registerClass({KOVA_Output_node::ClassName, QStringLiteral("NSObject")},
                                             &KOVA_Output_node::initWithCoder);
    return true;
}();

} // namespace

KOVA_Output_node::KOVA_Output_node(const XmlNode& node)
    : m_name(node.name())
{
    for (const XmlNode& attribute : OutputElementReading::attributes(node))
        readAttribute(attribute);
    for (const XmlNode& child : OutputElementReading::childElements(node))
        readChild(child);
}

void KOVA_Output_node::readAttribute(const XmlNode& attribute)
{
    if (isNamed(attribute, KOVA_XML_Key_frame))
        addOutputFrameString(attribute.stringValue());
    else if (isNamed(attribute, KOVA_XML_Key_croprect))
        setText(Text::CropRect, attribute.stringValue());
}

void KOVA_Output_node::readChild(const XmlNode& child)
{
    using Reader = std::function<void(KOVA_Output_node& node, const QString& text)>;
    // Readers by element name in lower case; other elements are passed over without a word.
    static const QHash<QString, Reader> readers{
        {KOVA_XML_Key_frame, [](KOVA_Output_node& node, const QString& text) { node.addOutputFrameString(text); }},
        // A point stands for a frame of the node's own size at that place.
        {KOVA_XML_Key_origin,
         [](KOVA_Output_node& node, const QString& text) {
             node.addOutputFrame(QRectF(platform::GeometryText::pointFromString(text), QSizeF(0, 0)));
         }},
        {KOVA_XML_Key_layerGravity,
         [](KOVA_Output_node& node, const QString& text) { node.setText(Text::Gravity, KOVA_Template::normalizedGravity(text)); }},
        {KOVA_XML_Key_backgroundColor,
         [](KOVA_Output_node& node, const QString& text) { node.setText(Text::BackgroundColor, text); }},
        {KOVA_XML_Key_tiffOrientation.toLower(),
         [](KOVA_Output_node& node, const QString& text) { node.m_tiffOrientation = platform::StringValues::integerValue(text); }},
    };
    if (isNamed(child, KOVA_XML_Key_shadowColor))
        readShadowColor(child);
    else if (const Reader reader = readers.value(child.name().toLower()))
        reader(*this, child.stringValue());
}

void KOVA_Output_node::readShadowColor(const XmlNode& child)
{
    setText(Text::ShadowColor, child.stringValue());
    for (const XmlNode& attribute : OutputElementReading::attributes(child)) {
        if (isNamed(attribute, KOVA_XML_Key_shadowBlur))
            setText(Text::ShadowBlur, attribute.stringValue());
        else if (isNamed(attribute, KOVA_XML_Key_offset))
            setText(Text::OffsetPoint, attribute.stringValue());
        else
            platform::Log::log(QStringLiteral("encountered unknown %1 attribute: %2").arg(child.name(), attribute.xmlString()));
    }
}

QString KOVA_Output_node::text(Text which) const
{
    const std::lock_guard lock(m_mutex);
    return m_texts[std::size_t(which)];
}

void KOVA_Output_node::setText(Text which, const QString& value)
{
    const std::lock_guard lock(m_mutex);
    m_texts[std::size_t(which)] = value;
}

QString KOVA_Output_node::name() const
{
    const std::lock_guard lock(m_mutex);
    return m_name;
}

QStringList KOVA_Output_node::frames() const
{
    const std::lock_guard lock(m_mutex);
    return m_frames;
}

QString KOVA_Output_node::cropRectString() const { return text(Text::CropRect); }
QString KOVA_Output_node::offsetPointString() const { return text(Text::OffsetPoint); }
QString KOVA_Output_node::gravity() const { return text(Text::Gravity); }
QString KOVA_Output_node::gravityDefault() { return KOVA_XML_Key_gravityResizeAspectFill; }
QString KOVA_Output_node::shadowColor() const { return text(Text::ShadowColor); }
QString KOVA_Output_node::shadowBlur() const { return text(Text::ShadowBlur); }
QString KOVA_Output_node::backgroundColor() const { return text(Text::BackgroundColor); }

std::optional<qint64> KOVA_Output_node::tiffOrientation() const
{
    const std::lock_guard lock(m_mutex);
    return m_tiffOrientation;
}

void KOVA_Output_node::addOutputFrame(const QRectF& frame)
{
    const QString frameText = platform::GeometryText::stringFromRect(frame);
    if (!isPlausibleFrame(frame)) {
        platform::Log::error(QStringLiteral("ignoring frame %1 of node %2: beyond any output canvas").arg(frameText, name()));
        return;
    }
    const std::lock_guard lock(m_mutex);
    m_frames.append(frameText);
}

void KOVA_Output_node::addOutputFrameString(const QString& frame)
{
    addOutputFrame(rectFromString(frame));
}

bool KOVA_Output_node::matchesOutputSize(const QSizeF& size) const
{
    const QStringList all = frames();
    if (all.size() != 1)
        return all.isEmpty();
    const QRectF frame = rectFromString(all.constFirst());
    return frame.x() == 0 && frame.y() == 0 && frame.width() == size.width() && frame.height() == size.height();
}

QList<QRectF> KOVA_Output_node::outputFrames(const QSizeF& nodeSize) const
{
    QList<QRectF> placed;
    for (const QString& frame : frames())
        placed.append(outputFrame(rectFromString(frame), nodeSize));
    return placed;
}

void KOVA_Output_node::canvasSize(const QSizeF& canvasSize, const QSizeF& nodeSize, const FrameVisitor& enumerateOutputFrames) const
{
    if (!enumerateOutputFrames)
        return;
    const QList<QRectF> all = outputFrames(nodeSize); // a copy: the visitor may change the node
    bool stop = false;
    for (qsizetype index = 0; index < all.size() && !stop; ++index)
        enumerateOutputFrames(index, stop, KOVA_ProductImageComposer::canvasRect(all.at(index), canvasSize.height()));
}

XmlNode KOVA_Output_node::asXMLElement() const
{
    XmlNode element = XmlNode::element(name());
    if (element.isNull()) {
        platform::Log::error(QStringLiteral("node name \"%1\" is no XML name; node not written").arg(name()));
        return {};
    }
    element.setAttribute(KOVA_XML_Key_type, KOVA_XML_Key_node);
    for (const QString& frame : frames())
        element.addChild(XmlNode::element(KOVA_XML_Key_frame, frame));
    return element;
}

QString KOVA_Output_node::description() const
{
    return QStringLiteral("%1%2:%3").arg(name(), cropRectString(), listing(frames()));
}

QStringList KOVA_Output_node::archiveClassHierarchy() const
{
    return {ClassName, QStringLiteral("NSObject")};
}

void KOVA_Output_node::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    static_assert(std::tuple_size_v<Texts> == std::tuple_size_v<decltype(TextArchiveKeys)>);
    const std::lock_guard lock(m_mutex);
    coder.encodeObject(m_frames, FramesKey, platform::KeyedArchiver::Mutability::Mutable);
    coder.encodeObject(m_name, NameKey);
    for (std::size_t which = 0; which < m_texts.size(); ++which)
        coder.encodeObject(m_texts[which], TextArchiveKeys[which]);
    coder.encodeObject(m_tiffOrientation ? QVariant(*m_tiffOrientation) : QVariant(), TiffOrientationKey);
}

std::shared_ptr<platform::Archivable> KOVA_Output_node::initWithCoder(platform::KeyedUnarchiver& coder)
{
    std::shared_ptr<KOVA_Output_node> node(new KOVA_Output_node);
    node->m_name = OutputArchiveValues::decodeText(coder, NameKey, ClassName);
    for (const QString& frame : OutputArchiveValues::decodeTexts(coder, FramesKey, ClassName))
        node->addOutputFrameString(frame);
    for (std::size_t which = 0; which < node->m_texts.size(); ++which)
        node->m_texts[which] = OutputArchiveValues::decodeText(coder, TextArchiveKeys[which], ClassName);
    QString& gravity = node->m_texts[std::size_t(Text::Gravity)];
    if (!gravity.isNull())
        gravity = KOVA_Template::normalizedGravity(gravity);
    const QVariant orientation = coder.decodeObjectOfClasses(TiffOrientationKey, {platform::KeyedArchiveFormat::Number});
    if (platform::StringValues::isInteger(orientation))
        node->m_tiffOrientation = orientation.toLongLong();
    if (coder.hasError())
        return nullptr;
    return node;
}
