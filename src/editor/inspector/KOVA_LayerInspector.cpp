#include "editor/inspector/KOVA_LayerInspector.h"

#include "core/image/ZORVAK_color.h"
#include "core/queues/ZORVAK_Dispatch.h"
#include "platform/Log.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/observation/KeyValueObserver.h"

#include <QColor>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

namespace {

using Key = KOVA_LayerInspector::Key;
using Pointer = KOVA_Template::Pointer;
using Commands = KOVA_TemplateEditorLayerCommands;
using Property = KOVA_TemplateProperty::ID;

// The kind of a mirrored value: what it is stored as, loads as without a layer, and
// whether it must be a finite number.
enum class Kind { number, flag, text, color, integer, rectangle };

constexpr KOVA_LayerInspector::Range anyNumber{std::numeric_limits<double>::lowest(),
                                               std::numeric_limits<double>::max()};

// The colour well shows the colour opaque: its opacity has a control of its own.
QVariant opaqueColor(const QVariant& code)
{
    if (code.toString().isEmpty())
        return {};
    QColor color = ZORVAK_color::colorForHexcode(code.toString());
    color.setAlphaF(1.0);
    return color;
}

QVariant degrees(const QVariant& radians)
{
    return radians.toDouble() * 180.0 / std::numbers::pi;
}

// A number within the range, as a whole one for a whole-number control; none for what
// is no finite number (text that does not read as one, NaN, an infinity).
std::optional<QVariant> numberWithin(const QVariant& value, Kind kind, KOVA_LayerInspector::Range range)
{
    bool isNumber = false;
    const double number = value.toDouble(&isNumber);
    if (!isNumber || !std::isfinite(number))
        return std::nullopt;
    const double within = std::clamp(number, range.minimum, range.maximum);
    if (kind == Kind::integer)
        return static_cast<int>(std::trunc(within));
    return within;
}

// The layer keeps its font size as text; the control shows its whole part, within the
// control's range (nothing for text that is no number).
QVariant fontSizeShown(const QVariant& size)
{
    return numberWithin(size, Kind::integer, {KOVA_LayerInspector::fontSizeMin, KOVA_LayerInspector::fontSizeMax})
        .value_or(0);
}

// Right is 1 and centre 2 in the layer, but the control shows them in reading order.
unsigned swappedAlignment(unsigned alignment)
{
    return alignment == 1 ? 2 : alignment == 2 ? 1 : alignment;
}

// "date" -> "Date": each word upper case first, the rest lower case.
QString capitalized(const QString& text)
{
    QString result = text.toLower();
    for (qsizetype index = 0; index < result.size(); ++index)
        if (index == 0 || !result.at(index - 1).isLetterOrNumber())
            result[index] = result.at(index).toUpper();
    return result;
}

QVariant emptyValue(Kind kind)
{
    switch (kind) {
    case Kind::number: return 0.0;
    case Kind::flag: return false;
    case Kind::integer: return 0;
    case Kind::rectangle: return QRectF();
    default: return {};
    }
}

} // namespace

struct KOVA_LayerInspector::Row {
    using Setter = void (KOVA_LayerInspector::*)(Key key, const QVariant& value);
    using Load = QVariant (*)(const QVariant& layerValue);

    Key key;
    QString name;
    Kind kind;
    // The layer's property that feeds it, and that an edit sends to when it sends.
    std::optional<Property> property = {};
    // The mirrored form of the layer's value; none takes it as it is.
    Load load = nullptr;
    // Whether an edit is sent to the editor as it is; else it stays in the mirror.
    bool sends = false;
    // A setter of its own, in place of store and send.
    Setter setter = nullptr;
    // The panel whose switch this is.
    QString panel = {};
    // What its control offers, for numbers: an edit is taken into it.
    Range range = anyNumber;
};

// Every mirrored value, in the order a new layer loads them.
const KOVA_LayerInspector::Row& KOVA_LayerInspector::row(Key key)
{
    using I = KOVA_LayerInspector;
    const Range position{minDouble, maxDouble};
    const Range size{minZero, maxDouble};
    const Range opacity{0, 1};
    const Range offset{-100, 100};
    static const Row rows[] = {
        {.key = Key::frameX, .name = "frameX", .kind = Kind::number, .property = Property::x,
         .setter = &I::setFrameComponent, .range = position},
        {.key = Key::frameY, .name = "frameY", .kind = Kind::number, .property = Property::y,
         .setter = &I::setFrameComponent, .range = position},
        {.key = Key::frameWidth, .name = "frameWidth", .kind = Kind::number, .property = Property::width,
         .setter = &I::setFrameComponent, .range = size},
        {.key = Key::frameHeight, .name = "frameHeight", .kind = Kind::number, .property = Property::height,
         .setter = &I::setFrameComponent, .range = size},
        {.key = Key::frameRotation, .name = "frameRotation", .kind = Kind::number, .property = Property::rotation,
         .load = degrees, .setter = &I::setFrameRotation, .range = {frameRotationMin, frameRotationMax}},
        {.key = Key::backgroundEnabled, .name = "backgroundEnabled", .kind = Kind::flag,
         .property = Property::hasBackground, .sends = true, .panel = "background"},
        {.key = Key::backgroundColor, .name = "backgroundColor", .kind = Kind::color,
         .property = Property::backgroundColorCode, .load = opaqueColor, .setter = &I::setColor},
        {.key = Key::backgroundOpacity, .name = "backgroundOpacity", .kind = Kind::number,
         .property = Property::backgroundOpacity, .sends = true, .range = opacity},
        {.key = Key::shadowEnabled, .name = "shadowEnabled", .kind = Kind::flag, .property = Property::hasShadow,
         .sends = true, .panel = "shadow"},
        {.key = Key::shadowColor, .name = "shadowColor", .kind = Kind::color, .property = Property::shadowColorCode,
         .load = opaqueColor, .setter = &I::setColor},
        {.key = Key::shadowBlur, .name = "shadowBlur", .kind = Kind::number, .property = Property::shadowBlur,
         .sends = true, .range = {0, 100}},
        {.key = Key::shadowOpacity, .name = "shadowOpacity", .kind = Kind::number,
         .property = Property::shadowOpacity, .sends = true, .range = opacity},
        {.key = Key::shadowOffsetX, .name = "shadowOffsetX", .kind = Kind::number,
         .property = Property::shadowOffsetX, .sends = true, .range = offset},
        {.key = Key::shadowOffsetY, .name = "shadowOffsetY", .kind = Kind::number,
         .property = Property::shadowOffsetY, .sends = true, .range = offset},
        {.key = Key::borderEnabled, .name = "borderEnabled", .kind = Kind::flag, .property = Property::hasBorder,
         .sends = true, .panel = "border"},
        {.key = Key::borderColor, .name = "borderColor", .kind = Kind::color, .property = Property::borderColorCode,
         .load = opaqueColor, .setter = &I::setColor},
        {.key = Key::borderOpacity, .name = "borderOpacity", .kind = Kind::number,
         .property = Property::borderOpacity, .sends = true, .range = opacity},
        {.key = Key::borderWidth, .name = "borderWidth", .kind = Kind::number, .property = Property::borderWidth,
         .sends = true, .range = {0, 1000}},
        {.key = Key::borderClipsContent, .name = "borderClipsContent", .kind = Kind::flag,
         .property = Property::borderClipsContent, .sends = true},
        {.key = Key::key, .name = "key", .kind = Kind::text, .property = Property::key},
        {.key = Key::stampType, .name = "stampType", .kind = Kind::text, .setter = &I::setStampType},
        {.key = Key::gravity, .name = "gravity", .kind = Kind::text, .property = Property::gravity, .sends = true},
        {.key = Key::graphicPath, .name = "graphicPath", .kind = Kind::text, .property = Property::graphicPath,
         .sends = true},
        {.key = Key::stringValue, .name = "stringValue", .kind = Kind::text, .property = Property::stringValue,
         .sends = true},
        {.key = Key::stampFormat, .name = "stampFormat", .kind = Kind::text, .setter = &I::setStampFormat},
        {.key = Key::fontName, .name = "fontName", .kind = Kind::text, .property = Property::fontName, .sends = true},
        {.key = Key::fontSize, .name = "fontSize", .kind = Kind::integer, .property = Property::fontSize,
         .load = fontSizeShown, .setter = &I::setFontSize, .range = {fontSizeMin, fontSizeMax}},
        {.key = Key::fontColor, .name = "fontColor", .kind = Kind::color, .property = Property::textColorCode,
         .load = opaqueColor, .setter = &I::setColor},
        {.key = Key::fontOpacity, .name = "fontOpacity", .kind = Kind::number, .property = Property::textOpacity,
         .sends = true, .range = opacity},
        // Left, centre, right as the control shows them.
        {.key = Key::textAlignment, .name = "textAlignment", .kind = Kind::integer,
         .property = Property::textAlignment, .setter = &I::setTextAlignment, .range = {0, 2}},
        {.key = Key::canvasWidth, .name = "canvasWidth", .kind = Kind::number, .setter = &I::setCanvasSize,
         .range = size},
        {.key = Key::canvasHeight, .name = "canvasHeight", .kind = Kind::number, .setter = &I::setCanvasSize,
         .range = size},
        {.key = Key::frame, .name = "frame", .kind = Kind::rectangle, .setter = &I::setFrameRectangle},
        {.key = Key::fontUnderline, .name = "fontUnderline", .kind = Kind::flag},
    };
    static_assert(std::size(rows) == static_cast<std::size_t>(Key::Count));
    const Row& found = rows[static_cast<std::size_t>(key)];
    Q_ASSERT(found.key == key);
    return found;
}

// Tells the inspector of its layer's and its template's changes, on the main queue.
class KOVA_LayerInspector::Observer : public platform::KeyValueObserver {
public:
    explicit Observer(KOVA_LayerInspector& inspector)
        : m_inspector(inspector)
        , m_alive(inspector.m_alive)
    {
    }

    void observeValueForKeyPath(const QString&, platform::Observable& object, const QVariantMap&,
                                const void* context) override
    {
        const auto* changed = dynamic_cast<const KOVA_Template*>(&object);
        if (!changed)
            return;
        if (ZORVAK_Dispatch::isMainQueue()) {
            m_inspector.layerKeyChanged(context, changed);
            return;
        }
        // Only compared with the inspected objects there, never read through.
        ZORVAK_Dispatch::performAsyncOnMainQueue([inspector = &m_inspector, alive = m_alive, context, changed] {
            if (!alive.expired())
                inspector->layerKeyChanged(context, changed);
        });
    }

    static inline const char templateContext = 0;

private:
    KOVA_LayerInspector& m_inspector;
    std::weak_ptr<bool> m_alive;
};

KOVA_LayerInspector::KOVA_LayerInspector(KOVA_TemplateEditorLayerCommands& templateEditor, QObject* parent)
    : QObject(parent)
    , m_templateEditor(templateEditor)
{
    m_observer = std::make_shared<Observer>(*this);
    for (std::size_t index = 0; index < m_values.size(); ++index)
        m_values[index] = emptyValue(row(static_cast<Key>(index)).kind);
    templateDidChange();
}

KOVA_LayerInspector::~KOVA_LayerInspector()
{
    observeLayer(false);
    observeTemplate(false);
}

// ---- The inspected layer ----

void KOVA_LayerInspector::setLayer(const Pointer& layer)
{
    if (layer == m_layer)
        return;
    // What is being typed belongs to the layer it was typed for.
    commitEditing();
    observeLayer(false);
    m_layer = layer;
    for (std::size_t index = 0; index < m_values.size(); ++index)
        if (const Row& each = row(static_cast<Key>(index)); each.property)
            loadLayerKey(each);
    observeLayer(true);
    emit layerChanged();
}

void KOVA_LayerInspector::templateDidChange()
{
    observeTemplate(false);
    m_observedTemplate = m_templateEditor.templateObject();
    observeTemplate(true);
    loadCanvasSize();
}

void KOVA_LayerInspector::observeLayer(bool observing)
{
    if (!m_layer)
        return;
    for (std::size_t index = 0; index < m_values.size(); ++index) {
        const Row& each = row(static_cast<Key>(index));
        if (!each.property)
            continue;
        const QString keyPath = KOVA_TemplateProperty::withID(*each.property).name;
        if (observing)
            m_layer->addObserver(m_observer, keyPath, platform::KeyValueObservingOptionNew, &each);
        else
            m_layer->removeObserver(m_observer.get(), keyPath, &each);
    }
}

void KOVA_LayerInspector::observeTemplate(bool observing)
{
    if (!m_observedTemplate)
        return;
    const QString frame = KOVA_TemplateProperty::withID(Property::frame).name;
    if (observing)
        m_observedTemplate->addObserver(m_observer, frame, platform::KeyValueObservingOptionNew,
                                        &Observer::templateContext);
    else
        m_observedTemplate->removeObserver(m_observer.get(), frame, &Observer::templateContext);
}

void KOVA_LayerInspector::layerKeyChanged(const void* context, const KOVA_Template* object)
{
    if (context == &Observer::templateContext) {
        if (object == m_observedTemplate.get())
            loadCanvasSize();
        return;
    }
    if (object == m_layer.get())
        loadLayerKey(*static_cast<const Row*>(context));
}

void KOVA_LayerInspector::loadLayerKey(const Row& row)
{
    if (!m_layer) {
        setUnboundValue(row.key, emptyValue(row.kind));
        return;
    }
    const QVariant value = KOVA_TemplateProperty::withID(*row.property).getter(*m_layer);
    setUnboundValue(row.key, row.load ? row.load(value) : value);
}

void KOVA_LayerInspector::loadCanvasSize()
{
    const QSizeF size = m_observedTemplate ? m_observedTemplate->canvasSize() : QSizeF(0, 0);
    setUnboundValue(Key::canvasWidth, size.width());
    setUnboundValue(Key::canvasHeight, size.height());
}

void KOVA_LayerInspector::commitEditing()
{
    emit commitEditingRequested();
}

// ---- Mirrored values ----

QString KOVA_LayerInspector::name(Key key)
{
    return row(key).name;
}

KOVA_LayerInspector::Range KOVA_LayerInspector::range(Key key)
{
    return row(key).range;
}

QVariant KOVA_LayerInspector::value(Key key) const
{
    if (key == Key::textAlignment)
        return swappedAlignment(stored(key).toUInt());
    return stored(key);
}

bool KOVA_LayerInspector::store(Key key, const QVariant& value)
{
    if (stored(key) == value)
        return false;
    stored(key) = value;
    announced(key);
    return true;
}

void KOVA_LayerInspector::announced(Key key)
{
    emit valueChanged(key);
    switch (key) {
    case Key::frameWidth: case Key::frameHeight: case Key::frameRotation:
    case Key::canvasWidth: case Key::canvasHeight:
        emit limitsChanged();
        break;
    default:
        break;
    }
}

void KOVA_LayerInspector::setValue(Key key, const QVariant& value)
{
    const Row& row = KOVA_LayerInspector::row(key);
    QVariant taken = value;
    if (row.kind == Kind::number || row.kind == Kind::integer) {
        const std::optional<QVariant> number = numberWithin(value, row.kind, row.range);
        if (!number) {
            platform::Log::log(QStringLiteral("refused %1 of %2: not a finite number").arg(value.toString(), row.name));
            return;
        }
        taken = *number;
    }
    if (row.setter) {
        (this->*row.setter)(key, taken);
        return;
    }
    if (!store(key, taken))
        return;
    if (row.sends && m_layer)
        m_templateEditor.templateLayerProperty(m_layer, *row.property, taken);
    if (!row.panel.isEmpty())
        emit toggleViewForIdentifier(row.panel);
}

void KOVA_LayerInspector::setUnboundValue(Key key, const QVariant& value)
{
    if (!store(key, value))
        return;
    if (const QString panel = row(key).panel; !panel.isEmpty())
        emit toggleViewForIdentifier(panel);
    if (key == Key::key)
        store(Key::stampType, capitalized(value.toString()));
    if (key == Key::stringValue) {
        store(Key::stampFormat, value);
        emit noteChangeInTopRowHeight();
    }
}

void KOVA_LayerInspector::setFrame(const QRectF& frame)
{
    const QRectF mirrored = stored(Key::frame).toRectF();
    if (frame.width() != mirrored.width())
        setValue(Key::frameWidth, frame.width());
    if (frame.height() != mirrored.height())
        setValue(Key::frameHeight, frame.height());
    if (frame.x() != mirrored.x())
        setValue(Key::frameX, frame.x());
    if (frame.y() != mirrored.y())
        setValue(Key::frameY, frame.y());
    store(Key::frame, frame);
    moveLayer(frame);
}

void KOVA_LayerInspector::setFrameRectangle(Key, const QVariant& frame)
{
    setFrame(frame.toRectF());
}

// ---- Bound setters of their own ----

void KOVA_LayerInspector::setFrameComponent(Key key, const QVariant& requested)
{
    const double value = requested.toDouble();
    if (stored(key).toDouble() == value)
        return;
    QRectF frame = m_layer ? m_layer->frame() : QRectF();
    const double turn = stored(Key::frameRotation).toDouble() * std::numbers::pi / 180.0;
    const double size = std::max(0.0, value);
    switch (key) {
    case Key::frameX:
        frame.moveLeft(value);
        break;
    case Key::frameY:
        frame.moveTop(value);
        break;
    case Key::frameWidth: {
        // A rotated layer keeps its own left side where it is on the canvas.
        const double half = (size - stored(key).toDouble()) / 2;
        if (turn != 0)
            frame.translate(-(1 - std::cos(turn)) * half, std::sin(turn) * half);
        frame.setWidth(size);
        break;
    }
    default: {
        // ... and its own top side.
        const double half = (size - stored(key).toDouble()) / 2;
        if (turn != 0)
            frame.translate(-std::sin(turn) * half, -(1 - std::cos(turn)) * half);
        frame.setHeight(size);
        break;
    }
    }
    store(key, key == Key::frameX || key == Key::frameY ? value : size);
    moveLayer(frame);
}

void KOVA_LayerInspector::moveLayer(const QRectF& frame)
{
    if (!m_layer)
        return;
    m_templateEditor.moveTemplateLayer(m_layer, frame);
    loadFrame();
}

void KOVA_LayerInspector::loadFrame()
{
    for (const Key key : {Key::frameX, Key::frameY, Key::frameWidth, Key::frameHeight})
        loadLayerKey(row(key));
}

// The mirror keeps the degrees as given; whole degrees reach the layer, as radians, a
// moment later, each edit its own value for the layer it was made for.
void KOVA_LayerInspector::setFrameRotation(Key key, const QVariant& degrees)
{
    if (!store(key, degrees.toDouble()) || !m_layer)
        return;
    const double radians = std::round(degrees.toDouble()) * std::numbers::pi / 180.0;
    platform::DispatchQueue::main()->after(
        std::chrono::milliseconds(rotationSendDelay),
        [this, alive = std::weak_ptr(m_alive), layer = std::weak_ptr(m_layer), radians] {
            const Pointer edited = layer.lock();
            if (!alive.expired() && edited)
                m_templateEditor.templateLayerProperty(edited, Property::rotation, radians);
        });
}

// A picked colour is sent with the opacity its group's slider shows.
void KOVA_LayerInspector::setColor(Key key, const QVariant& color)
{
    if (!store(key, color) || !m_layer || !color.value<QColor>().isValid())
        return;
    const QString code =
        ZORVAK_color::hexcode(ZORVAK_color::hexcodeForColor(color.value<QColor>()), stored(opacityOf(key)).toDouble());
    m_templateEditor.templateLayerProperty(m_layer, *row(key).property, code);
}

Key KOVA_LayerInspector::opacityOf(Key color)
{
    switch (color) {
    case Key::backgroundColor: return Key::backgroundOpacity;
    case Key::shadowColor: return Key::shadowOpacity;
    case Key::borderColor: return Key::borderOpacity;
    default: return Key::fontOpacity;
    }
}

void KOVA_LayerInspector::setFontSize(Key key, const QVariant& fontSize)
{
    const int size = fontSize.toInt();
    if (store(key, size) && m_layer)
        m_templateEditor.templateLayerProperty(m_layer, Property::fontSize, QString::number(size));
}

// A stamp keeps its format as its text.
void KOVA_LayerInspector::setStampFormat(Key key, const QVariant& format)
{
    if (stored(Key::stringValue) == format)
        return;
    store(Key::stringValue, format);
    store(key, format);
    if (m_layer)
        m_templateEditor.templateLayerProperty(m_layer, Property::stringValue, format, QStringLiteral("Change Stamp Format"));
}

// The type chosen is the stamp's key.
void KOVA_LayerInspector::setStampType(Key key, const QVariant& type)
{
    if (store(key, type) && m_layer)
        m_templateEditor.templateLayerProperty(m_layer, Property::key, type);
}

void KOVA_LayerInspector::setTextAlignment(Key key, const QVariant& shown)
{
    const unsigned alignment = swappedAlignment(shown.toUInt());
    if (store(key, alignment) && m_layer)
        m_templateEditor.templateLayerProperty(m_layer, Property::textAlignment, alignment);
}

void KOVA_LayerInspector::setCanvasSize(Key key, const QVariant& requested)
{
    if (stored(key) == requested)
        return;
    const double size = std::max(0.0, requested.toDouble());
    store(key, size);
    if (!m_templateEditor.templateObject())
        return;
    if (key == Key::canvasWidth)
        m_templateEditor.setCanvasWidth(size);
    else
        m_templateEditor.setCanvasHeight(size);
}

// ---- Actions ----

void KOVA_LayerInspector::runAction(const char* name, void (Commands::*command)(const Pointer&))
{
    platform::Log::log(QStringLiteral("KOVA_LayerInspector::%1").arg(QLatin1String(name)));
    (m_templateEditor.*command)(m_layer);
}

void KOVA_LayerInspector::fillCanvas()
{
    runAction("fillCanvas", &Commands::fillTemplateWithLayer);
}

void KOVA_LayerInspector::chooseFile()
{
    runAction("chooseFile", &Commands::chooseGraphicPathForLayer);
}

void KOVA_LayerInspector::fitToContent()
{
    runAction("fitToContent", &Commands::resizeLayerToFitContent);
}

void KOVA_LayerInspector::centerHorizontally()
{
    platform::Log::log(QStringLiteral("KOVA_LayerInspector::centerHorizontally"));
    m_templateEditor.centerTemplateLayer(m_layer, Commands::axisHorizontal);
}

void KOVA_LayerInspector::centerVertically()
{
    platform::Log::log(QStringLiteral("KOVA_LayerInspector::centerVertically"));
    m_templateEditor.centerTemplateLayer(m_layer, Commands::axisVertical);
}
