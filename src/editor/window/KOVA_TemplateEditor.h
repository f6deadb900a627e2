#pragma once

#include "core/queues/ZORVAK_Dispatch.h"
#include "editor/commands/KOVA_TemplateEditorLayerCommands.h"
#include "editor/commands/LayerListCommands.h"
#include "editor/documents/TemplateDocuments.h"
#include "editor/documents/TemplateSaveSheet.h"
#include "editor/edits/CanvasViewEdits.h"
#include "editor/inspector/KOVA_LayerInspector.h"
#include "editor/lists/LayerListModel.h"
#include "editor/lists/TemplateEditorLists.h"
#include "editor/menus/EditorActions.h"
#include "editor/window/TemplateEditorLayout.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class KOVA_TemplateEditorView;
class OBKVOObservation;
class QMenu;

// The template editor's window: the sidebar of template and package files, the canvas
// of the open template, its layers table and the inspector's slot. It opens the
// template selected in the list (one undo history per file), asks what to do with
// unsaved changes before another template replaces it or the window closes (the
// policy "kovaConfirmBeforeSavingTemplate" or the sheet), and runs New, Save, Save As,
// the PNG export and the layer commands.
//
// A list rebuilt after a folder event keeps the open object when its file is as the
// editor last read or wrote it, so edits and undo history survive changes of other
// files and the editor's own saves; a file changed by another program is opened anew
// through the unsaved-changes policy.
class KOVA_TemplateEditor : public QMainWindow {
    Q_OBJECT
public:
    using Pointer = KOVA_Template::Pointer;
    using UndoPointer = std::shared_ptr<platform::UndoManager>;
    // The window's size when no size was kept, before it is fitted inside the screen.
    static constexpr QSize defaultSize{1180, 760};
    // Whether to go on replacing or closing the template, and the file it was saved to.
    using Completion = std::function<void(bool proceed, const QUrl& savedTo)>;
    using UrlReply = std::function<void(const QUrl& url)>;

    static inline const QString visibilityKey = QStringLiteral("kovaWindowIsVisibleEditorTemplate");
    static inline const QString lastLoadedKey = QStringLiteral("com.morvanta.kova.template.lastLoaded");
    static inline const QString showLayerOutlinesKey = QStringLiteral("com.morvanta.kova.template.showLayerOutlines");
    static inline const QString outputOptionsKey = QStringLiteral("com.morvanta.kova.template.outputOptions");
    // The bit of the output options that offers the PNG export.
    static constexpr qint64 outputOptionPNG = 0x200;

    // The one process-wide serial queue on which the editor loads templates and
    // selects, replaces, deletes and adds their layers.
    static ZORVAK_Dispatch::Queue sharedSynchronizedQueue();

    // Starts watching the templates and packages folders, then builds the window.
    explicit KOVA_TemplateEditor(QWidget* parent = nullptr);
    ~KOVA_TemplateEditor() override;

    // Shows the window and stores it visible.
    void showWindow();
    // Ends the editor at once, without asking: stores it hidden, keeps the layout,
    // stops the watchers, hides the window, tells the closed handler and deletes
    // itself later. A late folder event finds no editor.
    void closeTemplateEditor();
    // Run when the editor has decided to close (after the unsaved-changes policy).
    void setClosedHandler(std::function<void()> handler) { m_closedHandler = std::move(handler); }
    // Before the application quits: applies the unsaved-changes policy; proceed false
    // (Cancel, or a failed save) keeps the application running. Once it proceeds the
    // layout is saved, and the window closes without asking again and stores no visibility.
    void confirmQuit(std::function<void(bool proceed)> completion);
    // Puts the application's shared actions at the front of the menu bar.
    void addSharedActions(const QList<QAction*>& sharedActions);

    // ---- Documents ----
    const Pointer& templateObject() const { return m_template; }
    const UndoPointer& undo() const { return m_undo; }
    // The open template's undo manager, or a new empty one when there is none.
    UndoPointer windowWillReturnUndoManager() const;
    void loadTemplate(const Pointer& templateObject, const QByteArray& generation = {});
    void verifyShouldCloseCurrentTemplate(Completion completion);
    void selectTemplateAtIndex(int index);
    void newDocument();
    void saveDocument();
    void saveDocumentAs();
    void savePNG();
    // The save panel for the open template; the reply gets the file written, or none.
    void saveTemplateToTemplatesFolder(UrlReply reply);

    // ---- Layers ----
    // The canvas's undoable edits, through which every change of the open template passes.
    KOVA_TemplateEditorEdits& canvasEdits() { return m_canvasEdits; }
    LayerListCommands& layerCommands() { return m_layerCommands; }
    void deleteSelectedLayers() { m_layerCommands.deleteSelectedLayers(); }
    // The inspector's property edits and geometry commands on a layer, and its mirror of
    // the inspected layer.
    KOVA_TemplateEditorLayerCommands& layerEditCommands() { return m_layerEditCommands; }
    KOVA_LayerInspector& inspector() { return m_inspector; }
    void paste();
    // Mirrors the template's selection into the layers table (silently) and the inspector.
    void selectedLayersDidChange();
    bool showsLayerFrames() const;
    void setShowsLayerFrames(bool showsLayerFrames);

    // ---- Menus ----
    // The canvas menu brought up to date: the PNG export only with its output option.
    QMenu* canvasContextMenu();
    // The menu for the row of a templates or packages table under `point`, or none.
    QMenu* tableContextMenu(QTableView* table, const QPoint& point);
    // Reveals or trashes the files an action carries (a list of file URLs or one).
    void revealInFileManager(const QAction* sender);
    void moveToTrash(const QAction* sender);
    void updateActions();

    // ---- Parts ----
    // Puts the inspector's widget in its slot below the layers table.
    void setInspectorWidget(QWidget* inspector);
    KOVA_TemplateEditorView& canvas() { return *m_layout.canvas; }
    TemplateEditorLayout& layout() { return m_layout; }
    TemplateEditorLists& lists() { return m_lists; }
    LayerListModel& layerModel() { return m_layerModel; }
    EditorActions& actions() { return m_actions; }
    const QList<TemplateEntry>& templates() const { return m_templates; }
    TemplateSaveSheet* saveSheet() const { return m_sheet; }

signals:
    // The layer the inspector shows: the last selected one, or none.
    void inspectedLayerChanged(const KOVA_Template::Pointer& layer);
    // A new open template (or none).
    void templateChanged(const KOVA_Template::Pointer& templateObject);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void connectLists();
    void connectTables();
    void connectActions();
    // The inspector's panels in their slot, following the open template and the selection.
    void installInspector();
    void templatesListed(QList<TemplateEntry> entries);
    void setTemplates(const QList<TemplateEntry>& entries);
    void selectTemplateRow(int row);
    void refuseUnreadable(const Pointer& unreadable, const platform::Error& reason);
    void tellRepaired(const Pointer& repaired, const platform::Error& reason);
    void alertInWindow(const QString& message, const QString& details);
    // The open template stays: its row is selected again and it takes its file's entry.
    void keepOpenTemplate();
    // Drops the open template's changes: its entry is read from its file again.
    void dropChanges();
    void saveOrSaveAs(const Completion& completion);
    void askWithSheet(const Completion& completion);
    void saveChangesLogged(const UrlReply& reply);
    void noteWritten(const Pointer& templateObject, const QUrl& url);
    void observeUnsavedChanges();
    void updateDocumentState();
    void reloadLayers();
    void layersSelectedInTable();
    QString templatesFolder() const;
    QStringList filePathsFor(const QAction* sender, const QAction* ownAction, const char* method) const;
    void reportSaved(const char* method, const QUrl& url, const std::optional<platform::Error>& error) const;

    // This editor while it lives, read and cleared on the main thread only.
    std::shared_ptr<KOVA_TemplateEditor*> m_self = std::make_shared<KOVA_TemplateEditor*>(this);
    TemplateEditorLists m_lists;
    TemplateEditorLayout m_layout;
    CanvasViewEdits m_canvasEdits;
    EditorActions m_actions;
    LayerListModel m_layerModel;
    LayerListCommands m_layerCommands;
    KOVA_TemplateEditorLayerCommands m_layerEditCommands;
    KOVA_LayerInspector m_inspector;
    TemplateDocuments m_documents;
    QList<TemplateEntry> m_templates;
    Pointer m_template;
    UndoPointer m_undo;
    std::shared_ptr<OBKVOObservation> m_unsavedObservation;
    QPointer<TemplateSaveSheet> m_sheet;
    QPointer<QMenu> m_canvasMenu;
    std::function<void()> m_closedHandler;
    bool m_closing = false;
    bool m_quitConfirmed = false;
};
