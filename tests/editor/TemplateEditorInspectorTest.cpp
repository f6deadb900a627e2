#include "editor/window/KOVA_TemplateEditor.h"

#include "FileFixtures.h"
#include "TestEnvironment.h"
#include "core/foundation/KOVA_Constants.h"
#include "editor/canvas/KOVA_TemplateEditorView.h"
#include "editor/inspector/KOVA_LayerViewController.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/undo/UndoManager.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QTableView>

#include <gtest/gtest.h>

using kova::test::waitUntil;

namespace {

using Pointer = KOVA_Template::Pointer;
using Key = KOVA_LayerInspector::Key;

// The editor window on a folder holding the example postcard, opened.
class TemplateEditorInspectorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::copy(QStringLiteral(KOVA_EXAMPLES_DIR "/Templates/Postcard.xml"),
                                templates.path(QStringLiteral("Postcard.xml"))));
        platform::UserDefaults::standardUserDefaults()->setObject(templates.path(), key_kovaFolderTemplates);
        platform::UserDefaults::standardUserDefaults()->setObject(templates.path(), key_kovaFolderPackages);
        platform::UserDefaults::standardUserDefaults()->removeObjectForKey(KOVA_TemplateEditor::lastLoadedKey);
        editor = new KOVA_TemplateEditor;
        editor->showWindow();
        ASSERT_TRUE(waitUntil([&] { return editor->templates().size() == 1; }));
        editor->layout().templatesTable->selectRow(0);
        ASSERT_TRUE(waitUntil([&] { return editor->templateObject() != nullptr; }));
    }

    void TearDown() override
    {
        if (editor) {
            EXPECT_TRUE(waitUntil([&] { return !editor->canvas().isRenderingPreview(); }));
            editor->setClosedHandler({});
            editor->closeTemplateEditor();
        }
        EXPECT_TRUE(waitUntil([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return editor.isNull();
        }));
    }

    kova::test::ScratchFolder templates;
    QPointer<KOVA_TemplateEditor> editor;
};

} // namespace

// The panels sit in the slot below the layers table and show what the canvas selects;
// an edit made in them is the open template's, undone by its undo manager.
TEST_F(TemplateEditorInspectorTest, theInspectorFollowsTheSelectionAndEditsTheOpenTemplate)
{
    auto* panels = qobject_cast<KOVA_LayerViewController*>(editor->layout().inspectorSlot);
    ASSERT_TRUE(panels);
    KOVA_LayerInspector& inspector = editor->inspector();
    EXPECT_EQ(inspector.value(Key::canvasWidth), 600.0);
    EXPECT_EQ(panels->identifierForRow(0), QStringLiteral("empty"));

    const Pointer text = editor->templateObject()->layers().at(3);
    editor->canvas().registerUndoSelectLayers({text}, false, QString(), {});
    ASSERT_TRUE(waitUntil([&] { return inspector.layer() == text; }));
    EXPECT_EQ(panels->identifierForRow(0), QStringLiteral("textbox"));

    inspector.setValue(Key::stringValue, QStringLiteral("Wish you were here"));
    EXPECT_EQ(text->stringValue(), QStringLiteral("Wish you were here"));
    kova::test::processMainQueue();
    editor->undo()->undo();
    EXPECT_EQ(inspector.value(Key::stringValue), text->stringValue());
    EXPECT_NE(text->stringValue(), QStringLiteral("Wish you were here"));

    editor->canvas().registerUndoSelectLayers({}, false, QString(), {});
    ASSERT_TRUE(waitUntil([&] { return inspector.layer() == nullptr; }));
}
