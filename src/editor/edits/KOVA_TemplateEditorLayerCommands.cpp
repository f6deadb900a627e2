#include "editor/edits/KOVA_TemplateEditorLayerCommands.h"

#include "core/foundation/KOVA_Constants.h"
#include "core/image/ZORVAK_Image.h"
#include "core/ui/Beeper.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/UTType.h"

#include <QFontMetricsF>

#include <cmath>

KOVA_TemplateEditorLayerCommands::KOVA_TemplateEditorLayerCommands(KOVA_TemplateEditorEdits& canvas)
    : m_canvas(canvas)
{
}

// ---- Property edits ----

void KOVA_TemplateEditorLayerCommands::templateLayerStringValue(const Pointer& layer, const QString& actionName,
                                                                const QString& stringValue)
{
    m_canvas.registerUndoLayerStringValue(layer, actionName, stringValue);
}

void KOVA_TemplateEditorLayerCommands::templateLayerKey(const Pointer& layer, const QString& actionName,
                                                        const QString& key)
{
    m_canvas.registerUndoLayerKey(layer, actionName, key);
}

void KOVA_TemplateEditorLayerCommands::templateLayerGraphicPath(const Pointer& layer, const QString& graphicPath)
{
    m_canvas.registerUndoLayerGraphicPath(layer, graphicPath);
}

void KOVA_TemplateEditorLayerCommands::templateLayerGravity(const Pointer& layer, const QString& gravity)
{
    m_canvas.registerUndoLayerGravity(layer, gravity);
}

void KOVA_TemplateEditorLayerCommands::templateLayerFontName(const Pointer& layer, const QString& fontName)
{
    m_canvas.registerUndoLayerFontName(layer, fontName);
}

void KOVA_TemplateEditorLayerCommands::templateLayerFontSize(const Pointer& layer, const QString& fontSize)
{
    m_canvas.registerUndoLayerFontSize(layer, fontSize);
}

void KOVA_TemplateEditorLayerCommands::templateLayerTextColorCode(const Pointer& layer, const QString& textColorCode)
{
    m_canvas.registerUndoLayerTextColorCode(layer, textColorCode);
}

void KOVA_TemplateEditorLayerCommands::templateLayerTextOpacity(const Pointer& layer, double textOpacity)
{
    m_canvas.registerUndoLayerTextOpacity(layer, textOpacity);
}

void KOVA_TemplateEditorLayerCommands::templateLayerTextAlignment(const Pointer& layer, unsigned textAlignment)
{
    m_canvas.registerUndoLayerTextAlignment(layer, textAlignment);
}

void KOVA_TemplateEditorLayerCommands::templateLayerBackgroundEnabled(const Pointer& layer, bool backgroundEnabled)
{
    m_canvas.registerUndoLayerBackgroundEnabled(layer, backgroundEnabled);
}

void KOVA_TemplateEditorLayerCommands::templateLayerBackgroundColorCode(const Pointer& layer,
                                                                        const QString& backgroundColorCode)
{
    m_canvas.registerUndoLayerBackgroundColorCode(layer, backgroundColorCode);
}

void KOVA_TemplateEditorLayerCommands::templateLayerBackgroundOpacity(const Pointer& layer, double backgroundOpacity)
{
    m_canvas.registerUndoLayerBackgroundOpacity(layer, backgroundOpacity);
}

void KOVA_TemplateEditorLayerCommands::templateLayerBorderEnabled(const Pointer& layer, bool borderEnabled)
{
    m_canvas.registerUndoLayerBorderEnabled(layer, borderEnabled);
}

void KOVA_TemplateEditorLayerCommands::templateLayerBorderWidth(const Pointer& layer, double borderWidth)
{
    m_canvas.registerUndoLayerBorderWidth(layer, borderWidth);
}

void KOVA_TemplateEditorLayerCommands::templateLayerBorderColorCode(const Pointer& layer,
                                                                    const QString& borderColorCode)
{
    m_canvas.registerUndoLayerBorderColorCode(layer, borderColorCode);
}

void KOVA_TemplateEditorLayerCommands::templateLayerBorderOpacity(const Pointer& layer, double borderOpacity)
{
    m_canvas.registerUndoLayerBorderOpacity(layer, borderOpacity);
}

void KOVA_TemplateEditorLayerCommands::templateLayerBorderClipsContent(const Pointer& layer, bool borderClipsContent)
{
    m_canvas.registerUndoLayerBorderClipsContent(layer, borderClipsContent);
}

void KOVA_TemplateEditorLayerCommands::templateLayerShadowEnabled(const Pointer& layer, bool shadowEnabled)
{
    m_canvas.registerUndoLayerShadowEnabled(layer, shadowEnabled);
}

void KOVA_TemplateEditorLayerCommands::templateLayerShadowBlur(const Pointer& layer, double shadowBlur)
{
    m_canvas.registerUndoLayerShadowBlur(layer, shadowBlur);
}

void KOVA_TemplateEditorLayerCommands::templateLayerShadowColorCode(const Pointer& layer,
                                                                    const QString& shadowColorCode)
{
    m_canvas.registerUndoLayerShadowColorCode(layer, shadowColorCode);
}

void KOVA_TemplateEditorLayerCommands::templateLayerShadowOpacity(const Pointer& layer, double shadowOpacity)
{
    m_canvas.registerUndoLayerShadowOpacity(layer, shadowOpacity);
}

void KOVA_TemplateEditorLayerCommands::templateLayerShadowOffsetX(const Pointer& layer, double shadowOffsetX)
{
    m_canvas.registerUndoLayerShadowOffsetX(layer, shadowOffsetX);
}

void KOVA_TemplateEditorLayerCommands::templateLayerShadowOffsetY(const Pointer& layer, double shadowOffsetY)
{
    m_canvas.registerUndoLayerShadowOffsetY(layer, shadowOffsetY);
}

void KOVA_TemplateEditorLayerCommands::templateLayerRotation(const Pointer& layer, double rotation)
{
    m_canvas.registerUndoLayerRotation(layer, rotation);
}

// ---- Geometry ----

void KOVA_TemplateEditorLayerCommands::moveTemplateLayer(const Pointer& layer, const QRectF& toFrame)
{
    if (layer && toFrame.width() > 0 && toFrame.height() > 0)
        m_canvas.registerUndoMoveLayer(layer, toFrame);
}

void KOVA_TemplateEditorLayerCommands::setCanvasWidth(double width)
{
    setCanvasSize(width, &KOVA_TemplateEditorEdits::registerUndoTemplateSetWidth);
}

void KOVA_TemplateEditorLayerCommands::setCanvasHeight(double height)
{
    setCanvasSize(height, &KOVA_TemplateEditorEdits::registerUndoTemplateSetHeight);
}

void KOVA_TemplateEditorLayerCommands::setCanvasSize(double size,
                                                     void (KOVA_TemplateEditorEdits::*registration)(const Pointer&,
                                                                                                     double))
{
    if (size >= 0)
        (m_canvas.*registration)(templateObject(), size);
    else
        Beeper::beep();
}

bool KOVA_TemplateEditorLayerCommands::canPlace(const Pointer& layer) const
{
    return layer && templateObject() && layer->width() > 0 && layer->height() > 0;
}

void KOVA_TemplateEditorLayerCommands::centerTemplateLayer(const Pointer& layer, unsigned axis)
{
    if (!canPlace(layer))
        return;
    const QSizeF canvas = templateObject()->canvasSize();
    QRectF frame = layer->frame();
    if (axis & axisHorizontal)
        frame.moveLeft(std::round((canvas.width() - frame.width()) * 0.5));
    if (axis & axisVertical)
        frame.moveTop(std::round((canvas.height() - frame.height()) * 0.5));
    if (frame.topLeft() != layer->frame().topLeft())
        m_canvas.registerUndoMoveLayer(layer, frame);
}

void KOVA_TemplateEditorLayerCommands::resizeLayerToFitContent(const Pointer& layer)
{
    if (!canPlace(layer))
        return;
    if (layer->isTextboxType() || layer->isTypeStamp())
        registerSize(layer, textContentSize(*layer));
    else if (layer->isGraphicType())
        registerSize(layer, graphicContentSize(*layer));
}

void KOVA_TemplateEditorLayerCommands::registerSize(const Pointer& layer, const QSizeF& size)
{
    if (!(size.width() > 0 && size.height() > 0) || size == layer->frame().size())
        return;
    m_canvas.registerUndoMoveLayer(layer, QRectF(layer->frame().topLeft(), size));
}

// The text's bounding box in the room the canvas leaves right of and below the layer's
// origin; a layer with no room there (at or past the canvas's edge) has nothing to fit.
QSizeF KOVA_TemplateEditorLayerCommands::textContentSize(const KOVA_Template& layer) const
{
    const QSizeF room = templateObject()->canvasSize() - QSizeF(layer.x(), layer.y());
    const std::optional<TextAttributes> attributes = layer.drawingAttributes();
    if (!(room.width() > 0 && room.height() > 0) || !attributes)
        return {};
    const QString text = layer.isTypeStamp() ? layer.stampValue().value_or(QString()) : layer.stringValue();
    QSizeF size = QFontMetricsF(attributes->font)
                      .boundingRect(QRectF(QPointF(), room), Qt::TextWordWrap | attributes->alignment, text)
                      .size();
    if (layer.hasBorder() && !layer.borderClipsContent())
        size += QSizeF(2 * layer.borderWidth(), 2 * layer.borderWidth());
    return size;
}

QSizeF KOVA_TemplateEditorLayerCommands::graphicContentSize(const KOVA_Template& layer)
{
    return ZORVAK_Image::orientedSizeForImage(QVariant(layer.graphicPath()));
}

void KOVA_TemplateEditorLayerCommands::fillTemplateWithLayer(const Pointer& layer)
{
    if (!layer || !templateObject())
        return;
    const QRectF canvas = templateObject()->frame();
    if (layer->frame() != canvas)
        m_canvas.registerUndoMoveLayer(layer, canvas);
}

void KOVA_TemplateEditorLayerCommands::chooseGraphicPathForLayer(const Pointer& layer)
{
    if (!layer)
        return;
    if (!m_openPanel) {
        platform::Log::error(QStringLiteral("no open panel to choose a graphic with"));
        return;
    }
    // The layer is held weakly: a layer deleted while the panel is open gets nothing.
    m_openPanel(openPanelChooseGraphicOptions(chooseGraphicTitle),
                [this, weakLayer = std::weak_ptr(layer)](int response, const QList<QUrl>& urls) {
                    const Pointer chosenFor = weakLayer.lock();
                    if (response == 1 && !urls.isEmpty() && chosenFor)
                        templateLayerGraphicPath(chosenFor, urls.first().toLocalFile());
                });
}

QVariantMap KOVA_TemplateEditorLayerCommands::openPanelChooseGraphicOptions(const QString& title)
{
    const QString graphics = platform::UserDefaults::standardUserDefaults()->stringForKey(key_kovaFolderGraphics);
    return {
        {QStringLiteral("title"), title},
        {QStringLiteral("message"), title},
        {QStringLiteral("canSelectHiddenExtension"), true},
        {QStringLiteral("canChooseFiles"), true},
        {QStringLiteral("canChooseDirectories"), false},
        {QStringLiteral("allowedFileTypes"), QStringList{platform::kUTTypeImage}},
        {QStringLiteral("directoryURL"), graphics.isEmpty() ? QVariant() : QVariant(QUrl::fromLocalFile(graphics))},
    };
}
