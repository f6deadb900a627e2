#include "editor/window/KOVA_TemplateEditor.h"

#include "core/foundation/KOVA_Constants.h"
#include "core/foundation/ZORVAK_Extras_NSURL.h"
#include "core/image/ZORVAK_ImageWriter.h"
#include "core/observation/OBKVONotificationCenter.h"
#include "editor/canvas/KOVA_TemplateEditorView.h"
#include "editor/documents/SavePanel.h"
#include "editor/documents/TemplateEditorQueue.h"
#include "editor/documents/TemplateSaveSheet.h"
#include "editor/documents/UnsavedChangesPolicy.h"
#include "editor/inspector/KOVA_LayerViewController.h"
#include "editor/window/LayerTableView.h"
#include "editor/window/TemplateEditorMenus.h"
#include "core/ui/ApplicationMenu.h"
#include "core/ui/Beeper.h"
#include "core/ui/FileManagerReveal.h"
#include "core/ui/ZORVAK_NSObjectOpenSave.h"
#include "platform/Log.h"
#include "platform/files/Trash.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/UTType.h"
#include "platform/undo/UndoManager.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QTableView>

namespace {

std::shared_ptr<platform::UserDefaults> defaults()
{
    return platform::UserDefaults::standardUserDefaults();
}

QString pathOf(const KOVA_Template::Pointer& templateObject)
{
    return templateObject ? templateObject->documentURL().toLocalFile() : QString();
}

const SavePanel::Options& templatePanelOptions()
{
    static const SavePanel::Options options{QStringLiteral("New Template"), QString(), QStringLiteral("xml"),
                                            QStringLiteral("XML template (*.xml)")};
    return options;
}

} // namespace

ZORVAK_Dispatch::Queue KOVA_TemplateEditor::sharedSynchronizedQueue()
{
    return TemplateEditorQueue::sharedSynchronizedQueue();
}

KOVA_TemplateEditor::KOVA_TemplateEditor(QWidget* parent)
    : QMainWindow(parent)
    , m_layout(*this)
    , m_canvasEdits(*m_layout.canvas)
    , m_layerCommands(m_canvasEdits, [this] { reloadLayers(); })
    , m_layerEditCommands(m_canvasEdits)
    , m_inspector(m_layerEditCommands)
{
    connectLists();
    m_lists.changeInputFilePath(templatesFolder());
    m_lists.monitorPackagesFolder();
    setObjectName(QStringLiteral("KOVA_TemplateEditor"));
    setWindowTitle(QStringLiteral("Template Editor[*]"));
    resize(defaultSize);
    connectTables();
    connectActions();
    installInspector();
    TemplateEditorMenus::install(*this, m_actions, m_layout);
    m_layout.restoreState();
    m_actions.showLayerOutlines.setChecked(defaults()->boolForKey(showLayerOutlinesKey));
    canvas().setShowsLayerFrames(m_actions.showLayerOutlines.isChecked());
    canvas().kvoCustomTemplateSelection(true);
    canvas().setContextMenuPolicy(Qt::CustomContextMenu);
    updateActions();
}

KOVA_TemplateEditor::~KOVA_TemplateEditor()
{
    *m_self = nullptr;
    m_lists.stop();
    if (m_unsavedObservation)
        OBKVONotificationCenter::defaultCenter().removeObservation(m_unsavedObservation);
}

// ---- Showing and closing ----

void KOVA_TemplateEditor::showWindow()
{
    show();
    raise();
    activateWindow();
    defaults()->setBool(true, visibilityKey);
}

void KOVA_TemplateEditor::closeTemplateEditor()
{
    if (m_closing)
        return;
    m_closing = true;
    defaults()->setBool(false, visibilityKey);
    m_layout.saveState();
    m_lists.stop();
    hide();
    if (m_closedHandler)
        m_closedHandler();
    deleteLater();
}

void KOVA_TemplateEditor::closeEvent(QCloseEvent* event)
{
    if (m_quitConfirmed) {
        m_lists.stop();
        event->accept();
        return;
    }
    event->ignore();
    if (m_closing)
        return;
    verifyShouldCloseCurrentTemplate([editor = QPointer(this)](bool proceed, const QUrl&) {
        if (editor && proceed)
            editor->closeTemplateEditor();
    });
}

void KOVA_TemplateEditor::confirmQuit(std::function<void(bool proceed)> completion)
{
    verifyShouldCloseCurrentTemplate(
        [editor = QPointer(this), completion = std::move(completion)](bool proceed, const QUrl&) {
            if (editor)
                editor->m_quitConfirmed = proceed;
            // The application ends with the window open: its arrangement is kept now.
            if (editor && proceed)
                editor->m_layout.saveState();
            completion(proceed);
        });
}

void KOVA_TemplateEditor::addSharedActions(const QList<QAction*>& sharedActions)
{
    ApplicationMenu::addTo(menuBar(), sharedActions);
}

// ---- Loading ----

KOVA_TemplateEditor::UndoPointer KOVA_TemplateEditor::windowWillReturnUndoManager() const
{
    platform::Log::log(QStringLiteral("-[KOVA_TemplateEditor windowWillReturnUndoManager:] %1")
                           .arg(m_undo ? QStringLiteral("undo manager") : QStringLiteral("(null)")));
    return m_undo ? m_undo : std::make_shared<platform::UndoManager>();
}

void KOVA_TemplateEditor::loadTemplate(const Pointer& templateObject, const QByteArray& generation)
{
    if (templateObject == m_template)
        return;
    const UndoPointer undo = m_documents.undoManagerForLoading(templateObject);
    if (templateObject)
        m_documents.setGeneration(pathOf(templateObject), generation);
    // Only the editor's own state changes on the shared queue; widgets follow on main.
    ZORVAK_Dispatch::performSyncOnQueue(sharedSynchronizedQueue(), [&] {
        m_template = templateObject;
        m_undo = undo;
    });
    if (templateObject)
        defaults()->setURL(templateObject->documentURL(), lastLoadedKey);
    m_canvasEdits.setUndoManager(undo);
    m_canvasEdits.setTemplateObject(templateObject);
    if (!templateObject)
        canvas().setImagePreview({});
    if (undo)
        connect(undo.get(), &platform::UndoManager::changed, this, &KOVA_TemplateEditor::updateActions,
                Qt::UniqueConnection);
    observeUnsavedChanges();
    reloadLayers();
    emit inspectedLayerChanged(nullptr);
    emit templateChanged(templateObject);
    updateDocumentState();
    if (const auto repair = templateObject ? templateObject->repairedReason() : std::nullopt)
        tellRepaired(templateObject, *repair);
}

void KOVA_TemplateEditor::selectTemplateAtIndex(int index)
{
    if (const Pointer chosen = m_templates.value(index).templateObject) {
        if (const auto reason = chosen->unreadableReason()) {
            refuseUnreadable(chosen, *reason);
            return;
        }
    }
    verifyShouldCloseCurrentTemplate([editor = QPointer(this), index](bool proceed, const QUrl&) {
        if (!editor)
            return;
        if (!proceed) {
            editor->keepOpenTemplate();
            return;
        }
        const TemplateEntry entry = editor->m_templates.value(index);
        editor->loadTemplate(entry.templateObject, entry.generation);
    });
}

// A file that gave no template is not opened (an empty canvas saved over it would
// replace it): the operator is told why, and the open template stays.
void KOVA_TemplateEditor::refuseUnreadable(const Pointer& unreadable, const platform::Error& reason)
{
    const QString name = QFileInfo(pathOf(unreadable)).completeBaseName();
    platform::Log::log(QStringLiteral("-[KOVA_TemplateEditor selectTemplateAtIndex:] cannot open %1: %2")
                           .arg(pathOf(unreadable), reason.description()));
    alertInWindow(QStringLiteral("The template \"%1\" cannot be opened.").arg(name), reason.message);
    if (m_template) {
        keepOpenTemplate();
        return;
    }
    const QSignalBlocker silent(m_layout.templatesTable->selectionModel());
    m_layout.templatesTable->selectionModel()->clearSelection();
}

// A file that read only once repaired opens as repaired; the operator is told, since a
// save writes that form over the file.
void KOVA_TemplateEditor::tellRepaired(const Pointer& repaired, const platform::Error& reason)
{
    const QString name = QFileInfo(pathOf(repaired)).completeBaseName();
    platform::Log::log(QStringLiteral("-[KOVA_TemplateEditor selectTemplateAtIndex:] opened %1 repaired on reading: %2")
                           .arg(pathOf(repaired), reason.description()));
    alertInWindow(QStringLiteral("The template \"%1\" was repaired on reading.").arg(name),
                  QStringLiteral("%1\n\nSaving it writes the repaired form over the file.").arg(reason.message));
}

// An alert on this window that the operator dismisses; nothing waits for it.
void KOVA_TemplateEditor::alertInWindow(const QString& message, const QString& details)
{
    const QVariantMap options{
        {QStringLiteral("messageText"), message},
        {QStringLiteral("informativeText"), details},
        {QStringLiteral("window"), QVariant::fromValue<QWidget*>(this)},
    };
    ZORVAK_NSObjectOpenSave::alertPanelWithOptions(options, {}, this);
}

void KOVA_TemplateEditor::keepOpenTemplate()
{
    const QString path = pathOf(m_template);
    const qsizetype row = m_lists.templates().rowForPath(path);
    if (row < 0)
        return;
    TemplateEntry& entry = m_templates[row];
    if (entry.templateObject != m_template) {
        entry.templateObject = m_template;
        m_documents.setGeneration(path, entry.generation);
        setTemplates(m_templates);
    }
    selectTemplateRow(int(row));
}

// ---- The folder listing ----

void KOVA_TemplateEditor::connectLists()
{
    connect(&m_lists, &TemplateEditorLists::templatesListed, this, &KOVA_TemplateEditor::templatesListed);
}

void KOVA_TemplateEditor::templatesListed(QList<TemplateEntry> entries)
{
    const QString openPath = pathOf(m_template);
    for (TemplateEntry& entry : entries) {
        if (m_template && entry.path() == openPath && entry.generation == m_documents.generation(openPath))
            entry.templateObject = m_template;
    }
    setTemplates(entries);
    const QUrl lastLoaded = defaults()->URLForKey(lastLoadedKey);
    const int row = m_lists.templates().rowForPath(lastLoaded.toLocalFile());
    if (row < 0 || lastLoaded.isEmpty())
        return;
    // A last-loaded file that no longer reads is left for the operator to choose, who is
    // then told why it cannot be opened, rather than at every change of the folder.
    const Pointer last = m_templates.at(row).templateObject;
    if (last != m_template && last->unreadableReason())
        return;
    selectTemplateRow(row);
    m_layout.templatesTable->scrollTo(m_lists.templates().index(row, 0));
    if (last != m_template)
        selectTemplateAtIndex(row);
}

void KOVA_TemplateEditor::setTemplates(const QList<TemplateEntry>& entries)
{
    m_templates = entries;
    QList<DocumentListModel::Entry> objects;
    for (const TemplateEntry& entry : entries)
        objects.append(entry.templateObject);
    const QSignalBlocker silent(m_layout.templatesTable->selectionModel());
    m_lists.templates().setEntries(objects);
}

void KOVA_TemplateEditor::selectTemplateRow(int row)
{
    QItemSelectionModel* selection = m_layout.templatesTable->selectionModel();
    const QSignalBlocker silent(selection);
    selection->select(m_lists.templates().index(row, 0),
                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_layout.templatesTable->viewport()->update();
}

QString KOVA_TemplateEditor::templatesFolder() const
{
    return defaults()->stringForKey(key_kovaFolderTemplates);
}

// ---- Unsaved changes ----

void KOVA_TemplateEditor::verifyShouldCloseCurrentTemplate(Completion completion)
{
    m_inspector.commitEditing();
    if (!m_template || !m_template->hasUnsavedChanges()) {
        completion(true, {});
        return;
    }
    if (m_sheet) {
        // One question at a time: what arrives meanwhile is refused.
        completion(false, {});
        return;
    }
    switch (UnsavedChangesPolicy::current()) {
    case UnsavedChangesPolicy::neverSave:
        dropChanges();
        completion(true, {});
        return;
    case UnsavedChangesPolicy::saveAlways:
        saveOrSaveAs(completion);
        return;
    case UnsavedChangesPolicy::ask:
        askWithSheet(completion);
        return;
    }
}

void KOVA_TemplateEditor::saveOrSaveAs(const Completion& completion)
{
    saveChangesLogged([editor = QPointer(this), completion](const QUrl& url) {
        if (!url.isEmpty() || !editor) {
            completion(!url.isEmpty(), url);
            return;
        }
        editor->saveTemplateToTemplatesFolder([completion](const QUrl& savedTo) {
            completion(!savedTo.isEmpty(), savedTo);
        });
    });
}

void KOVA_TemplateEditor::askWithSheet(const Completion& completion)
{
    m_sheet = new TemplateSaveSheet(QFileInfo(pathOf(m_template)).completeBaseName(), this);
    connect(m_sheet, &TemplateSaveSheet::answered, this, [this, completion](int answer) {
        if (answer == UnsavedChangesPolicy::cancel) {
            completion(false, {});
        } else if (answer == UnsavedChangesPolicy::save) {
            saveChangesLogged([completion](const QUrl& url) { completion(!url.isEmpty(), url); });
        } else {
            dropChanges();
            completion(true, {});
        }
    });
    m_sheet->open();
}

void KOVA_TemplateEditor::dropChanges()
{
    const QString path = pathOf(m_template);
    const qsizetype row = m_lists.templates().rowForPath(path);
    if (row < 0)
        return;
    const TemplateEntry reread = TemplateFolderScan::read(path);
    if (!reread.templateObject)
        return;
    m_templates[row] = reread;
    m_documents.forget(path);
    setTemplates(m_templates);
}

// ---- Saving ----

void KOVA_TemplateEditor::saveChangesLogged(const UrlReply& reply)
{
    m_inspector.commitEditing();
    const Pointer templateObject = m_template;
    if (!templateObject) {
        reply({});
        return;
    }
    templateObject->saveChanges([this, templateObject, reply](const QUrl& url, const std::optional<platform::Error>& error) {
        reportSaved("-[KOVA_TemplateEditor saveDocument:]", url, error);
        if (!url.isEmpty())
            noteWritten(templateObject, url);
        reply(url);
    });
}

void KOVA_TemplateEditor::reportSaved(const char* method, const QUrl& url,
                                      const std::optional<platform::Error>& error) const
{
    platform::Log::log(url.isEmpty() ? QStringLiteral("%1 FAILED (error: %2)").arg(QLatin1String(method),
                                                                                      error ? error->description() : QString())
                                     : QStringLiteral("%1 SUCCESS (path: %2)").arg(QLatin1String(method), url.toLocalFile()));
}

void KOVA_TemplateEditor::noteWritten(const Pointer& templateObject, const QUrl& url)
{
    m_documents.setGeneration(url.toLocalFile(), ZORVAK_Extras_NSURL::generationID(url));
    if (templateObject == m_template)
        updateDocumentState();
}

void KOVA_TemplateEditor::newDocument()
{
    platform::Log::log(QStringLiteral("-[KOVA_TemplateEditor newDocument:]"));
    SavePanel::Options options = templatePanelOptions();
    options.folder = templatesFolder();
    SavePanel::open(this, options, [](const QUrl& chosen) {
        if (chosen.isEmpty())
            return;
        const QUrl remembered = defaults()->URLForKey(lastLoadedKey);
        defaults()->setURL(chosen, lastLoadedKey);
        KOVA_Template::init()->saveChangesToURL(chosen, [chosen, remembered](const QUrl& url, const auto& error) {
            platform::Log::log(QStringLiteral("-[KOVA_TemplateEditor newDocument:] %1 %2")
                                   .arg(url.toString(), error ? error->description() : chosen.toString()));
            if (url.isEmpty())
                defaults()->setURL(remembered, lastLoadedKey);
        });
    });
}

void KOVA_TemplateEditor::saveDocument()
{
    platform::Log::log(QStringLiteral("-[KOVA_TemplateEditor saveDocument:]"));
    saveChangesLogged([](const QUrl&) {});
}

void KOVA_TemplateEditor::saveDocumentAs()
{
    saveTemplateToTemplatesFolder({});
}

void KOVA_TemplateEditor::saveTemplateToTemplatesFolder(UrlReply reply)
{
    m_inspector.commitEditing();
    SavePanel::Options options = templatePanelOptions();
    options.folder = templatesFolder();
    SavePanel::open(this, options, [editor = QPointer(this), reply](const QUrl& chosen) {
        const Pointer templateObject = editor ? editor->m_template : nullptr;
        if (chosen.isEmpty() || !templateObject) {
            if (reply)
                reply({});
            return;
        }
        const QString fromPath = pathOf(templateObject);
        templateObject->saveChangesToURL(chosen, [editor, templateObject, fromPath, reply](const QUrl& url, const auto& error) {
            platform::Log::log(QStringLiteral("-[KOVA_TemplateEditor saveTemplateToTemplatesFolder:] %1")
                                   .arg(url.isEmpty() ? (error ? error->description() : QString()) : url.toString()));
            if (!url.isEmpty() && editor) {
                editor->m_documents.rekey(fromPath, url.toLocalFile());
                editor->noteWritten(templateObject, url);
                defaults()->setURL(url, lastLoadedKey);
            }
            if (reply)
                reply(url);
        });
    });
}

void KOVA_TemplateEditor::savePNG()
{
    m_inspector.commitEditing();
    const Pointer templateObject = m_template;
    if (!templateObject)
        return;
    const SavePanel::Options options{QStringLiteral("Save PNG version"), templatesFolder(), QStringLiteral("png"),
                                     QStringLiteral("PNG image (*.png)")};
    SavePanel::open(this, options, [templateObject](const QUrl& chosen) {
        if (chosen.isEmpty())
            return;
        templateObject->getPreviewImage([chosen](const QImage& image) {
            platform::Error error;
            if (!ZORVAK_ImageWriter::writeImage(image, chosen, {{zorvakImageKey_utType, platform::kUTTypePNG}}, &error))
                platform::Log::log(QStringLiteral("-[KOVA_TemplateEditor savePNG:] %1 %2")
                                       .arg(chosen.toString(), error.description()));
        });
    });
}

// ---- The edited mark ----

// The template announces its changes on the thread that makes them (the shared queue
// for list edits): the mark is brought up to date on the main thread afterwards.
void KOVA_TemplateEditor::observeUnsavedChanges()
{
    if (m_unsavedObservation)
        OBKVONotificationCenter::defaultCenter().removeObservation(m_unsavedObservation);
    m_unsavedObservation = nullptr;
    if (!m_template)
        return;
    m_unsavedObservation = OBKVONotificationCenter::addObservationKeyPath(
        m_template, QStringLiteral("hasUnsavedChanges"), 0, [self = m_self](const OBKVONotification&) {
            ZORVAK_Dispatch::performAsyncOnMainQueue([self] {
                if (KOVA_TemplateEditor* editor = *self)
                    editor->updateDocumentState();
            });
        });
}

void KOVA_TemplateEditor::updateDocumentState()
{
    setWindowModified(m_template && m_template->hasUnsavedChanges());
    const QString name = m_template ? QFileInfo(pathOf(m_template)).completeBaseName() : QString();
    setWindowTitle(name.isEmpty() ? QStringLiteral("Template Editor[*]")
                                  : QStringLiteral("%1[*] — Template Editor").arg(name));
    updateActions();
}

void KOVA_TemplateEditor::updateActions()
{
    EditorSituation situation;
    situation.hasTemplate = bool(m_template);
    situation.hasUnsavedChanges = m_template && m_template->hasUnsavedChanges();
    situation.hasFile = m_template && m_template->documentURL().isLocalFile();
    situation.layerCount = int(m_layerModel.layers().size());
    situation.selectedLayerCount = m_template ? int(m_template->indexSetLayersSelected().size()) : 0;
    if (m_undo) {
        situation.canUndo = m_undo->canUndo();
        situation.canRedo = m_undo->canRedo();
        situation.undoTitle = m_undo->undoMenuItemTitle();
        situation.redoTitle = m_undo->redoMenuItemTitle();
    }
    situation.pasteboardReadable = EditorActions::isReadable(QApplication::clipboard()->mimeData());
    m_actions.update(situation);
}

// ---- Tables ----

void KOVA_TemplateEditor::connectTables()
{
    m_layout.templatesTable->setModel(&m_lists.templates());
    m_layout.packagesTable->setModel(&m_lists.arrangedPackages());
    m_layout.layersTable->setModel(&m_layerModel);
    m_layerModel.setReorderHandler(
        [this](const KOVA_Template::List& layers, const QStringList& zLevels) { m_layerCommands.restack(layers, zLevels); });
    connect(m_layout.templatesTable->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = m_layout.templatesTable->selectionModel()->selectedRows();
        if (rows.size() == 1)
            selectTemplateAtIndex(rows.first().row());
    });
    connect(m_layout.packagesTable->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = m_layout.packagesTable->selectionModel()->selectedRows();
        if (rows.size() == 1)
            platform::Log::log(QStringLiteral("-[KOVA_TemplateEditor loadPackage:] -- UNIMPLEMENTED! %1")
                                   .arg(rows.first().data().toString()));
    });
    connect(m_layout.layersTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &KOVA_TemplateEditor::layersSelectedInTable);
    connect(m_layout.packagesSearchField, &QLineEdit::textChanged, &m_lists.arrangedPackages(),
            &PackageFilterModel::setFilterText);
    for (QTableView* table : {m_layout.templatesTable, m_layout.packagesTable}) {
        connect(table, &QWidget::customContextMenuRequested, this, [this, table](const QPoint& point) {
            if (QMenu* menu = tableContextMenu(table, point))
                menu->popup(table->viewport()->mapToGlobal(point));
        });
    }
    connect(&canvas(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint& point) { canvasContextMenu()->popup(canvas().mapToGlobal(point)); });
    connect(&canvas(), &KOVA_TemplateEditorView::selectedLayersDidChange, this,
            &KOVA_TemplateEditor::selectedLayersDidChange);
}

void KOVA_TemplateEditor::reloadLayers()
{
    KOVA_Template::List layers;
    ZORVAK_Dispatch::performSyncOnQueue(sharedSynchronizedQueue(), [&] {
        if (m_template)
            layers = m_template->layers();
    });
    const QSignalBlocker silent(m_layout.layersTable->selectionModel());
    m_layerModel.setLayers(layers);
    selectedLayersDidChange();
}

// A selection made in the layers table is an undoable selection of the canvas.
void KOVA_TemplateEditor::layersSelectedInTable()
{
    KOVA_Template::List layers;
    for (const QModelIndex& row : m_layout.layersTable->selectionModel()->selectedRows()) {
        if (const Pointer layer = m_layerModel.layerForRow(row.row()))
            layers.append(layer);
    }
    if (!layers.isEmpty())
        m_canvasEdits.registerUndoSelectLayers(layers, false, {}, {});
}

void KOVA_TemplateEditor::selectedLayersDidChange()
{
    const KOVA_Template::List selected = m_template ? m_template->layersSelected() : KOVA_Template::List();
    QItemSelection rows;
    Pointer inspected;
    for (const Pointer& layer : selected) {
        const int row = m_layerModel.rowForLayer(layer);
        if (row < 0)
            continue;
        rows.select(m_layerModel.index(row, 0), m_layerModel.index(row, DocumentListModel::typeColumn));
        inspected = layer;
    }
    QItemSelectionModel* selection = m_layout.layersTable->selectionModel();
    {
        const QSignalBlocker silent(selection);
        selection->select(rows, QItemSelectionModel::ClearAndSelect);
    }
    m_layout.layersTable->viewport()->update();
    emit inspectedLayerChanged(inspected);
    updateActions();
}

// ---- Commands ----

void KOVA_TemplateEditor::connectActions()
{
    connect(&m_actions.newTemplate, &QAction::triggered, this, &KOVA_TemplateEditor::newDocument);
    connect(&m_actions.save, &QAction::triggered, this, &KOVA_TemplateEditor::saveDocument);
    connect(&m_actions.saveAs, &QAction::triggered, this, &KOVA_TemplateEditor::saveDocumentAs);
    connect(&m_actions.savePNG, &QAction::triggered, this, &KOVA_TemplateEditor::savePNG);
    connect(&m_actions.undo, &QAction::triggered, this, [this] {
        if (m_undo)
            m_undo->undo();
    });
    connect(&m_actions.redo, &QAction::triggered, this, [this] {
        if (m_undo)
            m_undo->redo();
    });
    connect(&m_actions.paste, &QAction::triggered, this, &KOVA_TemplateEditor::paste);
    connect(&m_actions.deleteLayers, &QAction::triggered, this, &KOVA_TemplateEditor::deleteSelectedLayers);
    connect(&m_actions.selectAll, &QAction::triggered, this, [this] { m_layerCommands.selectAll(); });
    const QList<std::pair<QAction*, unsigned>> addActions{{&m_actions.addTextLayer, KOVA_Template::layerTypeTextbox},
                                                          {&m_actions.addStampLayer, KOVA_Template::layerTypeStamp},
                                                          {&m_actions.addGraphicLayer, KOVA_Template::layerTypeGraphic},
                                                          {&m_actions.addImageLayer, KOVA_Template::layerTypeImage}};
    for (const auto& [action, layerType] : addActions)
        connect(action, &QAction::triggered, this, [this, type = layerType] { m_layerCommands.addLayerOfType(type); });
    connect(&m_actions.showLayerOutlines, &QAction::toggled, this, &KOVA_TemplateEditor::setShowsLayerFrames);
    connect(&m_actions.reveal, &QAction::triggered, this, [this] { revealInFileManager(&m_actions.reveal); });
    connect(&m_actions.moveToTrash, &QAction::triggered, this, [this] { moveToTrash(&m_actions.moveToTrash); });
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &KOVA_TemplateEditor::updateActions);
}

void KOVA_TemplateEditor::paste()
{
    m_layerCommands.paste(QApplication::clipboard()->mimeData());
}

bool KOVA_TemplateEditor::showsLayerFrames() const
{
    return m_actions.showLayerOutlines.isChecked();
}

void KOVA_TemplateEditor::setShowsLayerFrames(bool showsLayerFrames)
{
    m_actions.showLayerOutlines.setChecked(showsLayerFrames);
    defaults()->setBool(showsLayerFrames, showLayerOutlinesKey);
    canvas().setShowsLayerFrames(showsLayerFrames);
}

void KOVA_TemplateEditor::installInspector()
{
    m_layerEditCommands.setOpenPanel(
        [this](const QVariantMap& options, const KOVA_TemplateEditorLayerCommands::OpenPanelReply& reply) {
            ZORVAK_NSObjectOpenSave::openPanelWithOptions(
                options, [reply](QFileDialog* panel, int response) { reply(response, panel->selectedUrls()); }, this);
        });
    setInspectorWidget(new KOVA_LayerViewController(m_inspector));
    connect(this, &KOVA_TemplateEditor::inspectedLayerChanged, &m_inspector, &KOVA_LayerInspector::setLayer);
    connect(this, &KOVA_TemplateEditor::templateChanged, &m_inspector, &KOVA_LayerInspector::templateDidChange);
}

void KOVA_TemplateEditor::setInspectorWidget(QWidget* inspector)
{
    m_layout.setInspectorWidget(inspector);
}

// ---- Context menus ----

QMenu* KOVA_TemplateEditor::canvasContextMenu()
{
    if (!m_canvasMenu)
        m_canvasMenu = TemplateEditorMenus::makeCanvasMenu(this, m_actions);
    const bool offersPNG = (defaults()->integerForKey(outputOptionsKey) & outputOptionPNG) != 0;
    if (offersPNG && !m_canvasMenu->actions().contains(&m_actions.savePNG)) {
        m_canvasMenu->addSeparator();
        m_canvasMenu->addAction(&m_actions.savePNG);
    }
    m_actions.savePNG.setVisible(offersPNG);
    return m_canvasMenu;
}

namespace {

// The file URLs an action carries: a list of them or one; none when anything else.
QStringList filePathsCarried(const QAction* action)
{
    const QVariant carried = action ? action->data() : QVariant();
    const QList<QUrl> urls = carried.canConvert<QList<QUrl>>() && carried.typeId() != QMetaType::QUrl
                                 ? carried.value<QList<QUrl>>()
                                 : QList<QUrl>{carried.toUrl()};
    QStringList paths;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            return {};
        paths.append(url.toLocalFile());
    }
    return paths;
}

// "selected items" for several, else the file's name without extension.
QString nameForMenu(const QList<QUrl>& urls)
{
    if (urls.size() > 1)
        return QStringLiteral("selected items");
    const QString name = urls.isEmpty() ? QString() : QFileInfo(urls.first().path()).completeBaseName();
    return name.isEmpty() ? QStringLiteral("selected item") : name;
}

} // namespace

QMenu* KOVA_TemplateEditor::tableContextMenu(QTableView* table, const QPoint& point)
{
    const QModelIndex clicked = table->indexAt(point);
    if (!clicked.isValid())
        return nullptr;
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    const bool several = selected.size() >= 2 && table->selectionModel()->isRowSelected(clicked.row());
    const QModelIndexList rows = several ? selected : QModelIndexList{clicked};
    QList<QUrl> urls;
    for (const QModelIndex& row : rows) {
        const QModelIndex source = table == m_layout.packagesTable ? m_lists.arrangedPackages().mapToSource(row) : row;
        const auto* list = table == m_layout.packagesTable ? &m_lists.packages() : &m_lists.templates();
        if (const DocumentListModel::Entry entry = list->entry(source.row()); entry && entry->documentURL().isLocalFile())
            urls.append(entry->documentURL());
    }
    auto* menu = new QMenu(table);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QString name = nameForMenu(urls);
    QAction* reveal = menu->addAction(QStringLiteral("Reveal \"%1\" in File Manager …").arg(name));
    QAction* trash = menu->addAction(QStringLiteral("Move \"%1\" to the Trash …").arg(name));
    for (QAction* action : {reveal, trash})
        action->setData(QVariant::fromValue(urls));
    connect(reveal, &QAction::triggered, this, [this, reveal] { revealInFileManager(reveal); });
    connect(trash, &QAction::triggered, this, [this, trash] { moveToTrash(trash); });
    return menu;
}

void KOVA_TemplateEditor::revealInFileManager(const QAction* sender)
{
    const QStringList paths = filePathsFor(sender, &m_actions.reveal, "revealInFinder:");
    if (!paths.isEmpty())
        FileManagerReveal::revealItems(paths);
}

// The files the menu's own action means (the open template's) or those a context menu's
// action carries; none, with a beep, when it carries anything but file URLs.
QStringList KOVA_TemplateEditor::filePathsFor(const QAction* sender, const QAction* ownAction, const char* method) const
{
    const QString name = QStringLiteral("-[KOVA_TemplateEditor %1]").arg(QLatin1String(method));
    platform::Log::log(QStringLiteral("%1 %2").arg(name, sender ? sender->text() : QString()));
    const QStringList paths = sender == ownAction ? QStringList{pathOf(m_template)} : filePathsCarried(sender);
    if (!paths.isEmpty() && !paths.contains(QString()))
        return paths;
    platform::Log::log(QStringLiteral("%1 bad array at line %2 ").arg(name).arg(__LINE__));
    Beeper::beep();
    return {};
}

void KOVA_TemplateEditor::moveToTrash(const QAction* sender)
{
    const QStringList paths = filePathsFor(sender, &m_actions.moveToTrash, "moveToTrash:");
    if (paths.isEmpty())
        return;
    ZORVAK_Dispatch::performAsyncGlobalQOS(33, [paths] {
        const platform::Trash::Result result = platform::Trash::moveToTrash(paths);
        for (const auto& [path, error] : result.failures)
            platform::Log::log(QStringLiteral("cannot move %1 to the trash: %2").arg(path, error.description()));
    });
}
