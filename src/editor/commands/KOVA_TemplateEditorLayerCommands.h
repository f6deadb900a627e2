#pragma once

#include "editor/edits/KOVA_TemplateEditorEdits.h"

#include <QList>
#include <QRectF>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <functional>

// The editor's commands on the selected layer, as the inspector sends them: a property
// edit goes unchanged to the canvas's undoable registration of that property,
// and each geometry command works out the layer's new frame and registers it as one
// "Move Layer" step. A null layer, or no template, changes nothing. Main thread only.
class KOVA_TemplateEditorLayerCommands {
public:
    using Pointer = KOVA_Template::Pointer;
    // The answer of an open panel: its response (1 for a choice) and the chosen files.
    using OpenPanelReply = std::function<void(int response, const QList<QUrl>& urls)>;
    // Shows an open panel configured by `options` and answers through `reply`.
    using OpenPanel = std::function<void(const QVariantMap& options, const OpenPanelReply& reply)>;

    static inline const QString chooseGraphicTitle = QStringLiteral("Select a graphic image");

    explicit KOVA_TemplateEditorLayerCommands(KOVA_TemplateEditorEdits& canvas);

    // The open panel choosing a graphic; without one, choosing does nothing.
    void setOpenPanel(OpenPanel openPanel) { m_openPanel = std::move(openPanel); }

    // The open template.
    const Pointer& templateObject() const { return m_canvas.templateObject(); }

    // ---- Property edits ----

    // Hands the edit unchanged to the canvas's undoable registration of the property
    // (KOVA_TemplateEditorEdits::registerUndoLayerProperty): every property edit the
    // inspector sends is this one command over a row of the property table (the rows name
    // the commands: the font size row's is templateLayerFontSize). A rotation is in
    // radians, a font size text.
    void templateLayerProperty(const Pointer& layer, KOVA_TemplateProperty::ID property, const QVariant& value,
                               const QString& actionName = {});

    // ---- Geometry ----

    // Registers the frame when its width and height are both above 0; else nothing.
    void moveTemplateLayer(const Pointer& layer, const QRectF& toFrame);
    // A negative size (or one that is no number) beeps (Beeper) and changes nothing.
    void setCanvasWidth(double width);
    void setCanvasHeight(double height);
    // Axis bits: centre horizontally, vertically. The origin is rounded half away from
    // zero; a layer already there records no step.
    static constexpr unsigned axisHorizontal = 1;
    static constexpr unsigned axisVertical = 2;
    void centerTemplateLayer(const Pointer& layer, unsigned axis);
    // Text and stamp layers take the size of their text (and of a border around it that
    // does not clip), within the canvas from their origin on; graphics their picture's
    // upright size; other layers keep theirs.
    void resizeLayerToFitContent(const Pointer& layer);
    // Gives the layer the canvas's frame.
    void fillTemplateWithLayer(const Pointer& layer);
    // Asks for a picture in the graphics folder and makes it the layer's graphic.
    void chooseGraphicPathForLayer(const Pointer& layer);
    // The options of that panel: `title` as title and message, files of image types only.
    static QVariantMap openPanelChooseGraphicOptions(const QString& title);

private:
    // The layer's frame and the canvas, when both exist.
    bool canPlace(const Pointer& layer) const;
    void setCanvasSize(double size, void (KOVA_TemplateEditorEdits::*registration)(const Pointer&, double));
    void registerSize(const Pointer& layer, const QSizeF& size);
    QSizeF textContentSize(const KOVA_Template& layer) const;
    static QSizeF graphicContentSize(const KOVA_Template& layer);

    KOVA_TemplateEditorEdits& m_canvas;
    OpenPanel m_openPanel;
};
