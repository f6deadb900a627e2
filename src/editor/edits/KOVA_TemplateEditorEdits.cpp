#include "editor/edits/KOVA_TemplateEditorEdits.h"

#include "platform/undo/UndoManager.h"

KOVA_TemplateEditorEdits::KOVA_TemplateEditorEdits() = default;

KOVA_TemplateEditorEdits::~KOVA_TemplateEditorEdits() = default;

void KOVA_TemplateEditorEdits::setTemplateObject(const Pointer& templateObject)
{
    m_template = templateObject;
}

void KOVA_TemplateEditorEdits::setUndoManager(const std::shared_ptr<platform::UndoManager>& undoManager)
{
    m_undoManager = undoManager;
}

void KOVA_TemplateEditorEdits::registerUndoLayerStringValue(const Pointer& layer, const QString& actionName, const QString& stringValue)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerKey(const Pointer& layer, const QString& actionName, const QString& key)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerTextColorCode(const Pointer& layer, const QString& textColorCode)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerTextOpacity(const Pointer& layer, double textOpacity)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerGraphicPath(const Pointer& layer, const QString& graphicPath)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerGravity(const Pointer& layer, const QString& gravity)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerFontName(const Pointer& layer, const QString& fontName)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerFontSize(const Pointer& layer, const QString& fontSize)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerTextAlignment(const Pointer& layer, unsigned textAlignment)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerBackgroundEnabled(const Pointer& layer, bool backgroundEnabled)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerBackgroundColorCode(const Pointer& layer, const QString& backgroundColorCode)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerBackgroundOpacity(const Pointer& layer, double backgroundOpacity)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerBorderEnabled(const Pointer& layer, bool borderEnabled)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerBorderWidth(const Pointer& layer, double borderWidth)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerBorderColorCode(const Pointer& layer, const QString& borderColorCode)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerBorderOpacity(const Pointer& layer, double borderOpacity)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerBorderClipsContent(const Pointer& layer, bool borderClipsContent)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerShadowEnabled(const Pointer& layer, bool shadowEnabled)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerShadowBlur(const Pointer& layer, double shadowBlur)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerShadowColorCode(const Pointer& layer, const QString& shadowColorCode)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerShadowOpacity(const Pointer& layer, double shadowOpacity)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerShadowOffsetX(const Pointer& layer, double shadowOffsetX)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerShadowOffsetY(const Pointer& layer, double shadowOffsetY)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayerRotation(const Pointer& layer, std::optional<double> rotation)
{
}

void KOVA_TemplateEditorEdits::registerUndoTemplateSetWidth(const Pointer& templateObject, double width)
{
}

void KOVA_TemplateEditorEdits::registerUndoTemplateSetHeight(const Pointer& templateObject, double height)
{
}

void KOVA_TemplateEditorEdits::registerUndoMoveLayer(const Pointer& layer, const QRectF& toFrame, const Completion& extra)
{
}

void KOVA_TemplateEditorEdits::registerUndoSelectLayers(const List& layers, bool byExtendingSelection, const QString& actionName, const LayersCompletion& extra)
{
}

void KOVA_TemplateEditorEdits::registerUndoSetLayers(const List& layers, const QString& actionName, const LayersCompletion& extra)
{
}

void KOVA_TemplateEditorEdits::registerUndoDeleteLayers(const List& layers, const LayersCompletion& extra)
{
}

void KOVA_TemplateEditorEdits::registerUndoAddTemplateLayer(const Pointer& layer, const LayersCompletion& extra)
{
}

void KOVA_TemplateEditorEdits::registerUndoAddLayerOfType(unsigned layerType, const LayersCompletion& extra)
{
}

void KOVA_TemplateEditorEdits::registerUndoAddLayerOfType(unsigned layerType, const QVariant& content, const LayersCompletion& extra)
{
}

void KOVA_TemplateEditorEdits::registerUndoLayers(const List& layers, const QStringList& setZLevels, const Completion& extra)
{
}
