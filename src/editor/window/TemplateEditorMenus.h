#pragma once

class EditorActions;
class QMainWindow;
class QMenu;
class QWidget;
class TemplateEditorLayout;

// The editor window's menu bar and toolbar over its actions.
class TemplateEditorMenus {
public:
    static void install(QMainWindow& window, EditorActions& actions, TemplateEditorLayout& layout);
    // The canvas's context menu: the layer commands and the outline switch.
    static QMenu* makeCanvasMenu(QWidget* parent, EditorActions& actions);
};
