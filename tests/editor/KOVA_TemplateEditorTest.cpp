#include "editor/window/KOVA_TemplateEditor.h"
#include "editor/window/TemplateEditorPresenter.h"

#include "../core/ImageTestPictures.h"
#include "FileFixtures.h"
#include "TestEnvironment.h"
#include "core/foundation/KOVA_Constants.h"
#include "core/ui/Beeper.h"
#include "editor/canvas/KOVA_TemplateEditorView.h"
#include "editor/documents/SavePanel.h"
#include "editor/documents/UnsavedChangesPolicy.h"
#include "editor/inspector/InspectorTextField.h"
#include "editor/inspector/KOVA_LayerViewController.h"
#include "editor/inspector/TextboxTableCellView.h"
#include "editor/lists/FileNameOrder.h"
#include "editor/window/LayerTableView.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/undo/UndoManager.h"
#include "platform/xml/XmlDocument.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QMimeData>
#include <QScreen>
#include <QLineEdit>
#include <QSplitter>
#include <QTableView>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTextDocument>

#include <gtest/gtest.h>

using kova::test::processMainQueue;
using kova::test::waitUntil;

namespace {

using Pointer = KOVA_Template::Pointer;
const QString Examples = QStringLiteral(KOVA_EXAMPLES_DIR);
// The example templates sort as these rows.
constexpr int PhotoPrint = 0;
constexpr int PortraitFrame = 1;
constexpr int Postcard = 2;

std::shared_ptr<platform::UserDefaults> defaults()
{
    return platform::UserDefaults::standardUserDefaults();
}

bool copyFolder(const QString& from, const QString& to)
{
    for (const QString& name : QDir(from).entryList(QDir::Files)) {
        if (!QFile::copy(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name))
            return false;
    }
    return true;
}

// An editor on copies of the example templates, packages, pictures and graphics in a
// scratch folder.
class KOVA_TemplateEditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const QString& folder : {QStringLiteral("Templates"), QStringLiteral("Packages"),
                                      QStringLiteral("Images"), QStringLiteral("Graphics")}) {
            ASSERT_TRUE(QDir().mkpath(scratch.path(folder)));
            ASSERT_TRUE(copyFolder(Examples + QLatin1Char('/') + folder, scratch.path(folder)));
        }
        defaults()->setObject(templatesFolder(), key_kovaFolderTemplates);
        defaults()->setObject(packagesFolder(), key_kovaFolderPackages);
        for (const QString& key : {UnsavedChangesPolicy::preferenceKey, KOVA_TemplateEditor::lastLoadedKey,
                                   KOVA_TemplateEditor::outputOptionsKey, KOVA_TemplateEditor::visibilityKey,
                                   TemplateEditorLayout::windowFrameKey, TemplateEditorLayout::mainSplitterKey,
                                   TemplateEditorLayout::layersSplitterKey, TemplateEditorLayout::templatesTableKey})
            defaults()->removeObjectForKey(key);
        Beeper::setHook([this] { ++beeps; });
        editor = new KOVA_TemplateEditor;
        connect();
        editor->showWindow();
        ASSERT_TRUE(waitUntil([&] { return editor->templates().size() == 3; }));
    }

    // No render outlives the test (nor the process).
    void TearDown() override
    {
        Beeper::setHook({});
        waitForRenders();
        if (editor) {
            editor->setClosedHandler({});
            editor->closeTemplateEditor();
        }
        waitUntilDeleted();
    }

    // The window ends as the application's end takes it, and a new editor starts.
    void restart()
    {
        editor->setClosedHandler({});
        delete editor.data();
        editor = new KOVA_TemplateEditor;
        connect();
        editor->showWindow();
        processMainQueue();
    }

    void connect()
    {
        QObject::connect(&editor->lists(), &TemplateEditorLists::templatesListed, [this] { ++listings; });
    }

    QString templatesFolder() const { return scratch.path(QStringLiteral("Templates")); }
    QString packagesFolder() const { return scratch.path(QStringLiteral("Packages")); }
    QString templatePath(const QString& name) const { return templatesFolder() + QLatin1Char('/') + name; }
    // The alert the editor shows, if any.
    QMessageBox* shownAlert() const
    {
        for (QMessageBox* alert : editor->findChildren<QMessageBox*>()) {
            if (alert->isVisible())
                return alert;
        }
        return nullptr;
    }
    QString pathOfRow(int row) const { return editor->templates().at(row).path(); }

    void open(int row)
    {
        editor->layout().templatesTable->selectRow(row);
        ASSERT_TRUE(waitUntil([&] { return editor->templateObject() && editor->templateObject()->documentURL().toLocalFile() == pathOfRow(row); }));
    }

    // Moves the lowest layer 10 to the right, an unsaved change.
    void edit()
    {
        const Pointer layer = editor->templateObject()->layers().first();
        editor->canvasEdits().registerUndoMoveLayer(layer, layer->frame().translated(10, 0));
        ASSERT_TRUE(waitUntil([&] { return editor->isWindowModified(); }));
    }

    double firstLayerX() const { return editor->templateObject()->layers().first()->frame().x(); }

    void answerSheet(UnsavedChangesPolicy::Answer answer, bool doNotAsk = false)
    {
        ASSERT_TRUE(waitUntil([&] { return editor->saveSheet() && editor->saveSheet()->isVisible(); }));
        editor->saveSheet()->doNotAskBox()->setChecked(doNotAsk);
        editor->saveSheet()->answer(answer);
        processMainQueue();
    }

    void answerSavePanel(const QString& path)
    {
        QFileDialog* panel = nullptr;
        ASSERT_TRUE(waitUntil([&] { return (panel = editor->findChild<QFileDialog*>(SavePanel::objectName)); }));
        panel->selectFile(path);
        static_cast<QDialog*>(panel)->accept();
        processMainQueue();
    }

    // Waits for the next listing of the templates folder.
    void waitForListing()
    {
        const int before = listings;
        ASSERT_TRUE(waitUntil([&] { return listings > before; }));
    }

    void waitForRenders()
    {
        if (editor)
            EXPECT_TRUE(waitUntil([&] { return !editor->canvas().isRenderingPreview(); }));
    }

    void waitUntilDeleted()
    {
        EXPECT_TRUE(waitUntil([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return editor.isNull();
        }));
    }

    kova::test::ScratchFolder scratch;
    QPointer<KOVA_TemplateEditor> editor;
    int listings = 0;
    int beeps = 0;
};

TEST_F(KOVA_TemplateEditorTest, TheSheetStoresThePolicyOnlyForSaveOrDontSaveWithTheBox)
{
    open(Postcard);
    const QByteArray saved = kova::test::readFile(pathOfRow(Postcard));
    const double savedX = firstLayerX();
    edit();

    // Box and Cancel: nothing stored, the template stays open and its row selected.
    editor->layout().templatesTable->selectRow(PhotoPrint);
    answerSheet(UnsavedChangesPolicy::cancel, true);
    EXPECT_FALSE(defaults()->objectForKey(UnsavedChangesPolicy::preferenceKey).isValid());
    EXPECT_EQ(editor->templateObject()->documentURL().toLocalFile(), pathOfRow(Postcard));
    EXPECT_EQ(editor->layout().templatesTable->selectionModel()->selectedRows().first().row(), Postcard);

    // Don't Save: the file stays as it was; opened again it shows the saved values.
    editor->layout().templatesTable->selectRow(PhotoPrint);
    answerSheet(UnsavedChangesPolicy::dontSave);
    ASSERT_TRUE(waitUntil([&] { return editor->templateObject()->documentURL().toLocalFile() == pathOfRow(PhotoPrint); }));
    EXPECT_EQ(kova::test::readFile(pathOfRow(Postcard)), saved);
    open(Postcard);
    EXPECT_EQ(firstLayerX(), savedX);
    EXPECT_FALSE(editor->isWindowModified());

    // Box and Save: policy 1, the file written.
    edit();
    editor->layout().templatesTable->selectRow(PhotoPrint);
    answerSheet(UnsavedChangesPolicy::save, true);
    EXPECT_EQ(defaults()->integerForKey(UnsavedChangesPolicy::preferenceKey), UnsavedChangesPolicy::saveAlways);
    EXPECT_NE(kova::test::readFile(pathOfRow(Postcard)), saved);
}

// Edits and undo history survive changes of other files and the editor's own saves; a
// change by another program asks.
TEST_F(KOVA_TemplateEditorTest, ListingKeepsTheOpenTemplateUnlessAnotherProgramChangedIt)
{
    defaults()->setInteger(UnsavedChangesPolicy::neverSave, UnsavedChangesPolicy::preferenceKey);
    open(Postcard);
    const Pointer opened = editor->templateObject();
    edit();
    const QString other = pathOfRow(PortraitFrame);
    ASSERT_TRUE(kova::test::writeFile(other, kova::test::readFile(other)));
    waitForListing();
    EXPECT_EQ(editor->templateObject(), opened);
    EXPECT_TRUE(opened->hasUnsavedChanges());
    EXPECT_EQ(editor->saveSheet(), nullptr);

    editor->saveDocument();
    EXPECT_FALSE(opened->hasUnsavedChanges());
    waitForListing();
    EXPECT_EQ(editor->templateObject(), opened);
    EXPECT_TRUE(editor->undo()->canUndo());
    EXPECT_EQ(editor->templates().at(Postcard).templateObject, opened);

    defaults()->setInteger(UnsavedChangesPolicy::ask, UnsavedChangesPolicy::preferenceKey);
    edit();
    const QString path = pathOfRow(Postcard);
    ASSERT_TRUE(kova::test::writeFile(path, kova::test::readFile(path) + "\n"));
    ASSERT_TRUE(waitUntil([&] { return editor->saveSheet() != nullptr; }));
    answerSheet(UnsavedChangesPolicy::cancel);
    EXPECT_EQ(editor->templateObject(), opened);
}

TEST_F(KOVA_TemplateEditorTest, SaveAsKeepsTheTemplateOpenUnderItsNewFileWithItsHistory)
{
    open(Postcard);
    const Pointer opened = editor->templateObject();
    edit();
    const QString copy = templatePath(QStringLiteral("Postcard copy.xml"));
    editor->saveDocumentAs();
    answerSavePanel(copy);
    ASSERT_TRUE(QFileInfo::exists(copy));
    EXPECT_EQ(defaults()->URLForKey(KOVA_TemplateEditor::lastLoadedKey).toLocalFile(), copy);
    ASSERT_TRUE(waitUntil([&] { return editor->templates().size() == 4; }));
    EXPECT_EQ(editor->templateObject(), opened);
    EXPECT_EQ(opened->documentURL().toLocalFile(), copy);
    EXPECT_EQ(editor->templates().at(editor->lists().templates().rowForPath(copy)).templateObject, opened);
    EXPECT_TRUE(editor->undo()->canUndo());
    EXPECT_FALSE(editor->isWindowModified());
}

// A cancelled save panel answers: the policy's fallback then keeps the template open.
TEST_F(KOVA_TemplateEditorTest, ACancelledSavePanelAnswersNoFile)
{
    open(Postcard);
    std::optional<QUrl> answered;
    editor->saveTemplateToTemplatesFolder([&](const QUrl& url) { answered = url; });
    QFileDialog* panel = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (panel = editor->findChild<QFileDialog*>(SavePanel::objectName)); }));
    EXPECT_EQ(panel->windowTitle(), QStringLiteral("New Template"));
    EXPECT_EQ(panel->defaultSuffix(), QStringLiteral("xml"));
    panel->reject();
    ASSERT_TRUE(waitUntil([&] { return answered.has_value(); }));
    EXPECT_TRUE(answered->isEmpty());
}

TEST_F(KOVA_TemplateEditorTest, DeleteTitlesUndoAndReselection)
{
    open(Postcard);
    EditorActions& actions = editor->actions();
    const qsizetype count = editor->templateObject()->layers().size();
    EXPECT_FALSE(actions.deleteLayers.isEnabled());
    editor->layout().layersTable->selectRow(0);
    ASSERT_TRUE(waitUntil([&] { return actions.deleteLayers.isEnabled(); }));
    EXPECT_EQ(actions.deleteLayers.text(), QStringLiteral("Delete Layer"));
    editor->layout().layersTable->selectionModel()->select(
        editor->layerModel().index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ASSERT_TRUE(waitUntil([&] { return actions.deleteLayers.text() == QStringLiteral("Delete Layers"); }));
    const KOVA_Template::List selected = editor->templateObject()->layersSelected();
    ASSERT_EQ(selected.size(), 2);

    actions.deleteLayers.trigger();
    ASSERT_TRUE(waitUntil([&] { return editor->layerModel().rowCount() == count - 2; }));
    EXPECT_EQ(actions.undo.text(), QStringLiteral("Undo Delete Layers"));
    actions.undo.trigger();
    ASSERT_TRUE(waitUntil([&] { return editor->layerModel().rowCount() == count; }));
    EXPECT_TRUE(waitUntil([&] { return editor->templateObject()->layersSelected() == selected; }));
    EXPECT_TRUE(waitUntil([&] { return editor->layout().layersTable->selectionModel()->selectedRows().size() == 2; }));
}

TEST_F(KOVA_TemplateEditorTest, DeletingEveryLayerSelectsNothing)
{
    open(PhotoPrint);
    editor->actions().selectAll.trigger();
    ASSERT_TRUE(waitUntil([&] { return editor->actions().deleteLayers.isEnabled(); }));
    editor->actions().deleteLayers.trigger();
    ASSERT_TRUE(waitUntil([&] { return editor->layerModel().rowCount() == 0; }));
    EXPECT_TRUE(editor->templateObject()->layersSelected().isEmpty());
    EXPECT_FALSE(editor->actions().selectAll.isEnabled());
}

TEST_F(KOVA_TemplateEditorTest, ThePNGItemIsOfferedOnlyWithItsOptionAndOnce)
{
    open(Postcard);
    const auto pngItems = [&] { return editor->canvasContextMenu()->actions().count(&editor->actions().savePNG); };
    EXPECT_EQ(pngItems(), 0);
    defaults()->setInteger(0x200 | 0x1, KOVA_TemplateEditor::outputOptionsKey);
    EXPECT_EQ(pngItems(), 1);
    EXPECT_EQ(pngItems(), 1);
    EXPECT_TRUE(editor->actions().savePNG.isVisible());
    EXPECT_EQ(editor->actions().savePNG.text(), QStringLiteral("Save as PNG…"));
    defaults()->setInteger(0x1, KOVA_TemplateEditor::outputOptionsKey);
    editor->canvasContextMenu();
    EXPECT_FALSE(editor->actions().savePNG.isVisible());
}

TEST_F(KOVA_TemplateEditorTest, PastingTextAddsOneTextBoxAndAPictureWithoutGraphicsFolderNothing)
{
    open(Postcard);
    const qsizetype count = editor->templateObject()->layers().size();
    QApplication::clipboard()->setText(QStringLiteral("Greetings from the harbour"));
    ASSERT_TRUE(waitUntil([&] { return editor->actions().paste.isEnabled(); }));
    editor->actions().paste.trigger();
    ASSERT_TRUE(waitUntil([&] { return editor->layerModel().rowCount() == count + 1; }));
    const Pointer pasted = editor->templateObject()->layers().last();
    EXPECT_TRUE(pasted->isTextboxType());
    EXPECT_EQ(pasted->stringValue(), QStringLiteral("Greetings from the harbour"));
    EXPECT_EQ(editor->templateObject()->layersSelected(), KOVA_Template::List{pasted});
    editor->actions().undo.trigger();
    ASSERT_TRUE(waitUntil([&] { return editor->layerModel().rowCount() == count; }));

    defaults()->removeObjectForKey(key_kovaFolderGraphics);
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    picture.save(&buffer, "PNG");
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/png"), png);
    QApplication::clipboard()->setMimeData(data);
    EXPECT_FALSE(editor->layerCommands().paste(QApplication::clipboard()->mimeData()));
    processMainQueue();
    EXPECT_EQ(editor->templateObject()->layers().size(), count);
}

TEST_F(KOVA_TemplateEditorTest, ClosingFollowsThePolicy)
{
    struct Case {
        UnsavedChangesPolicy::Policy policy;
        bool fileWritten;
    };
    for (const Case test : {Case{UnsavedChangesPolicy::ask, false}, Case{UnsavedChangesPolicy::saveAlways, true},
                            Case{UnsavedChangesPolicy::neverSave, false}}) {
        if (!editor) {
            editor = new KOVA_TemplateEditor;
            connect();
            editor->showWindow();
            ASSERT_TRUE(waitUntil([&] { return editor->templates().size() == 3; }));
        }
        defaults()->setInteger(test.policy, UnsavedChangesPolicy::preferenceKey);
        open(Postcard);
        const QByteArray before = kova::test::readFile(pathOfRow(Postcard));
        edit();
        bool closed = false;
        editor->setClosedHandler([&] { closed = true; });
        waitForRenders();
        editor->close();
        if (test.policy == UnsavedChangesPolicy::ask)
            answerSheet(UnsavedChangesPolicy::dontSave);
        EXPECT_TRUE(closed) << test.policy;
        EXPECT_FALSE(defaults()->boolForKey(KOVA_TemplateEditor::visibilityKey));
        EXPECT_EQ(kova::test::readFile(templatePath(QStringLiteral("Postcard.xml"))) != before, test.fileWritten);
        waitUntilDeleted();
    }
}

TEST_F(KOVA_TemplateEditorTest, QuitWithEditsAsksAndCancelKeepsRunning)
{
    open(Postcard);
    edit();
    std::optional<bool> proceed;
    editor->confirmQuit([&](bool answer) { proceed = answer; });
    answerSheet(UnsavedChangesPolicy::cancel);
    ASSERT_TRUE(proceed.has_value());
    EXPECT_FALSE(*proceed);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_TRUE(defaults()->boolForKey(KOVA_TemplateEditor::visibilityKey));

    editor->confirmQuit([&](bool answer) { proceed = answer; });
    answerSheet(UnsavedChangesPolicy::dontSave);
    EXPECT_TRUE(*proceed);
    EXPECT_TRUE(defaults()->boolForKey(KOVA_TemplateEditor::visibilityKey));
}

// The next start shows the dividers, columns, place and size of the window that was
// open at the quit; a place saved off the screen comes back inside it.
TEST_F(KOVA_TemplateEditorTest, TheArrangementSurvivesAQuitAndAStart)
{
    const QRect available = editor->screen()->availableGeometry();
    const QRect geometry(available.topLeft() + QPoint(40, 60), QSize(700, 480));
    editor->setGeometry(geometry);
    processMainQueue();
    editor->layout().mainSplitter->setSizes({120, 330, 232});
    editor->layout().layersSplitter->setSizes({150, 290});
    editor->layout().templatesTable->horizontalHeader()->resizeSection(0, 90);
    const auto arrangement = [&] {
        const TemplateEditorLayout& layout = editor->layout();
        return std::tuple(editor->geometry(), layout.mainSplitter->sizes(), layout.layersSplitter->sizes(),
                          layout.templatesTable->horizontalHeader()->sectionSize(0));
    };
    const auto before = arrangement();
    EXPECT_EQ(std::get<0>(before), geometry);
    bool proceed = false;
    editor->confirmQuit([&](bool answer) { proceed = answer; });
    ASSERT_TRUE(proceed);
    restart();
    EXPECT_EQ(arrangement(), before);

    defaults()->setObject(QStringLiteral("{{40, %1}, {700, 480}}").arg(available.bottom() - 100),
                          TemplateEditorLayout::windowFrameKey);
    restart();
    EXPECT_TRUE(available.contains(editor->frameGeometry())) << editor->frameGeometry().y();
    EXPECT_EQ(editor->size(), geometry.size());
}

TEST_F(KOVA_TemplateEditorTest, RevealOfNoFileBeeps)
{
    QAction noFiles;
    noFiles.setData(QVariant::fromValue(QList<QUrl>{QUrl(QStringLiteral("https://example.com/a.xml"))}));
    editor->revealInFileManager(&noFiles);
    editor->moveToTrash(&noFiles);
    EXPECT_EQ(beeps, 2);
    QMenu* menu = editor->tableContextMenu(editor->layout().templatesTable,
                                           editor->layout().templatesTable->visualRect(editor->lists().templates().index(Postcard, 0)).center());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->actions().first()->text(), QStringLiteral("Reveal \"Postcard\" in File Manager …"));
    EXPECT_EQ(menu->actions().last()->text(), QStringLiteral("Move \"Postcard\" to the Trash …"));
    delete menu;
}

// Delete and Backspace delete the selected layers from anywhere in the window, except
// that a focused text field keeps them for its text.
TEST_F(KOVA_TemplateEditorTest, BackspaceDeletesLayersUnlessATextFieldHasTheFocus)
{
    open(Postcard);
    const qsizetype count = editor->templateObject()->layers().size();
    editor->layout().layersTable->selectRow(0);
    ASSERT_TRUE(waitUntil([&] { return editor->actions().deleteLayers.isEnabled(); }));
    QApplication::setActiveWindow(editor);
    QLineEdit* search = editor->layout().packagesSearchField;
    search->setFocus();
    search->setText(QStringLiteral("abcd"));
    QTest::keyClick(search, Qt::Key_Backspace);
    EXPECT_EQ(search->text(), QStringLiteral("abc"));
    processMainQueue();
    EXPECT_EQ(editor->templateObject()->layers().size(), count);

    editor->layout().layersTable->setFocus();
    QTest::keyClick(editor->layout().layersTable, Qt::Key_Backspace);
    EXPECT_TRUE(waitUntil([&] { return editor->layerModel().rowCount() == count - 1; }));
}

TEST_F(KOVA_TemplateEditorTest, OnlyTheSidebarCollapsesAndADoubleClickOnItsDividerDoesIt)
{
    QSplitter* main = editor->layout().mainSplitter;
    EXPECT_EQ(main->objectName(), QStringLiteral("com.morvanta.kova.templateEditor.splitview.main"));
    EXPECT_TRUE(main->isCollapsible(0));
    EXPECT_FALSE(main->isCollapsible(1));
    EXPECT_FALSE(main->isCollapsible(2));
    ASSERT_GT(main->sizes().first(), 0);
    QTest::mouseDClick(main->handle(1), Qt::LeftButton);
    EXPECT_EQ(main->sizes().first(), 0);
}

// A picture of the editor with the example postcard, without and with a selection.
// The panels sit in the slot below the layers table and show what the canvas selects;
// an edit made in them is the open template's, undone by its undo manager.
TEST_F(KOVA_TemplateEditorTest, TheInspectorFollowsTheSelectionAndEditsTheOpenTemplate)
{
    using Key = KOVA_LayerInspector::Key;
    open(Postcard);
    auto* panels = qobject_cast<KOVA_LayerViewController*>(editor->layout().inspectorSlot);
    ASSERT_TRUE(panels);
    KOVA_LayerInspector& inspector = editor->inspector();
    EXPECT_EQ(inspector.value(Key::canvasWidth), 600.0);
    EXPECT_EQ(panels->identifierForRow(0), QStringLiteral("empty"));

    const Pointer text = editor->templateObject()->layers().at(3);
    editor->canvasEdits().registerUndoSelectLayers({text}, false, QString(), {});
    ASSERT_TRUE(waitUntil([&] { return inspector.layer() == text; }));
    EXPECT_EQ(panels->identifierForRow(0), QStringLiteral("textbox"));

    inspector.setValue(Key::stringValue, QStringLiteral("Wish you were here"));
    EXPECT_EQ(text->stringValue(), QStringLiteral("Wish you were here"));
    processMainQueue();
    editor->undo()->undo();
    EXPECT_EQ(inspector.value(Key::stringValue), text->stringValue());
    EXPECT_NE(text->stringValue(), QStringLiteral("Wish you were here"));

    // Text typed and not yet entered is saved with the template.
    panels->textboxCellView()->textField()->setPlainText(QStringLiteral("Typed, not entered"));
    EXPECT_NE(text->stringValue(), QStringLiteral("Typed, not entered"));
    editor->saveDocument();
    EXPECT_EQ(text->stringValue(), QStringLiteral("Typed, not entered"));
    ASSERT_TRUE(waitUntil([&] { return !editor->templateObject()->hasUnsavedChanges(); }));

    editor->canvasEdits().registerUndoSelectLayers({}, false, QString(), {});
    ASSERT_TRUE(waitUntil([&] { return inspector.layer() == nullptr; }));
}

// With a text layer selected, at the editor's default and smallest sizes, every control
// the inspector shows lies across inside the table's viewport (none past its right edge,
// none under its vertical scroll bar) and down inside its panel's row, which the table
// scrolls to; the text field wraps its lines inside what shows of it. A collapsed panel
// shows its switch. The picture at the default size shows the text and the right edges
// of the font rows' fields.
TEST_F(KOVA_TemplateEditorTest, EveryInspectorControlIsInsideTheVisibleAreaAtTheDefaultAndSmallestSizes)
{
    open(Postcard);
    const Pointer text = editor->templateObject()->layers().at(3);
    editor->canvasEdits().registerUndoSelectLayers({text}, false, QString(), {});
    ASSERT_TRUE(waitUntil([&] { return editor->inspector().layer() == text; }));
    editor->inspector().setValue(KOVA_LayerInspector::Key::stringValue,
                                 QStringLiteral("Greetings from the harbour, where the boats come in every "
                                                "morning and the gulls wait on every post"));
    auto* panels = qobject_cast<KOVA_LayerViewController*>(editor->layout().inspectorSlot);
    ASSERT_TRUE(panels);
    QTableWidget* table = panels->tableView();
    const QSize smallest = editor->minimumSize();
    ASSERT_FALSE(smallest.isEmpty());
    const std::pair<const char*, QSize> sizes[] = {{"default", KOVA_TemplateEditor::defaultSize},
                                                   {"smallest", smallest}};
    for (const auto& [name, size] : sizes) {
        SCOPED_TRACE(name);
        editor->resize(size);
        ASSERT_EQ(editor->size(), size);
        // The text panel measures its wrapped text again for its new width.
        ASSERT_TRUE(waitUntil([&] { return table->rowHeight(0) == panels->viewForRow(0)->height(); }));
        const QRect viewport = table->viewport()->rect();
        if (const QScrollBar* bar = table->verticalScrollBar(); bar->isVisible())
            EXPECT_FALSE(table->viewport()->geometry().intersects(
                QRect(bar->mapTo(table, QPoint()), bar->size())));
        for (int row = 0; row < table->rowCount(); ++row) {
            const QString panel = panels->identifierForRow(row);
            QWidget* holder = table->cellWidget(row, 0);
            const bool collapsed = table->rowHeight(row) == int(KOVA_LayerViewController::collapsedRowHeight);
            for (QWidget* control : panels->viewForRow(row)->findChildren<QWidget*>()) {
                if (!control->isVisibleTo(holder) || (collapsed && !control->objectName().endsWith(u"Enabled")))
                    continue;
                const QString what = panel + QLatin1Char(' ') + control->metaObject()->className();
                const QRect across(control->mapTo(table->viewport(), QPoint()), control->size());
                EXPECT_GE(across.left(), viewport.left()) << what.toStdString();
                EXPECT_LE(across.right(), viewport.right()) << what.toStdString() << " " << across.right();
                const QRect down(control->mapTo(holder, QPoint()), control->size());
                EXPECT_TRUE(holder->rect().contains(down)) << what.toStdString();
            }
        }
        InspectorTextField* field = panels->textboxCellView()->textField();
        EXPECT_EQ(field->horizontalScrollBar()->maximum(), 0);
        EXPECT_LE(field->document()->size().width(), field->viewport()->width());

        if (size != KOVA_TemplateEditor::defaultSize)
            continue;
        QDir().mkpath(QStringLiteral(KOVA_SCREENSHOT_FOLDER));
        const QImage grab = panels->grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_TRUE(grab.save(QStringLiteral(KOVA_SCREENSHOT_FOLDER "/editor-inspector-text-layer.png")));
        const qreal ratio = grab.devicePixelRatio();
        const QRect shownField(field->viewport()->mapTo(panels, QPoint()), field->viewport()->size());
        int ink = 0;
        for (int y = shownField.top(); y <= shownField.bottom(); ++y)
            for (int x = shownField.left(); x <= shownField.right(); ++x)
                ink += qGray(grab.pixel(QPoint(x, y) * ratio)) < 100 ? 1 : 0;
        EXPECT_GT(ink, 100) << "the text is drawn";
        const QColor background = grab.pixelColor(QPoint(panels->width() - 2, 2) * ratio);
        QWidget* fontRows = panels->viewForRow(0);
        for (QWidget* field : fontRows->findChildren<QWidget*>()) {
            if (!qobject_cast<QComboBox*>(field) && !qobject_cast<QAbstractSpinBox*>(field))
                continue;
            const QRect shown(field->mapTo(panels, QPoint()), field->size());
            const QPoint edge(shown.right(), shown.center().y());
            ASSERT_TRUE(grab.rect().contains(edge * ratio));
            EXPECT_FALSE(kova::test::near(grab.pixelColor(edge * ratio), background, 12))
                << field->metaObject()->className() << " its right edge is drawn";
        }
    }
}

// A file that gives no template is listed, but choosing it says why it cannot be opened
// and opens no empty canvas that a save would write over it: the open template stays.
TEST_F(KOVA_TemplateEditorTest, AnUnreadableTemplateSaysWhyAndIsNeitherOpenedNorWritten)
{
    open(Postcard);
    edit();
    const QString unreadable = templatePath(QStringLiteral("Unreadable.xml"));
    const QByteArray garbage("\x89PNG\r\n\x1a\n <<&&>> no template here");
    ASSERT_TRUE(kova::test::writeFile(unreadable, garbage));
    ASSERT_TRUE(waitUntil([&] { return editor->templates().size() == 4; }));
    const int row = editor->lists().templates().rowForPath(unreadable);
    editor->layout().templatesTable->selectRow(row);
    QMessageBox* alert = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (alert = shownAlert()); }));
    EXPECT_EQ(alert->text(), QStringLiteral("The template \"Unreadable\" cannot be opened."));
    EXPECT_FALSE(alert->informativeText().isEmpty());
    EXPECT_EQ(editor->saveSheet(), nullptr);
    EXPECT_EQ(editor->templateObject()->documentURL().toLocalFile(), pathOfRow(Postcard));
    EXPECT_EQ(editor->layout().templatesTable->selectionModel()->selectedRows().first().row(), Postcard);
    alert->buttons().first()->click();
    processMainQueue();
    editor->saveDocument();
    EXPECT_FALSE(editor->isWindowModified());
    EXPECT_EQ(kova::test::readFile(unreadable), garbage);
}

// A template file with the damage the repairing read mends opens and can be edited, and
// the window says that it was repaired and that a save writes the repaired form over it;
// a file that reads strictly opens without a word.
TEST_F(KOVA_TemplateEditorTest, ARepairedTemplateOpensSayingASaveWritesTheRepairedForm)
{
    const auto templateWith = [](const char* layer) {
        return QByteArray("<data type=\"KOVA_Template\" version=\"1.0\"><layout size=\"{600, 400}\">"
                          "<layer type=\"textbox\" frame=\"{{10, 10}, {200, 100}}\" zindex=\"100\">")
            + layer + "</layout></data>";
    };
    const struct {
        const char* name;
        QByteArray text;
    } faults[] = {
        {"Unclosed", templateWith("<string>Left open</string>")},
        {"Ampersand", templateWith("<string>Smith & Sons</string></layer>")},
        {"Mistyped", templateWith("<string>Typo</strnig></layer>")},
    };
    qsizetype listed = editor->templates().size();
    for (const auto& fault : faults) {
        const QString name = QString::fromLatin1(fault.name);
        const QString path = templatePath(name + QStringLiteral(".xml"));
        ASSERT_TRUE(kova::test::writeFile(path, fault.text));
        ASSERT_TRUE(waitUntil([&] { return editor->templates().size() == listed + 1; })) << fault.name;
        ++listed;
        testing::internal::CaptureStderr();
        editor->layout().templatesTable->selectRow(editor->lists().templates().rowForPath(path));
        QMessageBox* alert = nullptr;
        ASSERT_TRUE(waitUntil([&] { return (alert = shownAlert()); })) << fault.name;
        const std::string log = testing::internal::GetCapturedStderr();
        ASSERT_EQ(editor->templateObject()->documentURL().toLocalFile(), path);
        EXPECT_EQ(alert->text(), QStringLiteral("The template \"%1\" was repaired on reading.").arg(name));
        EXPECT_TRUE(alert->informativeText().contains(path)) << alert->informativeText().toStdString();
        EXPECT_TRUE(alert->informativeText().contains(QStringLiteral("writes the repaired form")));
        EXPECT_NE(log.find(QStringLiteral("opened %1 repaired on reading: ").arg(path).toStdString()), std::string::npos)
            << log;
        alert->buttons().first()->click();
        processMainQueue();
        edit();
        editor->saveDocument();
        EXPECT_FALSE(editor->isWindowModified()) << fault.name;
        EXPECT_TRUE(platform::XmlDocument::parse(kova::test::readFile(path), platform::XmlDocument::PreserveAll))
            << fault.name;
    }
    // Once saved, neither a strict file nor the saved one is said to be repaired.
    const auto rowOf = [&](const char* file) { return int(editor->lists().templates().rowForPath(templatePath(QString::fromLatin1(file)))); };
    open(rowOf("Postcard.xml"));
    processMainQueue();
    EXPECT_EQ(shownAlert(), nullptr);
    open(rowOf("Mistyped.xml"));
    processMainQueue();
    EXPECT_EQ(shownAlert(), nullptr);
}

// The editor after an edit is saved and the editor opened anew: the postcard read back
// shows its white page and the photo where it was moved (10 to the right, its dark border
// now at x 30 to 36, the page left of it).
TEST_F(KOVA_TemplateEditorTest, ScreenshotAfterASaveAndReopen)
{
    editor->resize(1100, 700);
    open(Postcard);
    edit();
    editor->saveDocument();
    ASSERT_FALSE(editor->isWindowModified());
    waitForRenders();
    editor->setClosedHandler({});
    editor->closeTemplateEditor();
    waitUntilDeleted();
    editor = new KOVA_TemplateEditor;
    editor->resize(1100, 700);
    editor->showWindow();
    ASSERT_TRUE(waitUntil([&] { return editor->templateObject() && !editor->canvas().imagePreview().isNull()
                                       && !editor->canvas().isRenderingPreview(); }));
    EXPECT_EQ(editor->templateObject()->documentURL().toLocalFile(), templatePath(QStringLiteral("Postcard.xml")));
    QDir().mkpath(QStringLiteral(KOVA_SCREENSHOT_FOLDER));
    EXPECT_TRUE(editor->grab().toImage().save(QStringLiteral(KOVA_SCREENSHOT_FOLDER "/editor-postcard-reopened.png")));
    const QImage canvas = editor->canvas().grab().toImage();
    const auto at = [&](double x, double y) {
        const QPointF point = editor->canvas().translateTemplate() + QPointF(x, y) / editor->canvas().scaleTemplate();
        return canvas.pixelColor((point * canvas.devicePixelRatio()).toPoint());
    };
    EXPECT_TRUE(kova::test::near(at(5, 5), Qt::white, 12)) << at(5, 5).name().toStdString();
    EXPECT_TRUE(kova::test::near(at(25, 100), Qt::white, 12)) << at(25, 100).name().toStdString();
    EXPECT_TRUE(kova::test::near(at(33, 100), QColor(0x20, 0x30, 0x40), 24)) << at(33, 100).name().toStdString();
}

// The example postcard before and after a layer is selected: each layer shows what the
// whole template's preview shows of it, its pictures and graphics found from the
// template's file; only the selected layer's marks differ.
TEST_F(KOVA_TemplateEditorTest, Screenshots)
{
    editor->resize(1100, 700);
    open(Postcard);
    ASSERT_TRUE(waitUntil([&] { return !editor->canvas().imagePreview().isNull() && !editor->canvas().isRenderingPreview(); }));
    QDir().mkpath(QStringLiteral(KOVA_SCREENSHOT_FOLDER));
    KOVA_TemplateEditorView& canvas = editor->canvas();
    const auto grab = [&](const QString& name) {
        EXPECT_TRUE(editor->grab().toImage().save(QStringLiteral(KOVA_SCREENSHOT_FOLDER "/editor-%1.png").arg(name)));
        return canvas.grab().toImage();
    };
    const auto inView = [&](const QRectF& rect) {
        return QRectF(canvas.translateTemplate() + rect.topLeft() / canvas.scaleTemplate(),
                      rect.size() / canvas.scaleTemplate());
    };
    const QImage whole = grab(QStringLiteral("postcard"));
    const Pointer text = editor->templateObject()->layers().at(3);
    editor->layout().layersTable->selectRow(editor->layerModel().rowCount() - 1 - 3);
    ASSERT_TRUE(waitUntil([&] {
        return editor->templateObject()->layersSelected() == KOVA_Template::List{text} &&
               !canvas.isRenderingPreview() && canvas.imagePreview().isNull();
    }));
    const QImage selected = grab(QStringLiteral("postcard-selection"));

    const QRect marks = inView(text->frame()).toAlignedRect().adjusted(-3, -3, 3, 3);
    int differing = 0;
    for (int y = 0; y < whole.height(); ++y) {
        for (int x = 0; x < whole.width(); ++x) {
            if (!marks.contains(x, y) && !kova::test::near(whole.pixelColor(x, y), selected.pixelColor(x, y), 24))
                ++differing;
        }
    }
    EXPECT_EQ(differing, 0);
    const struct {
        const char* name;
        QPointF inTemplate;
        QColor expected;
    } probes[] = {
        {"the ribbon graphic", {300, 282}, QColor(32, 96, 192)},
        {"the harbour photo's sea", {140, 170}, QColor(20, 60, 90)},
    };
    for (const auto& probe : probes) {
        const QPoint at = inView({probe.inTemplate, QSizeF()}).topLeft().toPoint();
        for (const QImage& image : {whole, selected})
            EXPECT_TRUE(kova::test::near(image.pixelColor(at), probe.expected, 40)) << probe.name;
    }
}

} // namespace

namespace {

TEST(TemplateEditorPresenterTest, ShowsOneEditorAndReleasesItWhenClosed)
{
    const auto presenter = TemplateEditorPresenter::create();
    int closedByUser = 0;
    presenter->setClosedHandler([&] { ++closedByUser; });
    bool proceed = false;
    presenter->confirmQuit([&](bool answer) { proceed = answer; });
    EXPECT_TRUE(proceed);

    QAction shared(QStringLiteral("Processor"));
    presenter->show({&shared});
    QPointer<QWidget> window = presenter->window();
    ASSERT_NE(window, nullptr);
    presenter->show({&shared});
    EXPECT_EQ(presenter->window(), window);
    EXPECT_TRUE(window->isVisible());

    // Closed by the user with nothing unsaved: released, and the application told.
    window->close();
    EXPECT_TRUE(waitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window.isNull();
    }));
    EXPECT_EQ(presenter->window(), nullptr);
    EXPECT_EQ(closedByUser, 1);

    // Closed by the application: released without telling.
    presenter->show({&shared});
    window = presenter->window();
    presenter->close();
    EXPECT_TRUE(waitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window.isNull();
    }));
    EXPECT_EQ(closedByUser, 1);
}

} // namespace
