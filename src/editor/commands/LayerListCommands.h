#pragma once

#include "editor/edits/KOVA_TemplateEditorEdits.h"

#include <QStringList>

#include <functional>

class QMimeData;

// The editor's commands on the open template's layer list, each one undoable step
// through the canvas's edits: add a layer of a type, delete the selected layers, paste,
// select all, restack. After an add, delete or paste the layer list is shown again
// and the last layer the step left selects alone (nothing when none is left).
class LayerListCommands {
public:
    using Pointer = KOVA_Template::Pointer;
    using List = KOVA_Template::List;

    // `layersDidChange` runs after each list change has been drawn.
    LayerListCommands(KOVA_TemplateEditorEdits& edits, std::function<void()> layersDidChange);

    void addLayerOfType(unsigned layerType);
    void deleteSelectedLayers();
    // Adds one layer for the pasted object: a layer the template reads from it (a
    // picture saved in the graphics folder, text with its attributes), else a text box
    // holding its rich or plain text. Content that makes no usable layer (a layer
    // without type, a text box without text) adds nothing. Answers whether a layer was added.
    bool paste(const QMimeData* data);
    void selectAll();
    void restack(const List& layers, const QStringList& zLevels);

private:
    KOVA_TemplateEditorEdits::LayersCompletion selectingLastLayer() const;
    static Pointer layerReadFrom(const QMimeData& data);
    static bool isUsable(const KOVA_Template& layer);

    KOVA_TemplateEditorEdits& m_edits;
    std::function<void()> m_layersDidChange;
};
