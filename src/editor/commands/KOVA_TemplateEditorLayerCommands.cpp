#include "editor/commands/KOVA_TemplateEditorLayerCommands.h"

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

void KOVA_TemplateEditorLayerCommands::templateLayerProperty(const Pointer& layer, KOVA_TemplateProperty::ID property,
                                                             const QVariant& value, const QString& actionName)
{
    m_canvas.registerUndoLayerProperty(layer, property, value, actionName);
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
                        templateLayerProperty(chosenFor, KOVA_TemplateProperty::ID::graphicPath, urls.first().toLocalFile());
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
