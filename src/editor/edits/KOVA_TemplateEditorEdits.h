#pragma once

#include "editor/canvas/CanvasEditing.h"
#include "template/KOVA_Template.h"
#include "template/KOVA_TemplateProperty.h"

#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

namespace platform {
class UndoManager;
}

// The canvas view's undoable edits, apart from any widget: every change the editor
// makes to a layer's property, a layer's frame, the selection, the layer list or the
// stacking order passes through one registration here. A registration names its action,
// registers with the current undo manager a handler that re-enters the same
// registration with the old state (so that undo records the redo and the two alternate
// without limit), applies the change and refreshes the canvas through updatePreview().
// The canvas commits its gestures through them (CanvasEditing); CanvasViewEdits are the
// ones that refresh the editor's canvas widget.
//
// Handlers hold the edits weakly: once the edits are gone they do nothing. With no undo
// manager nothing is recorded and the change is still applied. A null layer or template
// changes nothing and records nothing.
//
// All members are called on the main thread. Selecting, replacing, deleting and adding
// layers run in synchronous blocks on the editor's shared synchronized queue, which also
// reads the layer list; frames, properties and the stacking order change on the calling
// thread.
class KOVA_TemplateEditorEdits : public CanvasEditing {
public:
    KOVA_TemplateEditorEdits();
    ~KOVA_TemplateEditorEdits() override;
    KOVA_TemplateEditorEdits(const KOVA_TemplateEditorEdits&) = delete;
    KOVA_TemplateEditorEdits& operator=(const KOVA_TemplateEditorEdits&) = delete;

    // The edited template.
    const Pointer& templateObject() const { return m_template; }
    virtual void setTemplateObject(const Pointer& templateObject);
    // The open document's undo manager; none records nothing.
    const std::shared_ptr<platform::UndoManager>& undoManager() const { return m_undoManager; }
    void setUndoManager(const std::shared_ptr<platform::UndoManager>& undoManager);

    // Redraws the canvas after an edit; `completion` (may be empty) runs when it is done,
    // possibly later on the main queue.
    virtual void updatePreview(Completion completion) = 0;

    // ---- Layer properties ----

    // Sets the layer's property through its row of the property table and records the step
    // under `actionName`, or the row's own undo action name when none is given ("Change
    // Font Size"; the text of a stamp is its format, "Change Stamp Format"); undo re-enters
    // with the value the row's getter read just before. Every single-property edit of a
    // layer is this one registration over a row (the rows name the edits: the font size
    // row's is registerUndoLayerFontSize). A row without an undo action name (values the
    // editor changes through operations of their own, or not at all) is refused: nothing
    // changes and nothing is recorded.
    void registerUndoLayerProperty(const Pointer& layer, KOVA_TemplateProperty::ID property, const QVariant& value,
                                   const QString& actionName = {});

    // ---- Canvas size ----

    // Replaces only the width (height) of the template's frame.
    void registerUndoTemplateSetWidth(const Pointer& templateObject, double width);
    void registerUndoTemplateSetHeight(const Pointer& templateObject, double height);

    // ---- Frames, selection, layer list, stacking order ----

    // Sets the layer's frame rounded to whole units (halves away from zero); undo brings
    // back the frame the layer had, unrounded. A rounded frame with a negative width or
    // height is refused, and one the layer already has changes nothing: either way nothing
    // is recorded and the canvas is redrawn as it was.
    void registerUndoMoveLayer(const Pointer& layer, const QRectF& toFrame, const Completion& extra = {}) override;
    // Selects `layers`, adding them to the selection or replacing it (an empty list
    // clears it). Without an action name the step is named by count: "Select Layer(s)",
    // or "Deselect Layer(s)" after the selection cleared. Undo restores the selection. A
    // selection left as it was records no step.
    void registerUndoSelectLayers(const List& layers, bool byExtendingSelection, const QString& actionName,
                                  const LayersCompletion& extra) override;
    void registerUndoSetLayers(const List& layers, const QString& actionName, const LayersCompletion& extra);
    // Undo restores the layers and the selection as they were.
    void registerUndoDeleteLayers(const List& layers, const LayersCompletion& extra) override;
    void registerUndoAddTemplateLayer(const Pointer& layer, const LayersCompletion& extra);
    // Adds a new layer of the type. A text box takes its text from `content`: rich text
    // (a QTextDocumentFragment) gives the text and the colour, font, size and alignment of
    // its first character; a plain QString gives the text; anything else nothing.
    void registerUndoAddLayerOfType(unsigned layerType, const LayersCompletion& extra);
    void registerUndoAddLayerOfType(unsigned layerType, const QVariant& content, const LayersCompletion& extra);
    // Gives each layer the z-level string of the same index ("0" past the end of
    // `setZLevels`), then sorts the template's layers by them.
    void registerUndoLayers(const List& layers, const QStringList& setZLevels, const Completion& extra);

private:
    // What an undo or redo does with the edits, when they still exist.
    using UndoHandler = std::function<void(KOVA_TemplateEditorEdits& view)>;

    // Names the step and registers `handler` for `target` with the undo manager, if any.
    void recordUndo(const void* target, const QString& actionName, UndoHandler handler);
    // The handler as the undo manager runs it: a no-op once the edits are gone.
    std::function<void()> whileAlive(UndoHandler handler);

    // One layer property under `actionName`: reads the old value through the row,
    // records the same change back to it, sets the new value and refreshes.
    void changeLayerProperty(const Pointer& layer, const KOVA_TemplateProperty& row, const QVariant& value,
                             const QString& actionName);
    // Replaces one dimension of the template's frame, keeping origin and the other one.
    void registerUndoTemplateSize(const Pointer& templateObject, const QString& actionName,
                                  qreal (QRectF::*dimension)() const, void (QRectF::*setDimension)(qreal),
                                  double value, void (KOVA_TemplateEditorEdits::*reenter)(const Pointer&, double));

    // Sets `frame` as it is (undo and redo) and records the frame it replaces.
    void moveLayer(const Pointer& layer, const QRectF& frame, const Completion& extra);
    // Runs `add` on the shared queue and records the list it changed as "Add Layer".
    void addLayer(const std::function<void(KOVA_Template&)>& add, const LayersCompletion& extra);
    // Selects exactly `layers` again after an undone delete.
    void restoreSelection(const List& layers);
    // Refreshes, then hands `layers` to `extra` (when there is one).
    void updatePreviewHanding(const LayersCompletion& extra, const List& layers);

    Pointer m_template;
    std::shared_ptr<platform::UndoManager> m_undoManager;
    // Expires with the edits; handlers and completions hold it weakly.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
