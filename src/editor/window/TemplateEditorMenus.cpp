#include "editor/window/TemplateEditorMenus.h"

#include "editor/menus/EditorActions.h"
#include "editor/window/TemplateEditorLayout.h"
#include "platform/Log.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QToolBar>

void TemplateEditorMenus::install(QMainWindow& window, EditorActions& actions, TemplateEditorLayout& layout)
{
    QMenu* file = window.menuBar()->addMenu(QStringLiteral("&File"));
    file->addActions({&actions.newTemplate, &actions.save, &actions.saveAs});
    file->addSeparator();
    file->addActions({&actions.reveal, &actions.moveToTrash});
    QMenu* edit = window.menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->addActions({&actions.undo, &actions.redo});
    edit->addSeparator();
    edit->addActions({&actions.cut, &actions.copy, &actions.paste, &actions.deleteLayers, &actions.selectAll});
    QMenu* layer = window.menuBar()->addMenu(QStringLiteral("&Layer"));
    layer->addActions({&actions.addTextLayer, &actions.addStampLayer, &actions.addGraphicLayer, &actions.addImageLayer});
    layer->addSeparator();
    layer->addAction(&actions.showLayerOutlines);
    // Window-level shortcuts need the actions on the window itself too.
    window.addActions({&actions.newTemplate, &actions.save, &actions.saveAs, &actions.undo, &actions.redo,
                       &actions.paste, &actions.deleteLayers, &actions.selectAll});
    for (QAction* action : window.actions())
        action->setShortcutContext(Qt::WindowShortcut);

    QToolBar* toolbar = window.addToolBar(QStringLiteral("Template Editor"));
    toolbar->setObjectName(QStringLiteral("templateEditorToolbar"));
    toolbar->setMovable(false);
    QAction* sidebar = toolbar->addAction(QStringLiteral("Sidebar"), [&layout] {
        platform::Log::log(QStringLiteral("-[KOVA_TemplateEditor toggleSidebar:]"));
        layout.toggleSidebar();
    });
    sidebar->setToolTip(QStringLiteral("Toggle the sidebar"));
    toolbar->addActions({&actions.newTemplate, &actions.save});
    toolbar->addSeparator();
    toolbar->addActions({&actions.addTextLayer, &actions.addStampLayer, &actions.addGraphicLayer, &actions.addImageLayer});
    toolbar->addSeparator();
    toolbar->addAction(&actions.reveal);
    actions.reveal.setToolTip(QStringLiteral("Reveal this template in the File Manager"));
}

QMenu* TemplateEditorMenus::makeCanvasMenu(QWidget* parent, EditorActions& actions)
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("menuContextTableViewTemplateLayers"));
    menu->addActions({&actions.addTextLayer, &actions.addStampLayer, &actions.addGraphicLayer, &actions.addImageLayer});
    menu->addSeparator();
    menu->addActions({&actions.paste, &actions.deleteLayers, &actions.selectAll});
    menu->addSeparator();
    menu->addAction(&actions.showLayerOutlines);
    return menu;
}
