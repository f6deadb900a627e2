#include "editor/edits/KOVA_TemplateEditorEdits.h"

#include "FakeCanvas.h"
#include "TestEnvironment.h"
#include "core/image/ZORVAK_color.h"
#include "platform/undo/UndoManager.h"

#include <QTextDocumentFragment>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using Pointer = KOVA_Template::Pointer;
using List = KOVA_Template::List;
using Edits = KOVA_TemplateEditorEdits;
using Property = KOVA_TemplateProperty::ID;

using FakeView = kova::test::FakeCanvas;

class TemplateEditorEditsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        templ = KOVA_Template::init();
        for (int index = 0; index < 3; ++index)
            layers.append(templ->addLayerOfType(KOVA_Template::layerTypeTextbox));
        templ->selectLayers({}, false);
        view->setTemplateObject(templ);
        view->setUndoManager(undo);
    }

    // Ends the event-loop turn, and with it the undo step being recorded.
    static void endTurn() { kova::test::processMainQueue(); }

    Pointer templ;
    List layers;
    std::shared_ptr<platform::UndoManager> undo = std::make_shared<platform::UndoManager>();
    std::unique_ptr<FakeView> view = std::make_unique<FakeView>();
};

// Values the editor changes through operations of their own (moves, reordering, list
// changes) or never are not set through the table: no change, no step, no refresh.
TEST_F(TemplateEditorEditsTest, rowsWithoutAnActionNameAreRefused)
{
    const std::pair<Property, QVariant> refused[] = {
        {Property::frame, QRectF(1, 2, 3, 4)},
        {Property::zLevelString, "9"},
        {Property::layerType, KOVA_Template::layerTypeImage},
        {Property::layers, QVariantList{}},
    };
    for (const auto& [property, value] : refused) {
        const QString key = KOVA_TemplateProperty::withID(property).name;
        SCOPED_TRACE(key.toStdString());
        const QVariant before = layers[0]->valueForKey(key);
        view->registerUndoLayerProperty(layers[0], property, value);
        EXPECT_EQ(layers[0]->valueForKey(key), before);
    }
    EXPECT_FALSE(undo->canUndo());
    EXPECT_EQ(view->previews, 0);
}

TEST_F(TemplateEditorEditsTest, withoutUndoManagerTheValueIsAppliedAndNothingRecorded)
{
    view->setUndoManager(nullptr);
    view->registerUndoLayerProperty(layers[0], Property::fontSize, "40");
    EXPECT_EQ(layers[0]->fontSize(), "40");
    EXPECT_EQ(view->previews, 1);
    EXPECT_FALSE(undo->canUndo());
}

TEST_F(TemplateEditorEditsTest, missingLayerOrTemplateChangesNothing)
{
    const std::function<void(Edits&)> calls[] = {
        [](Edits& e) { e.registerUndoLayerProperty(nullptr, Property::textOpacity, 0.5); },
        [](Edits& e) { e.registerUndoTemplateSetWidth(nullptr, 10); },
        [](Edits& e) { e.registerUndoMoveLayer(nullptr, QRectF(1, 2, 3, 4)); },
        [this](Edits& e) { e.registerUndoDeleteLayers({layers[0]}, {}); },
        [this](Edits& e) { e.registerUndoSelectLayers({layers[0]}, false, {}, {}); },
        [](Edits& e) { e.registerUndoAddLayerOfType(KOVA_Template::layerTypeTextbox, {}); },
        [this](Edits& e) { e.registerUndoLayers(layers, {"3", "2", "1"}, {}); },
    };
    FakeView orphan;
    orphan.setUndoManager(undo);
    for (const auto& call : calls)
        call(orphan);
    EXPECT_EQ(orphan.previews, 0);
    EXPECT_FALSE(undo->canUndo());
    EXPECT_EQ(templ->layers(), layers);
}

TEST_F(TemplateEditorEditsTest, aHandlerOfAViewThatIsGoneDoesNothing)
{
    view->registerUndoLayerProperty(layers[0], Property::fontName, "Courier");
    endTurn();
    view.reset();
    undo->undo();
    EXPECT_EQ(layers[0]->fontName(), "Courier");
}

// ---- Frames ----

// New frames are rounded; undo brings back the frame as it was, also an unrounded one.
TEST_F(TemplateEditorEditsTest, movesRoundEachComponentHalfAwayFromZero)
{
    const struct {
        QRectF from, to, rounded;
    } cases[] = {
        {{0, 0, 5, 5}, {10.4, 20.5, 99.5, 50.49}, {10, 21, 100, 50}},
        {{0, 0, 5, 5}, {-2.5, 0, 1, 1}, {-3, 0, 1, 1}},
        {{0, 0, 5, 5}, {0.5, 0, 0.5, 1}, {1, 0, 1, 1}},
        {{10.4, 20, 30, 40}, {50, 60, 30, 40}, {50, 60, 30, 40}},
    };
    for (const auto& move : cases) {
        layers[1]->setFrame(move.from);
        view->registerUndoMoveLayer(layers[1], move.to);
        endTurn();
        EXPECT_EQ(layers[1]->frame(), move.rounded);
        EXPECT_EQ(undo->undoActionName(), "Move Layer");
        undo->undo();
        EXPECT_EQ(layers[1]->frame(), move.from);
        undo->redo();
        EXPECT_EQ(layers[1]->frame(), move.rounded);
    }
}

TEST_F(TemplateEditorEditsTest, aMoveToANegativeSizeOrToTheSameFrameRecordsNothingAndRedraws)
{
    layers[0]->setFrame(QRectF(10, 20, 1, 40));
    bool completed = false;
    view->registerUndoMoveLayer(layers[0], QRectF(11, 20, -0.6, 40), [&] { completed = true; });
    view->registerUndoMoveLayer(layers[0], QRectF(10.2, 20, 1, 40));
    EXPECT_FALSE(undo->canUndo());
    EXPECT_TRUE(completed);
    EXPECT_EQ(layers[0]->frame(), QRectF(10, 20, 1, 40));
}

// ---- Selection and layer list ----

// Undo replaces the selection by the former one, also after an extension.
TEST_F(TemplateEditorEditsTest, selectionStepsAreNamedByCount)
{
    const struct {
        List before, selecting;
        bool extending;
        const char* name;
        List after;
    } cases[] = {
        {{}, {layers[0]}, false, "Select Layer", {layers[0]}},
        {{}, layers, false, "Select Layers", layers},
        {{layers[1]}, {}, false, "Deselect Layer", {}},
        {{layers[0], layers[2]}, {}, false, "Deselect Layers", {}},
        {{layers[0]}, {layers[1]}, true, "Select Layer", {layers[0], layers[1]}},
    };
    for (const auto& selection : cases) {
        templ->selectLayers(selection.before, false);
        List handed{nullptr};
        view->registerUndoSelectLayers(selection.selecting, selection.extending, {}, [&](const List& l) { handed = l; });
        endTurn();
        EXPECT_EQ(undo->undoActionName(), selection.name);
        EXPECT_EQ(templ->layersSelected(), selection.after);
        EXPECT_EQ(handed, selection.selecting);
        undo->undo();
        EXPECT_EQ(templ->layersSelected(), selection.before);
        EXPECT_EQ(undo->redoActionName(), selection.name);
    }
}

// A click on empty canvas with nothing selected changes nothing and keeps what can be redone.
TEST_F(TemplateEditorEditsTest, aSelectionLeftAsItWasRecordsNoStep)
{
    view->registerUndoLayerProperty(layers[0], Property::fontName, "Courier");
    endTurn();
    undo->undo();
    view->registerUndoSelectLayers({}, false, {}, {});
    EXPECT_FALSE(undo->canUndo());
    EXPECT_EQ(undo->redoActionName(), "Change Font");
}

TEST_F(TemplateEditorEditsTest, undoingADeleteRestoresPlacesAndSelection)
{
    templ->selectLayers({layers[0], layers[2]}, false);
    List handed;
    view->registerUndoDeleteLayers({layers[0], layers[2]}, [&](const List& l) { handed = l; });
    endTurn();
    EXPECT_EQ(templ->layers(), List{layers[1]});
    EXPECT_EQ(handed, List{layers[1]});
    EXPECT_EQ(undo->undoActionName(), "Delete Layers");

    undo->undo();
    EXPECT_EQ(templ->layers(), layers);
    EXPECT_EQ(handed, layers);
    EXPECT_EQ(templ->layersSelected(), (List{layers[0], layers[2]}));
    undo->redo();
    EXPECT_EQ(templ->layers(), List{layers[1]});
    EXPECT_EQ(undo->undoActionName(), "Delete Layers");
}

TEST_F(TemplateEditorEditsTest, aTextBoxTakesPastedRichTextWithItsFirstCharacterAttributes)
{
    const auto text = QTextDocumentFragment::fromHtml(
        "<p align=\"center\"><span style=\"color:#ff0000; font-size:24pt\">Red</span> rest</p>");
    view->registerUndoAddLayerOfType(KOVA_Template::layerTypeTextbox, QVariant::fromValue(text), {});
    endTurn();
    const Pointer added = templ->layers().last();
    EXPECT_EQ(added->stringValue(), "Red rest");
    EXPECT_EQ(added->textColorCode(), ZORVAK_color::hexcodeForColor(Qt::red));
    EXPECT_EQ(added->fontSize(), "24");
    EXPECT_EQ(added->textAlignment(), KOVA_Template::textAlignmentCenter);
    EXPECT_EQ(undo->undoActionName(), "Add Layer");
    undo->undo();
    EXPECT_EQ(templ->layers(), layers);
}

TEST_F(TemplateEditorEditsTest, anImageLayerTakesNoText)
{
    view->registerUndoAddLayerOfType(KOVA_Template::layerTypeImage, QString("pasted"), {});
    ASSERT_EQ(templ->layers().size(), 4);
    EXPECT_TRUE(templ->layers().last()->isImageType());
    EXPECT_NE(templ->layers().last()->stringValue(), "pasted");
}

TEST_F(TemplateEditorEditsTest, reorderingGivesLayersPastTheZLevelsZero)
{
    const List two{layers[0], layers[1]};
    templ->setLayers(two);
    view->registerUndoLayers(two, {"300"}, {});
    endTurn();
    EXPECT_EQ(templ->layers(), (List{layers[1], layers[0]}));
    EXPECT_EQ(undo->undoActionName(), "Reorder Layers");
    undo->undo();
    EXPECT_EQ(templ->layers(), two);
}

} // namespace
