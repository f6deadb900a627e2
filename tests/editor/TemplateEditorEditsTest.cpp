#include "editor/edits/KOVA_TemplateEditorEdits.h"

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

// The canvas without a widget: a refresh is counted and completes at once.
class FakeView : public KOVA_TemplateEditorEdits {
public:
    void updatePreview(Completion completion) override
    {
        ++previews;
        if (completion)
            completion();
    }
    int previews = 0;
};

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

struct PropertyCase {
    const char* actionName;
    std::function<void(Edits&, const Pointer& layer, const Pointer& templ)> change;
    std::function<QVariant(const KOVA_Template& layer, const KOVA_Template& templ)> read;
    QVariant changed;
};

const QList<PropertyCase>& propertyCases()
{
    using T = const KOVA_Template&;
    static const QList<PropertyCase> cases{
        {"Change Text", [](Edits& e, auto& l, auto&) { e.registerUndoLayerStringValue(l, "Text", "new"); },
         [](T l, T) { return QVariant(l.stringValue()); }, "new"},
        {"Change Stamp Type", [](Edits& e, auto& l, auto&) { e.registerUndoLayerKey(l, "Stamp Type", "date"); },
         [](T l, T) { return QVariant(l.key()); }, "date"},
        {"Text Color", [](Edits& e, auto& l, auto&) { e.registerUndoLayerTextColorCode(l, "#11223344"); },
         [](T l, T) { return QVariant(l.textColorCode()); }, "#11223344"},
        {"Text Opacity", [](Edits& e, auto& l, auto&) { e.registerUndoLayerTextOpacity(l, 0.2); },
         [](T l, T) { return QVariant(l.textOpacity()); }, 0.2},
        {"Change Graphic File", [](Edits& e, auto& l, auto&) { e.registerUndoLayerGraphicPath(l, "/g/a.png"); },
         [](T l, T) { return QVariant(l.graphicPath()); }, "/g/a.png"},
        {"Change Gravity", [](Edits& e, auto& l, auto&) { e.registerUndoLayerGravity(l, "resize"); },
         [](T l, T) { return QVariant(l.gravity()); }, "resize"},
        {"Change Font", [](Edits& e, auto& l, auto&) { e.registerUndoLayerFontName(l, "Courier"); },
         [](T l, T) { return QVariant(l.fontName()); }, "Courier"},
        {"Change Font Size", [](Edits& e, auto& l, auto&) { e.registerUndoLayerFontSize(l, "31"); },
         [](T l, T) { return QVariant(l.fontSize()); }, "31"},
        {"Change Alignment", [](Edits& e, auto& l, auto&) { e.registerUndoLayerTextAlignment(l, 3); },
         [](T l, T) { return QVariant(l.textAlignment()); }, 3u},
        {"Layer has Background", [](Edits& e, auto& l, auto&) { e.registerUndoLayerBackgroundEnabled(l, true); },
         [](T l, T) { return QVariant(l.hasBackground()); }, true},
        {"Background Color", [](Edits& e, auto& l, auto&) { e.registerUndoLayerBackgroundColorCode(l, "#102030FF"); },
         [](T l, T) { return QVariant(l.backgroundColorCode()); }, "#102030FF"},
        {"Background Opacity", [](Edits& e, auto& l, auto&) { e.registerUndoLayerBackgroundOpacity(l, 0.2); },
         [](T l, T) { return QVariant(l.backgroundOpacity()); }, 0.2},
        {"Layer has Border", [](Edits& e, auto& l, auto&) { e.registerUndoLayerBorderEnabled(l, true); },
         [](T l, T) { return QVariant(l.hasBorder()); }, true},
        {"Change Border Width", [](Edits& e, auto& l, auto&) { e.registerUndoLayerBorderWidth(l, 7); },
         [](T l, T) { return QVariant(l.borderWidth()); }, 7.0},
        {"Border Color", [](Edits& e, auto& l, auto&) { e.registerUndoLayerBorderColorCode(l, "#405060FF"); },
         [](T l, T) { return QVariant(l.borderColorCode()); }, "#405060FF"},
        {"Border Opacity", [](Edits& e, auto& l, auto&) { e.registerUndoLayerBorderOpacity(l, 0.2); },
         [](T l, T) { return QVariant(l.borderOpacity()); }, 0.2},
        {"Border Clips Content", [](Edits& e, auto& l, auto&) { e.registerUndoLayerBorderClipsContent(l, true); },
         [](T l, T) { return QVariant(l.borderClipsContent()); }, true},
        {"Layer has shadow", [](Edits& e, auto& l, auto&) { e.registerUndoLayerShadowEnabled(l, true); },
         [](T l, T) { return QVariant(l.hasShadow()); }, true},
        {"Shadow Blur", [](Edits& e, auto& l, auto&) { e.registerUndoLayerShadowBlur(l, 9); },
         [](T l, T) { return QVariant(l.shadowBlur()); }, 9.0},
        {"Shadow Color", [](Edits& e, auto& l, auto&) { e.registerUndoLayerShadowColorCode(l, "#708090FF"); },
         [](T l, T) { return QVariant(l.shadowColorCode()); }, "#708090FF"},
        {"Shadow Opacity", [](Edits& e, auto& l, auto&) { e.registerUndoLayerShadowOpacity(l, 0.2); },
         [](T l, T) { return QVariant(l.shadowOpacity()); }, 0.2},
        {"Shadow Offset", [](Edits& e, auto& l, auto&) { e.registerUndoLayerShadowOffsetX(l, 4); },
         [](T l, T) { return QVariant(l.shadowOffsetX()); }, 4.0},
        {"Shadow Offset", [](Edits& e, auto& l, auto&) { e.registerUndoLayerShadowOffsetY(l, -6); },
         [](T l, T) { return QVariant(l.shadowOffsetY()); }, -6.0},
        {"Rotation", [](Edits& e, auto& l, auto&) { e.registerUndoLayerRotation(l, 0.5); },
         [](T l, T) { return QVariant(l.rotation().value_or(0)); }, 0.5},
        {"Change Canvas Width", [](Edits& e, auto&, auto& t) { e.registerUndoTemplateSetWidth(t, 800); },
         [](T, T t) { return QVariant(t.frame()); }, QRectF(5, 7, 800, 300)},
        {"Change Canvas Height", [](Edits& e, auto&, auto& t) { e.registerUndoTemplateSetHeight(t, 90); },
         [](T, T t) { return QVariant(t.frame()); }, QRectF(5, 7, 600, 90)},
    };
    return cases;
}

TEST_F(TemplateEditorEditsTest, everyPropertyUndoesAndRedoesUnderItsName)
{
    for (const PropertyCase& property : propertyCases()) {
        SCOPED_TRACE(property.actionName);
        const Pointer layer = layers[0];
        layer->setTextColorCode("#000000FF");
        templ->setFrame(QRectF(5, 7, 600, 300));
        const QVariant old = property.read(*layer, *templ);
        const int previews = view->previews;

        property.change(*view, layer, templ);
        endTurn();
        EXPECT_EQ(property.read(*layer, *templ), property.changed);
        EXPECT_EQ(undo->undoActionName(), property.actionName);
        EXPECT_EQ(view->previews, previews + 1);

        undo->undo();
        EXPECT_EQ(property.read(*layer, *templ), old);
        EXPECT_EQ(undo->redoActionName(), property.actionName);
        undo->redo();
        EXPECT_EQ(property.read(*layer, *templ), property.changed);
        EXPECT_EQ(undo->undoActionName(), property.actionName);
        undo->undo();
        EXPECT_EQ(property.read(*layer, *templ), old);
        undo->removeAllActions();
    }
}

TEST_F(TemplateEditorEditsTest, withoutUndoManagerTheValueIsAppliedAndNothingRecorded)
{
    view->setUndoManager(nullptr);
    view->registerUndoLayerFontSize(layers[0], "40");
    EXPECT_EQ(layers[0]->fontSize(), "40");
    EXPECT_EQ(view->previews, 1);
    EXPECT_FALSE(undo->canUndo());
}

// A flag the caller sends unchanged comes back as it was, not negated.
TEST_F(TemplateEditorEditsTest, flagUndoRestoresTheValueReadBefore)
{
    view->registerUndoLayerShadowEnabled(layers[0], false);
    endTurn();
    undo->undo();
    EXPECT_FALSE(layers[0]->hasShadow());
}

TEST_F(TemplateEditorEditsTest, missingLayerOrTemplateChangesNothing)
{
    const std::function<void(Edits&)> calls[] = {
        [](Edits& e) { e.registerUndoLayerTextOpacity(nullptr, 0.5); },
        [](Edits& e) { e.registerUndoLayerKey(nullptr, "Stamp Type", "date"); },
        [](Edits& e) { e.registerUndoTemplateSetWidth(nullptr, 10); },
        [](Edits& e) { e.registerUndoMoveLayer(nullptr, QRectF(1, 2, 3, 4)); },
        [](Edits& e) { e.registerUndoAddTemplateLayer(nullptr, {}); },
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
    view->registerUndoLayerFontName(layers[0], "Courier");
    endTurn();
    view.reset();
    undo->undo();
    EXPECT_EQ(layers[0]->fontName(), "Courier");
}

// ---- Frames ----

TEST_F(TemplateEditorEditsTest, movesRoundEachComponentHalfAwayFromZero)
{
    const struct {
        QRectF to;
        QRectF rounded;
    } cases[] = {
        {{10.4, 20.5, 99.5, 50.49}, {10, 21, 100, 50}},
        {{-2.5, 0, 1, 1}, {-3, 0, 1, 1}},
        {{0.5, 0, 0.5, 1}, {1, 0, 1, 1}},
    };
    for (const auto& move : cases) {
        const QRectF before = layers[1]->frame();
        view->registerUndoMoveLayer(layers[1], move.to);
        endTurn();
        EXPECT_EQ(layers[1]->frame(), move.rounded);
        EXPECT_EQ(undo->undoActionName(), "Move Layer");
        undo->undo();
        EXPECT_EQ(layers[1]->frame(), before);
    }
}

TEST_F(TemplateEditorEditsTest, undoingAMoveRestoresAnUnroundedFrameAsItWas)
{
    layers[0]->setFrame(QRectF(10.4, 20, 30, 40));
    view->registerUndoMoveLayer(layers[0], QRectF(50, 60, 30, 40));
    endTurn();
    undo->undo();
    EXPECT_EQ(layers[0]->frame(), QRectF(10.4, 20, 30, 40));
    undo->redo();
    EXPECT_EQ(layers[0]->frame(), QRectF(50, 60, 30, 40));
}

TEST_F(TemplateEditorEditsTest, aMoveToANegativeSizeRecordsNothingAndRedraws)
{
    layers[0]->setFrame(QRectF(10, 20, 1, 40));
    bool completed = false;
    view->registerUndoMoveLayer(layers[0], QRectF(11, 20, -0.6, 40), [&] { completed = true; });
    EXPECT_FALSE(undo->canUndo());
    EXPECT_TRUE(completed);
    EXPECT_EQ(layers[0]->frame(), QRectF(10, 20, 1, 40));
}

// ---- Selection and layer list ----

TEST_F(TemplateEditorEditsTest, selectionStepsAreNamedByCount)
{
    const struct {
        List selectedBefore;
        List selecting;
        const char* name;
    } cases[] = {
        {{}, {layers[0]}, "Select Layer"},
        {{}, layers, "Select Layers"},
        {{layers[1]}, {}, "Deselect Layer"},
        {{layers[0], layers[2]}, {}, "Deselect Layers"},
    };
    for (const auto& selection : cases) {
        templ->selectLayers(selection.selectedBefore, false);
        List handed{nullptr};
        view->registerUndoSelectLayers(selection.selecting, false, {}, [&](const List& l) { handed = l; });
        endTurn();
        EXPECT_EQ(undo->undoActionName(), selection.name);
        EXPECT_EQ(templ->layersSelected(), selection.selecting);
        EXPECT_EQ(handed, selection.selecting);
        undo->undo();
        EXPECT_EQ(templ->layersSelected(), selection.selectedBefore);
        EXPECT_EQ(undo->redoActionName(), selection.name);
    }
}

TEST_F(TemplateEditorEditsTest, undoingAnExtensionRestoresTheFormerSelection)
{
    templ->selectLayer(layers[0], false);
    view->registerUndoSelectLayers({layers[1]}, true, {}, {});
    endTurn();
    EXPECT_EQ(templ->layersSelected(), (List{layers[0], layers[1]}));
    undo->undo();
    EXPECT_EQ(templ->layersSelected(), List{layers[0]});
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
