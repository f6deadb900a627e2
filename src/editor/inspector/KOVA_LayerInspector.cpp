#include "editor/inspector/KOVA_LayerInspector.h"

#include "core/image/ZORVAK_color.h"
#include "core/queues/ZORVAK_Dispatch.h"
#include "platform/Log.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/observation/KeyValueObserver.h"

#include <QColor>

#include <chrono>
#include <cmath>
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

template <void (Commands::*command)(const Pointer&, double)>
void sendNumber(Commands& editor, const Pointer& layer, const QVariant& value)
{
    (editor.*command)(layer, value.toDouble());
}

template <void (Commands::*command)(const Pointer&, bool)>
void sendFlag(Commands& editor, const Pointer& layer, const QVariant& value)
{
    (editor.*command)(layer, value.toBool());
}

template <void (Commands::*command)(const Pointer&, const QString&)>
void sendText(Commands& editor, const Pointer& layer, const QVariant& value)
{
    (editor.*command)(layer, value.toString());
}

void sendStampType(Commands& editor, const Pointer& layer, const QVariant& value)
{
    editor.templateLayerKey(layer, QStringLiteral("Stamp Type"), value.toString());
}

void sendTextEdit(Commands& editor, const Pointer& layer, const QVariant& value)
{
    editor.templateLayerStringValue(layer, QStringLiteral("Text"), value.toString());
}

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

QVariant integerPart(const QVariant& number)
{
    return static_cast<int>(number.toString().toDouble());
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
    using Send = void (*)(Commands& editor, const Pointer& layer, const QVariant& value);
    using Setter = void (KOVA_LayerInspector::*)(Key key, const QVariant& value);
    using Load = QVariant (*)(const QVariant& layerValue);

    Key key;
    QString name;
    Kind kind;
    // The layer key that feeds it, when one does.
    std::optional<Property> layerKey = {};
    // The mirrored form of the layer's value; none takes it as it is.
    Load load = nullptr;
    // Sends an edit to the editor; none keeps it in the mirror.
    Send send = nullptr;
    // A setter of its own, in place of store and send.
    Setter setter = nullptr;
    // The panel whose switch this is.
    QString panel = {};
};

// Every mirrored value, in the order a new layer loads them.
const KOVA_LayerInspector::Row& KOVA_LayerInspector::row(Key key)
{
    using I = KOVA_LayerInspector;
    using C = Commands;
    static const Row rows[] = {
        {Key::frameX, "frameX", Kind::number, Property::x, nullptr, nullptr, &I::setFrameComponent},
        {Key::frameY, "frameY", Kind::number, Property::y, nullptr, nullptr, &I::setFrameComponent},
        {Key::frameWidth, "frameWidth", Kind::number, Property::width, nullptr, nullptr, &I::setFrameComponent},
        {Key::frameHeight, "frameHeight", Kind::number, Property::height, nullptr, nullptr, &I::setFrameComponent},
        {Key::frameRotation, "frameRotation", Kind::number, Property::rotation, degrees, nullptr,
         &I::setFrameRotation},
        {Key::backgroundEnabled, "backgroundEnabled", Kind::flag, Property::hasBackground, nullptr,
         sendFlag<&C::templateLayerBackgroundEnabled>, nullptr, "background"},
        {Key::backgroundColor, "backgroundColor", Kind::color, Property::backgroundColorCode, opaqueColor, nullptr,
         &I::setColor},
        {Key::backgroundOpacity, "backgroundOpacity", Kind::number, Property::backgroundOpacity, nullptr,
         sendNumber<&C::templateLayerBackgroundOpacity>},
        {Key::shadowEnabled, "shadowEnabled", Kind::flag, Property::hasShadow, nullptr,
         sendFlag<&C::templateLayerShadowEnabled>, nullptr, "shadow"},
        {Key::shadowColor, "shadowColor", Kind::color, Property::shadowColorCode, opaqueColor, nullptr, &I::setColor},
        {Key::shadowBlur, "shadowBlur", Kind::number, Property::shadowBlur, nullptr,
         sendNumber<&C::templateLayerShadowBlur>},
        {Key::shadowOpacity, "shadowOpacity", Kind::number, Property::shadowOpacity, nullptr,
         sendNumber<&C::templateLayerShadowOpacity>},
        {Key::shadowOffsetX, "shadowOffsetX", Kind::number, Property::shadowOffsetX, nullptr,
         sendNumber<&C::templateLayerShadowOffsetX>},
        {Key::shadowOffsetY, "shadowOffsetY", Kind::number, Property::shadowOffsetY, nullptr,
         sendNumber<&C::templateLayerShadowOffsetY>},
        {Key::borderEnabled, "borderEnabled", Kind::flag, Property::hasBorder, nullptr,
         sendFlag<&C::templateLayerBorderEnabled>, nullptr, "border"},
        {Key::borderColor, "borderColor", Kind::color, Property::borderColorCode, opaqueColor, nullptr, &I::setColor},
        {Key::borderOpacity, "borderOpacity", Kind::number, Property::borderOpacity, nullptr,
         sendNumber<&C::templateLayerBorderOpacity>},
        {Key::borderWidth, "borderWidth", Kind::number, Property::borderWidth, nullptr,
         sendNumber<&C::templateLayerBorderWidth>},
        {Key::borderClipsContent, "borderClipsContent", Kind::flag, Property::borderClipsContent, nullptr,
         sendFlag<&C::templateLayerBorderClipsContent>},
        {Key::key, "key", Kind::text, Property::key},
        {Key::stampType, "stampType", Kind::text, std::nullopt, nullptr, sendStampType},
        {Key::gravity, "gravity", Kind::text, Property::gravity, nullptr, sendText<&C::templateLayerGravity>},
        {Key::graphicPath, "graphicPath", Kind::text, Property::graphicPath, nullptr,
         sendText<&C::templateLayerGraphicPath>},
        {Key::stringValue, "stringValue", Kind::text, Property::stringValue, nullptr, sendTextEdit},
        {Key::stampFormat, "stampFormat", Kind::text, std::nullopt, nullptr, nullptr, &I::setStampFormat},
        {Key::fontName, "fontName", Kind::text, Property::fontName, nullptr, sendText<&C::templateLayerFontName>},
        {Key::fontSize, "fontSize", Kind::integer, Property::fontSize, integerPart, nullptr, &I::setFontSize},
        {Key::fontColor, "fontColor", Kind::color, Property::textColorCode, opaqueColor, nullptr, &I::setColor},
        {Key::fontOpacity, "fontOpacity", Kind::number, Property::textOpacity, nullptr,
         sendNumber<&C::templateLayerTextOpacity>},
        {Key::textAlignment, "textAlignment", Kind::integer, Property::textAlignment, nullptr, nullptr,
         &I::setTextAlignment},
        {Key::canvasWidth, "canvasWidth", Kind::number, std::nullopt, nullptr, nullptr, &I::setCanvasSize},
        {Key::canvasHeight, "canvasHeight", Kind::number, std::nullopt, nullptr, nullptr, &I::setCanvasSize},
        {Key::frame, "frame", Kind::rectangle, std::nullopt, nullptr, nullptr, &I::setFrameRectangle},
        {Key::fontUnderline, "fontUnderline", Kind::flag},
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
    observeLayer(false);
    m_layer = layer;
    for (std::size_t index = 0; index < m_values.size(); ++index)
        if (const Row& each = row(static_cast<Key>(index)); each.layerKey)
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
        if (!each.layerKey)
            continue;
        const QString keyPath = KOVA_TemplateProperty::withID(*each.layerKey).name;
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
    const QVariant value = KOVA_TemplateProperty::withID(*row.layerKey).getter(*m_layer);
    setUnboundValue(row.key, row.load ? row.load(value) : value);
}

void KOVA_LayerInspector::loadCanvasSize()
{
    const QSizeF size = m_observedTemplate ? m_observedTemplate->canvasSize() : QSizeF(0, 0);
    setUnboundValue(Key::canvasWidth, size.width());
    setUnboundValue(Key::canvasHeight, size.height());
}

// ---- Mirrored values ----

QString KOVA_LayerInspector::name(Key key)
{
    return row(key).name;
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
    if (row.kind == Kind::number && !std::isfinite(value.toDouble())) {
        platform::Log::log(QStringLiteral("refused %1 of %2: not a finite number").arg(value.toString(), row.name));
        return;
    }
    if (row.setter) {
        (this->*row.setter)(key, value);
        return;
    }
    if (!store(key, value))
        return;
    if (row.send && m_layer)
        row.send(m_templateEditor, m_layer, value);
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
                m_templateEditor.templateLayerRotation(edited, radians);
        });
}

// A picked colour is sent with the opacity its group's slider shows.
void KOVA_LayerInspector::setColor(Key key, const QVariant& color)
{
    if (!store(key, color) || !m_layer || !color.value<QColor>().isValid())
        return;
    const auto send = [&](Key opacity, void (Commands::*command)(const Pointer&, const QString&)) {
        const QString code = ZORVAK_color::hexcode(ZORVAK_color::hexcodeForColor(color.value<QColor>()),
                                                   stored(opacity).toDouble());
        (m_templateEditor.*command)(m_layer, code);
    };
    switch (key) {
    case Key::backgroundColor: return send(Key::backgroundOpacity, &Commands::templateLayerBackgroundColorCode);
    case Key::shadowColor: return send(Key::shadowOpacity, &Commands::templateLayerShadowColorCode);
    case Key::borderColor: return send(Key::borderOpacity, &Commands::templateLayerBorderColorCode);
    default: return send(Key::fontOpacity, &Commands::templateLayerTextColorCode);
    }
}

void KOVA_LayerInspector::setFontSize(Key key, const QVariant& fontSize)
{
    const int size = std::max(fontSizeMin, fontSize.toInt());
    if (store(key, size) && m_layer)
        m_templateEditor.templateLayerFontSize(m_layer, QString::number(size));
}

// A stamp keeps its format as its text.
void KOVA_LayerInspector::setStampFormat(Key key, const QVariant& format)
{
    if (stored(Key::stringValue) == format)
        return;
    store(Key::stringValue, format);
    store(key, format);
    if (m_layer)
        m_templateEditor.templateLayerStringValue(m_layer, QStringLiteral("Stamp Format"), format.toString());
}

void KOVA_LayerInspector::setTextAlignment(Key key, const QVariant& shown)
{
    const unsigned alignment = swappedAlignment(shown.toUInt());
    if (store(key, alignment) && m_layer)
        m_templateEditor.templateLayerTextAlignment(m_layer, alignment);
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
