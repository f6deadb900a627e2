#pragma once

#include "editor/commands/KOVA_TemplateEditorLayerCommands.h"

#include <QObject>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>
#include <memory>

namespace platform {
class KeyValueObserver;
}

// The layer inspector's mirror of the inspected layer, apart from any widget. Each
// editable property of the layer has a mirrored value that the panels' controls show
// and edit:
// - an edit (setValue) that changes the mirrored value stores it and sends it to the
//   editor's command for that property, which records an undoable change of the layer;
// - the layer announces its change, and the mirror loads the new value (setUnboundValue),
//   which stores it and tells the controls (valueChanged) without sending anything back.
// So an undo, a drag on the canvas or any other change of the layer reaches the controls
// the same way as an edit made in them, and nothing echoes.
//
// Main thread only; a layer changed on another thread is loaded on the main queue.
class KOVA_LayerInspector : public QObject {
    Q_OBJECT
public:
    using Pointer = KOVA_Template::Pointer;

    // The mirrored values (rows of the inspector's property table).
    enum class Key {
        frameX, frameY, frameWidth, frameHeight, frameRotation,
        backgroundEnabled, backgroundColor, backgroundOpacity,
        shadowEnabled, shadowColor, shadowBlur, shadowOpacity, shadowOffsetX, shadowOffsetY,
        borderEnabled, borderColor, borderOpacity, borderWidth, borderClipsContent,
        key, stampType, gravity, graphicPath, stringValue, stampFormat,
        fontName, fontSize, fontColor, fontOpacity, textAlignment,
        canvasWidth, canvasHeight, frame, fontUnderline,
        Count,
    };
    Q_ENUM(Key)

    // The values a number's control offers.
    struct Range {
        double minimum;
        double maximum;
    };

    // Read-only values for the controls' ranges.
    static constexpr double minZero = 0.0;
    static constexpr double minDouble = -2147483648.0;
    static constexpr double maxDouble = 2147483647.0;
    static constexpr double frameRotationMin = -180.0;
    static constexpr double frameRotationMax = 180.0;
    static constexpr double frameMinWidth = 0.0;
    static constexpr double frameMinHeight = 0.0;
    static constexpr int fontSizeMin = 1;
    static constexpr int fontSizeMax = 9999;
    // Milliseconds after a rotation edit at which it is sent.
    static constexpr int rotationSendDelay = 10;

    explicit KOVA_LayerInspector(KOVA_TemplateEditorLayerCommands& templateEditor, QObject* parent = nullptr);
    ~KOVA_LayerInspector() override;

    KOVA_TemplateEditorLayerCommands& templateEditor() const { return m_templateEditor; }

    // ---- The inspected layer ----

    const Pointer& layer() const { return m_layer; }
    // Observes the layer's keys instead of the last one's and loads every value from it
    // (none loads zeros, NO and nothing); the layer already inspected changes nothing.
    void setLayer(const Pointer& layer);
    // The editor opened another template (or none): observes its frame for the canvas size.
    void templateDidChange();
    // Ends an edit still going on in a control (text typed and not yet entered): it
    // reaches the layer it was made for. Done before another layer is inspected; the
    // editor asks for it before it saves or closes the template.
    void commitEditing();

    // ---- Mirrored values ----

    // The property's name ("fontSize").
    static QString name(Key key);
    // The mirrored value; the text alignment as the control shows it (left, centre,
    // right as 0, 1, 2).
    QVariant value(Key key) const;
    // What a number's control offers.
    static Range range(Key key);
    // An edit from a control: a new value is stored and sent to the editor. A number
    // that is no number or infinite is refused; another is taken into the control's
    // range (a whole number's fraction dropped).
    void setValue(Key key, const QVariant& value);
    // A value loaded from the layer: stored and announced, never sent.
    void setUnboundValue(Key key, const QVariant& value);
    // A rectangle edit: each component that differs is edited in the order width,
    // height, x, y, then the whole rectangle is sent.
    void setFrame(const QRectF& frame);

    // ---- Ranges and choices ----

    // The rotated layer's bounding box.
    double rotatedWidth() const;
    double rotatedHeight() const;
    // The positions that keep the rotated layer on the canvas.
    double frameMinX() const;
    double frameMaxX() const;
    double frameMinY() const;
    double frameMaxY() const;
    double frameMaxWidth() const { return value(Key::canvasWidth).toDouble(); }
    double frameMaxHeight() const { return value(Key::canvasHeight).toDouble(); }

    static QStringList availableStampTypes();
    // The date formats for a date stamp; none for other stamp types.
    QStringList availableStampFormats() const;
    static QStringList availableGravity();
    static QStringList validUTIGraphics();
    // The font families, read once.
    static QStringList availableFonts();
    // The image files at the top of the graphics folder, listed once they were found.
    QStringList availableGraphics();

    // ---- Actions, each sent with the inspected layer ----

    void fillCanvas();
    void chooseFile();
    void fitToContent();
    void centerHorizontally();
    void centerVertically();

signals:
    void valueChanged(KOVA_LayerInspector::Key key);
    // The position and size limits may have changed.
    void limitsChanged();
    // A panel's enable switch changed ("background", "shadow", "border").
    void toggleViewForIdentifier(const QString& identifier);
    // A new text was loaded: the text panel should measure itself again.
    void noteChangeInTopRowHeight();
    // Another layer (or none) is inspected.
    void layerChanged();
    // Controls with an edit going on are to send it now (commitEditing).
    void commitEditingRequested();

private:
    struct Row;
    class Observer;
    static const Row& row(Key key);
    QVariant& stored(Key key) { return m_values[static_cast<std::size_t>(key)]; }
    const QVariant& stored(Key key) const { return m_values[static_cast<std::size_t>(key)]; }
    // Stores and announces when the value differs; answers whether it did.
    bool store(Key key, const QVariant& value);
    void announced(Key key);

    // The bound setters that do more than store and send.
    void setFrameComponent(Key key, const QVariant& value);
    void setFrameRectangle(Key key, const QVariant& frame);
    void setFrameRotation(Key key, const QVariant& degrees);
    void setColor(Key key, const QVariant& color);
    // The opacity whose control goes with the colour's.
    static Key opacityOf(Key color);
    void setFontSize(Key key, const QVariant& fontSize);
    void setStampType(Key key, const QVariant& type);
    void setStampFormat(Key key, const QVariant& format);
    void setTextAlignment(Key key, const QVariant& shown);
    void setCanvasSize(Key key, const QVariant& size);
    // Sends the frame, then reloads the mirror from the layer, which a refused frame left
    // as it was.
    void moveLayer(const QRectF& frame);
    void loadFrame();

    // One side of the rotated bounding box; the position limits along it.
    double rotatedExtent(double along, double across) const;
    double minPosition(double size, double rotatedSize) const;
    double maxPosition(double canvas, double size, double rotatedSize) const;
    // Logs the action's name and sends the command with the inspected layer.
    void runAction(const char* name, void (KOVA_TemplateEditorLayerCommands::*command)(const Pointer&));

    void observeLayer(bool observing);
    void observeTemplate(bool observing);
    void layerKeyChanged(const void* context, const KOVA_Template* object);
    void loadLayerKey(const Row& row);
    void loadCanvasSize();

    KOVA_TemplateEditorLayerCommands& m_templateEditor;
    Pointer m_layer;
    Pointer m_observedTemplate;
    std::array<QVariant, static_cast<std::size_t>(Key::Count)> m_values;
    std::shared_ptr<platform::KeyValueObserver> m_observer;
    QStringList m_availableGraphics;
    // Expires with the inspector; delayed sends hold it weakly.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
