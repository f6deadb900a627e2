#pragma once

#include "editor/edits/KOVA_TemplateEditorEdits.h"

#include <QList>
#include <QRectF>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <functional>

// The editor's commands on the selected layer, as the inspector sends them: each
// property edit goes unchanged to the canvas's undoable registration of that property,
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

    void templateLayerStringValue(const Pointer& layer, const QString& actionName, const QString& stringValue);
    void templateLayerKey(const Pointer& layer, const QString& actionName, const QString& key);
    void templateLayerGraphicPath(const Pointer& layer, const QString& graphicPath);
    void templateLayerGravity(const Pointer& layer, const QString& gravity);
    void templateLayerFontName(const Pointer& layer, const QString& fontName);
    void templateLayerFontSize(const Pointer& layer, const QString& fontSize);
    void templateLayerTextColorCode(const Pointer& layer, const QString& textColorCode);
    void templateLayerTextOpacity(const Pointer& layer, double textOpacity);
    void templateLayerTextAlignment(const Pointer& layer, unsigned textAlignment);
    void templateLayerBackgroundEnabled(const Pointer& layer, bool backgroundEnabled);
    void templateLayerBackgroundColorCode(const Pointer& layer, const QString& backgroundColorCode);
    void templateLayerBackgroundOpacity(const Pointer& layer, double backgroundOpacity);
    void templateLayerBorderEnabled(const Pointer& layer, bool borderEnabled);
    void templateLayerBorderWidth(const Pointer& layer, double borderWidth);
    void templateLayerBorderColorCode(const Pointer& layer, const QString& borderColorCode);
    void templateLayerBorderOpacity(const Pointer& layer, double borderOpacity);
    void templateLayerBorderClipsContent(const Pointer& layer, bool borderClipsContent);
    void templateLayerShadowEnabled(const Pointer& layer, bool shadowEnabled);
    void templateLayerShadowBlur(const Pointer& layer, double shadowBlur);
    void templateLayerShadowColorCode(const Pointer& layer, const QString& shadowColorCode);
    void templateLayerShadowOpacity(const Pointer& layer, double shadowOpacity);
    void templateLayerShadowOffsetX(const Pointer& layer, double shadowOffsetX);
    void templateLayerShadowOffsetY(const Pointer& layer, double shadowOffsetY);
    // Radians.
    void templateLayerRotation(const Pointer& layer, double rotation);

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
