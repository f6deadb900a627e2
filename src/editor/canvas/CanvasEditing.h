#pragma once

#include "template/KOVA_Template.h"

#include <QRectF>
#include <QString>

#include <functional>

// What the canvas commits its gestures through: the undoable edits of layer frames, of
// the selection and of the layer list. The edits, a floor above the canvas, implement it
// and are handed to the canvas (KOVA_TemplateEditorView::setEdits).
class CanvasEditing {
public:
    using Pointer = KOVA_Template::Pointer;
    using List = KOVA_Template::List;
    // Runs after the preview refresh that ends a move or a reorder.
    using Completion = std::function<void()>;
    // Runs after the preview refresh that ends a list operation, with the layers selected
    // (select), set (set layers) or left in the template (delete, add).
    using LayersCompletion = std::function<void(const List& layers)>;

    virtual ~CanvasEditing() = default;

    virtual void registerUndoMoveLayer(const Pointer& layer, const QRectF& toFrame, const Completion& extra = {}) = 0;
    virtual void registerUndoSelectLayers(const List& layers, bool byExtendingSelection, const QString& actionName,
                                          const LayersCompletion& extra) = 0;
    virtual void registerUndoDeleteLayers(const List& layers, const LayersCompletion& extra) = 0;
};
