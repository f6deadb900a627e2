#pragma once

#include <QString>

class KOVA_TemplateEditorView;
class LayerTableView;
class QLineEdit;
class QMainWindow;
class QSplitter;
class QTableView;
class QVBoxLayout;
class QWidget;

// The editor window's widgets: the sidebar (templates table, package search field,
// packages table), the canvas, and the attributes column (layers table above the
// inspector's slot), in two splitters. The divider positions, the templates table's
// columns and the window's place and size are kept in the preferences; the window
// comes back inside the available screen. Only the sidebar collapses.
class TemplateEditorLayout {
public:
    static inline const QString mainSplitterKey = QStringLiteral("com.morvanta.kova.templateEditor.splitview.main");
    static inline const QString layersSplitterKey =
        QStringLiteral("com.morvanta.kova.templateEditor.splitview.layers");
    static inline const QString templatesTableKey =
        QStringLiteral("com.morvanta.kova.templateEditor.tableView.templates");
    // The window's place and size, without the window manager's frame, as "{{x, y}, {w, h}}".
    static inline const QString windowFrameKey = QStringLiteral("com.morvanta.kova.templateEditor.window.frame");
    // Divider limits: the sidebar from 100 to 400 points wide, the canvas ending no
    // nearer than 300 points to the window's left edge.
    static constexpr int sidebarMinimumWidth = 100;
    static constexpr int sidebarMaximumWidth = 400;
    static constexpr int canvasDividerMinimum = 300;
    // The layers and inspector column is at least this wide, and as wide as the
    // inspector's controls need.
    static constexpr int attributesMinimumWidth = 200;
    // Seconds after the last move of a divider before the canvas is fitted again.
    static constexpr double canvasRefitWait = 0.05;

    explicit TemplateEditorLayout(QMainWindow& window);

    // Puts `inspector` in the slot below the layers table, replacing what was there.
    void setInspectorWidget(QWidget* inspector);
    void restoreState();
    void saveState() const;
    // Hides or shows the sidebar.
    void toggleSidebar();

    QWidget* sidebar = nullptr;
    QTableView* templatesTable = nullptr;
    QLineEdit* packagesSearchField = nullptr;
    QTableView* packagesTable = nullptr;
    KOVA_TemplateEditorView* canvas = nullptr;
    LayerTableView* layersTable = nullptr;
    QWidget* inspectorSlot = nullptr;
    QSplitter* mainSplitter = nullptr;
    QSplitter* layersSplitter = nullptr;

private:
    // The saved place and size, or the present size centred on the screen; either kept
    // inside the available screen, before it is shown and once it is framed.
    void restoreWindowFrame();
    QWidget* makeSidebar();
    QWidget* makeAttributes();
    // A live drag of either divider refits the canvas once its moves pause; a window
    // resize reaches the canvas through its own resize event.
    void refitCanvasWhenDividersMove();
    static QTableView* makeDocumentTable(const QString& name);
    // One line a row, the last column stretched.
    static void compact(QTableView& table);

    QMainWindow& m_window;
};
