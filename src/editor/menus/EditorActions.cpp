#include "editor/menus/EditorActions.h"

#include "template/KOVA_Template.h"

#include <QMimeData>

EditorActions::EditorActions(QObject* parent)
    : QObject(parent)
{
    newTemplate.setShortcut(QKeySequence::New);
    save.setShortcut(QKeySequence::Save);
    saveAs.setShortcut(QKeySequence::SaveAs);
    undo.setShortcut(QKeySequence::Undo);
    redo.setShortcut(QKeySequence::Redo);
    cut.setShortcut(QKeySequence::Cut);
    copy.setShortcut(QKeySequence::Copy);
    paste.setShortcut(QKeySequence::Paste);
    // Both keys delete at window level; a focused text field takes them first.
    deleteLayers.setShortcuts({QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace)});
    selectAll.setShortcut(QKeySequence::SelectAll);
    showLayerOutlines.setCheckable(true);
    for (QAction* action : {&cut, &copy})
        action->setEnabled(false);
}

bool EditorActions::isReadable(const QMimeData* data)
{
    return data && (!KOVA_Template::readableTypesForPasteboard(*data).isEmpty() || data->hasText() || data->hasHtml());
}

void EditorActions::update(const EditorSituation& situation)
{
    save.setEnabled(situation.hasTemplate && situation.hasUnsavedChanges);
    saveAs.setEnabled(situation.hasTemplate);
    savePNG.setEnabled(situation.hasTemplate);
    undo.setEnabled(situation.canUndo);
    undo.setText(situation.undoTitle);
    redo.setEnabled(situation.canRedo);
    redo.setText(situation.redoTitle);
    paste.setEnabled(situation.hasTemplate && situation.pasteboardReadable);
    selectAll.setEnabled(situation.layerCount > 0);
    deleteLayers.setEnabled(situation.selectedLayerCount > 0);
    deleteLayers.setText(situation.selectedLayerCount > 1 ? QStringLiteral("Delete Layers")
                                                          : QStringLiteral("Delete Layer"));
    for (QAction* action : {&addTextLayer, &addStampLayer, &addGraphicLayer, &addImageLayer})
        action->setEnabled(situation.hasTemplate);
    reveal.setEnabled(situation.hasFile);
    moveToTrash.setEnabled(situation.hasFile);
}
