#include "editor/edits/KOVA_TemplateEditorEdits.h"

#include "core/queues/ZORVAK_Dispatch.h"
#include "editor/documents/TemplateEditorQueue.h"
#include "platform/Log.h"
#include "platform/text/GeometryText.h"
#include "platform/undo/UndoManager.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <cmath>
#include <functional>
#include <utility>
#include <variant>

namespace {

using Property = KOVA_TemplateProperty::ID;

const QString MoveLayerName = QStringLiteral("Move Layer");
const QString AddLayerName = QStringLiteral("Add Layer");
const QString ReorderLayersName = QStringLiteral("Reorder Layers");

// Each component to the nearest whole unit, halves away from zero.
QRectF roundedFrame(const QRectF& frame)
{
    return {std::round(frame.x()), std::round(frame.y()), std::round(frame.width()), std::round(frame.height())};
}

// Runs a change of the layer list (and the reading around it) where the editor keeps
// every such change: synchronously on its shared queue.
void onSharedQueue(const std::function<void()>& block)
{
    ZORVAK_Dispatch::performSyncOnQueue(TemplateEditorQueue::sharedSynchronizedQueue(), block);
}

// "Select Layer(s)" by the count selected; "Deselect Layer(s)" by the count that was
// selected when the selection is cleared.
QString selectionActionName(const KOVA_Template::List& selecting, const KOVA_Template::List& previous)
{
    if (!selecting.isEmpty())
        return selecting.size() == 1 ? QStringLiteral("Select Layer") : QStringLiteral("Select Layers");
    return previous.size() == 1 ? QStringLiteral("Deselect Layer") : QStringLiteral("Deselect Layers");
}

using TextboxContent = std::variant<std::monostate, QString, std::shared_ptr<QTextDocument>>;

// Pasted content as a text box takes it: rich text (with the attributes of its first
// character) as a document, plain text as it is. Made on the calling thread, which owns
// the pasted fragment, before the list change runs on the shared queue.
TextboxContent textboxContent(const QVariant& content)
{
    if (content.metaType() == QMetaType::fromType<QTextDocumentFragment>()) {
        auto document = std::make_shared<QTextDocument>();
        QTextCursor(document.get()).insertFragment(content.value<QTextDocumentFragment>());
        return document;
    }
    if (content.typeId() == QMetaType::QString)
        return content.toString();
    return {};
}

void fillTextbox(KOVA_Template& layer, const TextboxContent& content)
{
    if (const auto* document = std::get_if<std::shared_ptr<QTextDocument>>(&content))
        layer.takeRichText(**document);
    else if (const auto* text = std::get_if<QString>(&content))
        layer.setStringValue(*text);
}

} // namespace

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

// ---- Recording ----

void KOVA_TemplateEditorEdits::recordUndo(const void* target, const QString& actionName, UndoHandler handler)
{
    if (!m_undoManager)
        return;
    m_undoManager->setActionName(actionName);
    m_undoManager->registerUndo(target, whileAlive(std::move(handler)));
}

std::function<void()> KOVA_TemplateEditorEdits::whileAlive(UndoHandler handler)
{
    return [this, alive = std::weak_ptr<bool>(m_alive), handler = std::move(handler)] {
        if (!alive.expired())
            handler(*this);
    };
}

// ---- Layer properties ----

void KOVA_TemplateEditorEdits::registerUndoLayerProperty(const Pointer& layer, Property property, const QVariant& value,
                                                         const QString& actionName)
{
    const KOVA_TemplateProperty& row = KOVA_TemplateProperty::withID(property);
    changeLayerProperty(layer, row, value, actionName.isEmpty() ? row.undoActionName : actionName);
}

void KOVA_TemplateEditorEdits::changeLayerProperty(const Pointer& layer, const KOVA_TemplateProperty& row,
                                                   const QVariant& value, const QString& actionName)
{
    if (!layer)
        return;
    if (row.undoActionName.isEmpty() || !row.setter) {
        // Such a step would undo a change the editor makes otherwise, or one it never makes.
        platform::Log::error(
            QStringLiteral("Undo: the layer property \"%1\" has no undoable change of its own; the layer keeps its value")
                .arg(row.name));
        return;
    }
    const QVariant old = row.getter(*layer);
    recordUndo(layer.get(), actionName, [layer, &row, old, actionName](KOVA_TemplateEditorEdits& view) {
        view.changeLayerProperty(layer, row, old, actionName);
    });
    row.setter(*layer, value);
    updatePreview({});
}

// ---- Canvas size ----

void KOVA_TemplateEditorEdits::registerUndoTemplateSetWidth(const Pointer& templateObject, double width)
{
    registerUndoTemplateSize(templateObject, QStringLiteral("Change Canvas Width"), &QRectF::width, &QRectF::setWidth,
                             width, &KOVA_TemplateEditorEdits::registerUndoTemplateSetWidth);
}

void KOVA_TemplateEditorEdits::registerUndoTemplateSetHeight(const Pointer& templateObject, double height)
{
    registerUndoTemplateSize(templateObject, QStringLiteral("Change Canvas Height"), &QRectF::height,
                             &QRectF::setHeight, height, &KOVA_TemplateEditorEdits::registerUndoTemplateSetHeight);
}

void KOVA_TemplateEditorEdits::registerUndoTemplateSize(const Pointer& templateObject, const QString& actionName,
                                                        qreal (QRectF::*dimension)() const,
                                                        void (QRectF::*setDimension)(qreal), double value,
                                                        void (KOVA_TemplateEditorEdits::*reenter)(const Pointer&,
                                                                                                  double))
{
    if (!templateObject)
        return;
    QRectF frame = templateObject->frame();
    const double old = (frame.*dimension)();
    recordUndo(templateObject.get(), actionName, [templateObject, old, reenter](KOVA_TemplateEditorEdits& view) {
        (view.*reenter)(templateObject, old);
    });
    (frame.*setDimension)(value);
    templateObject->setFrame(frame);
    updatePreview({});
}

// ---- Frames ----

void KOVA_TemplateEditorEdits::registerUndoMoveLayer(const Pointer& layer, const QRectF& toFrame,
                                                     const Completion& extra)
{
    if (!layer)
        return;
    const QRectF frame = roundedFrame(toFrame);
    if (frame.width() < 0 || frame.height() < 0) {
        // The model refuses such a frame; recording it would leave a step that undoes nothing.
        platform::Log::error(QStringLiteral("Move Layer: the frame %1 has a negative size; the layer keeps its frame")
                               .arg(platform::GeometryText::stringFromRect(frame)));
        updatePreview(extra);
        return;
    }
    // A click on an edge, or a drag back to where it began, leaves the frame as it is: no
    // step, which would undo nothing and drop the redo steps.
    if (frame == layer->frame()) {
        updatePreview(extra);
        return;
    }
    moveLayer(layer, frame, extra);
}

void KOVA_TemplateEditorEdits::moveLayer(const Pointer& layer, const QRectF& frame, const Completion& extra)
{
    const QRectF old = layer->frame();
    // Undo puts the old frame back exactly as it was, also one that was never rounded.
    recordUndo(layer.get(), MoveLayerName,
               [layer, old](KOVA_TemplateEditorEdits& view) { view.moveLayer(layer, old, {}); });
    layer->setFrame(frame);
    updatePreview(extra);
}

// ---- Selection and layer list ----

void KOVA_TemplateEditorEdits::registerUndoSelectLayers(const List& layers, bool byExtendingSelection,
                                                        const QString& actionName, const LayersCompletion& extra)
{
    const Pointer templateObject = m_template;
    if (!templateObject)
        return;
    List previous;
    List selected;
    onSharedQueue([&] {
        previous = templateObject->layersSelected();
        templateObject->selectLayers(layers, byExtendingSelection);
        selected = templateObject->layersSelected();
    });
    // A click that leaves the selection as it was (on empty canvas with nothing selected)
    // records no step, which would undo nothing and drop the redo steps.
    if (selected != previous) {
        const QString name = actionName.isEmpty() ? selectionActionName(layers, previous) : actionName;
        recordUndo(templateObject.get(), name, [previous, name, extra](KOVA_TemplateEditorEdits& view) {
            view.registerUndoSelectLayers(previous, false, name, extra);
        });
    }
    updatePreviewHanding(extra, layers);
}

void KOVA_TemplateEditorEdits::registerUndoSetLayers(const List& layers, const QString& actionName,
                                                     const LayersCompletion& extra)
{
    const Pointer templateObject = m_template;
    if (!templateObject)
        return;
    List old;
    onSharedQueue([&] {
        old = templateObject->layers();
        templateObject->setLayers(layers);
    });
    recordUndo(templateObject.get(), actionName, [old, actionName, extra](KOVA_TemplateEditorEdits& view) {
        view.registerUndoSetLayers(old, actionName, extra);
    });
    updatePreviewHanding(extra, layers);
}

void KOVA_TemplateEditorEdits::registerUndoDeleteLayers(const List& layers, const LayersCompletion& extra)
{
    const Pointer templateObject = m_template;
    if (!templateObject)
        return;
    List old;
    List previous;
    List remaining;
    onSharedQueue([&] {
        old = templateObject->layers();
        previous = templateObject->layersSelected();
        templateObject->deleteLayers(layers);
        remaining = templateObject->layers();
    });
    const QString name = layers.size() >= 2 ? QStringLiteral("Delete Layers") : QStringLiteral("Delete Layer");
    recordUndo(templateObject.get(), name, [old, previous, name, extra](KOVA_TemplateEditorEdits& view) {
        view.registerUndoSetLayers(
            old, name, [alive = std::weak_ptr<bool>(view.m_alive), &view, previous, extra](const List& restored) {
                if (extra)
                    extra(restored);
                if (!alive.expired())
                    view.restoreSelection(previous);
            });
    });
    updatePreviewHanding(extra, remaining);
}

void KOVA_TemplateEditorEdits::restoreSelection(const List& layers)
{
    const Pointer templateObject = m_template;
    if (!templateObject)
        return;
    onSharedQueue([&] { templateObject->selectLayers(layers, false); });
    // The refresh that ended the undo drew the canvas before the selection came back.
    updatePreview({});
}

void KOVA_TemplateEditorEdits::registerUndoAddTemplateLayer(const Pointer& layer, const LayersCompletion& extra)
{
    if (!layer)
        return;
    addLayer([&layer](KOVA_Template& templateObject) { templateObject.addLayer(layer); }, extra);
}

void KOVA_TemplateEditorEdits::registerUndoAddLayerOfType(unsigned layerType, const LayersCompletion& extra)
{
    registerUndoAddLayerOfType(layerType, QVariant(), extra);
}

void KOVA_TemplateEditorEdits::registerUndoAddLayerOfType(unsigned layerType, const QVariant& content,
                                                          const LayersCompletion& extra)
{
    const TextboxContent textbox =
        layerType == KOVA_Template::layerTypeTextbox ? textboxContent(content) : TextboxContent();
    addLayer(
        [layerType, &textbox](KOVA_Template& templateObject) {
            const Pointer layer = templateObject.addLayerOfType(layerType);
            if (layer)
                fillTextbox(*layer, textbox);
        },
        extra);
}

void KOVA_TemplateEditorEdits::addLayer(const std::function<void(KOVA_Template&)>& add, const LayersCompletion& extra)
{
    const Pointer templateObject = m_template;
    if (!templateObject)
        return;
    List old;
    List added;
    onSharedQueue([&] {
        old = templateObject->layers();
        add(*templateObject);
        added = templateObject->layers();
    });
    recordUndo(templateObject.get(), AddLayerName, [old, extra](KOVA_TemplateEditorEdits& view) {
        view.registerUndoSetLayers(old, AddLayerName, extra);
    });
    updatePreviewHanding(extra, added);
}

void KOVA_TemplateEditorEdits::updatePreviewHanding(const LayersCompletion& extra, const List& layers)
{
    updatePreview([extra, layers] {
        if (extra)
            extra(layers);
    });
}

// ---- Stacking order ----

void KOVA_TemplateEditorEdits::registerUndoLayers(const List& layers, const QStringList& setZLevels,
                                                  const Completion& extra)
{
    const Pointer templateObject = m_template;
    if (!templateObject)
        return;
    const List old = templateObject->layers();
    const QStringList oldZLevels = templateObject->zLevelStrings();
    recordUndo(templateObject.get(), ReorderLayersName, [old, oldZLevels, extra](KOVA_TemplateEditorEdits& view) {
        view.registerUndoLayers(old, oldZLevels, extra);
    });
    for (qsizetype index = 0; index < layers.size(); ++index) {
        if (layers[index])
            layers[index]->setZLevelString(setZLevels.value(index, QStringLiteral("0")));
    }
    templateObject->sortLayers();
    updatePreview(extra);
}
