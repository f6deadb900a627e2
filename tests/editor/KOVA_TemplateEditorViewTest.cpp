#include "editor/canvas/KOVA_TemplateEditorView.h"
#include "editor/edits/CanvasViewEdits.h"

#include "../core/ImageTestPictures.h"
#include "FileFixtures.h"
#include "TestEnvironment.h"
#include "platform/dispatch/DispatchClock.h"
#include "platform/undo/UndoManager.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <numbers>

using kova::test::near;
using kova::test::processMainQueue;
using kova::test::waitUntil;

namespace {

using Pointer = KOVA_Template::Pointer;
using List = KOVA_Template::List;

// A 1800 x 1200 template in a 400 x 300 canvas: 5 template units per widget point, the
// template's top left at (20, 30). Three picture layers: red at the top left, green in
// the middle at (200, 90) to (260, 150), blue turned 45 degrees about its centre.
class KOVA_TemplateEditorViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tmpl = KOVA_Template::init();
        tmpl->setFrame({0, 0, 1800, 1200});
        topLeft = addPicture({0, 0, 300, 200}, kova::test::red);
        middle = addPicture({900, 300, 300, 300}, kova::test::green);
        rotated = addPicture({1200, 700, 300, 200}, kova::test::blue);
        rotated->setRotation(std::numbers::pi / 4);
        tmpl->selectLayers({}, false);
        view.resize(400, 300);
        edits.setUndoManager(undo);
        edits.setTemplateObject(tmpl);
        view.show();
        ASSERT_TRUE(waitUntil([&] { return !view.imagePreview().isNull(); }));
    }

    // No render outlives the test (nor its pictures).
    void TearDown() override { EXPECT_TRUE(waitUntil([&] { return !view.isRenderingPreview(); })); }

    Pointer addPicture(const QRectF& frame, const QColor& color)
    {
        const QString path = scratch.path(color.name().mid(1) + QStringLiteral(".png"));
        EXPECT_TRUE(kova::test::writeFile(path, kova::test::encoded(kova::test::solid(8, 8, color), "PNG")));
        const Pointer layer = KOVA_Template::initForCopy();
        layer->setLayerType(KOVA_Template::layerTypeImage);
        layer->setGravity(QStringLiteral("resize"));
        layer->setGraphicPath(path);
        layer->setFrame(frame);
        tmpl->addLayer(layer);
        return layer;
    }

    void select(const List& layers)
    {
        tmpl->selectLayers(layers, false);
        view.updatePreview({});
        undo->removeAllActions();
    }

    void mouse(QEvent::Type type, const QPointF& at, Qt::KeyboardModifiers modifiers = {})
    {
        const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, view.mapToGlobal(at), Qt::LeftButton, buttons, modifiers);
        QApplication::sendEvent(&view, &event);
        processMainQueue();
    }

    void drag(const QPointF& from, const QPointF& to, Qt::KeyboardModifiers modifiers = {})
    {
        for (const auto& [type, at] : {std::pair(QEvent::MouseButtonPress, from), {QEvent::MouseMove, (from + to) / 2},
                                       {QEvent::MouseMove, to}, {QEvent::MouseButtonRelease, to}})
            mouse(type, at, modifiers);
    }

    void key(int code, Qt::KeyboardModifiers modifiers = {})
    {
        QKeyEvent event(QEvent::KeyPress, code, modifiers);
        QApplication::sendEvent(&view, &event);
        processMainQueue();
    }

    kova::test::ScratchFolder scratch;
    std::shared_ptr<platform::UndoManager> undo = std::make_shared<platform::UndoManager>();
    Pointer tmpl, topLeft, middle, rotated;
    KOVA_TemplateEditorView view;
    CanvasViewEdits edits{view};
};

} // namespace

TEST_F(KOVA_TemplateEditorViewTest, DraggingSelectedLayersMovesThemInOneStepUnlessEscaped)
{
    select({topLeft, middle});
    drag({50, 50}, {60, 50});
    EXPECT_EQ(topLeft->frame(), QRectF(50, 0, 300, 200));
    EXPECT_EQ(middle->frame(), QRectF(950, 300, 300, 300));
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Move Layer"));
    undo->undo();
    EXPECT_EQ(topLeft->frame(), QRectF(0, 0, 300, 200));
    EXPECT_EQ(middle->frame(), QRectF(900, 300, 300, 300));
    EXPECT_FALSE(undo->canUndo());

    mouse(QEvent::MouseButtonPress, {50, 50});
    mouse(QEvent::MouseMove, {70, 60});
    key(Qt::Key_Escape);
    mouse(QEvent::MouseButtonRelease, {70, 60});
    EXPECT_EQ(topLeft->frame(), QRectF(0, 0, 300, 200));
    EXPECT_EQ(view.scene().itemForLayer(topLeft.get())->frame, topLeft->frame());
    EXPECT_FALSE(undo->canUndo());
}

// The resized layer renders at its live frame while the drag goes on.
TEST_F(KOVA_TemplateEditorViewTest, DraggingAnEdgeResizesOnReleaseUnlessTheSizeTurnsNegative)
{
    const struct {
        const char* name;
        double toX;
        QRectF expected;
    } rows[] = {
        {"right edge outward", 267, {900, 300, 350, 300}},
        {"right edge past the left", 187, {900, 300, 300, 300}},
    };
    for (const auto& row : rows) {
        middle->setFrame({900, 300, 300, 300});
        select({middle});
        mouse(QEvent::MouseButtonPress, {257, 120});
        mouse(QEvent::MouseMove, {row.toX, 120});
        const auto item = view.scene().itemForLayer(middle.get());
        if (row.expected.width() == 350)
            EXPECT_TRUE(waitUntil([&] { return item->image.width() == 350; })) << row.name;
        mouse(QEvent::MouseButtonRelease, {row.toX, 120});
        EXPECT_EQ(middle->frame(), row.expected) << row.name;
        EXPECT_EQ(view.scene().itemForLayer(middle.get())->frame, row.expected) << row.name;
        EXPECT_EQ(undo->canUndo(), row.expected.width() == 350) << row.name;
    }
}

TEST_F(KOVA_TemplateEditorViewTest, ClicksAndMarqueesSelectAndTheSelectionIsAnnounced)
{
    const QPointF inTopLeft(40, 50), inMiddle(230, 120), inRotated(290, 190), empty(370, 40);
    const struct {
        const char* name;
        QPointF from;
        QPointF to;
        Qt::KeyboardModifiers modifiers;
        List expected;
    } rows[] = {
        {"click", inTopLeft, inTopLeft, {}, {topLeft}},
        {"shift-click extends", inMiddle, inMiddle, Qt::ShiftModifier, {topLeft, middle}},
        {"ctrl-click extends", inRotated, inRotated, Qt::ControlModifier, {topLeft, middle, rotated}},
        {"click on empty canvas clears", empty, empty, {}, {}},
        {"marquee over the top left", {10, 25}, {40, 45}, {}, {topLeft}},
        {"marquee off a rotated layer's turned corner", {259, 169}, {263, 173}, {}, {}},
        {"marquee over a rotated layer's outline", {280, 152}, {286, 160}, {}, {rotated}},
    };
    int announced = 0;
    QObject::connect(&view, &KOVA_TemplateEditorView::selectedLayersDidChange, [&] { ++announced; });
    view.kvoCustomTemplateSelection(true);
    for (const auto& row : rows) {
        const int before = announced;
        drag(row.from, row.to, row.modifiers);
        EXPECT_EQ(tmpl->layersSelected(), row.expected) << row.name;
        EXPECT_TRUE(waitUntil([&] { return announced > before; })) << row.name;
    }
}

TEST_F(KOVA_TemplateEditorViewTest, KeysNudgeResizeAndDelete)
{
    const struct {
        const char* name;
        int key;
        Qt::KeyboardModifiers modifiers;
        QRectF expected;
    } rows[] = {
        {"right by 1", Qt::Key_Right, {}, {901, 300, 1, 300}},
        {"down by 10", Qt::Key_Down, Qt::ShiftModifier, {900, 310, 1, 300}},
        {"alt grows to the left", Qt::Key_Left, Qt::AltModifier, {899, 300, 2, 300}},
        {"ctrl+alt shrinks to width 0", Qt::Key_Left, Qt::ControlModifier | Qt::AltModifier, {900, 300, 0, 300}},
    };
    for (const auto& row : rows) {
        middle->setFrame({900, 300, 1, 300});
        select({middle});
        key(row.key, row.modifiers);
        EXPECT_EQ(middle->frame(), row.expected) << row.name;
        EXPECT_EQ(undo->undoActionName(), QStringLiteral("Move Layer")) << row.name;
    }
    key(Qt::Key_Delete);
    EXPECT_EQ(tmpl->layers(), (List{topLeft, rotated}));
}

// A wider canvas with a layer selected: the layers are fitted and centred anew.
TEST_F(KOVA_TemplateEditorViewTest, ACanvasOfANewSizeIsFittedAgain)
{
    select({middle});
    edits.registerUndoTemplateSetWidth(tmpl, 2400);
    EXPECT_TRUE(waitUntil([&] { return view.translateTemplate() == QPointF(20, 60); }));
    EXPECT_DOUBLE_EQ(view.scaleTemplate(), 2400.0 / 360.0);
}

// Away from the selected layer's ants the canvas shows what the whole template's
// preview shows, a turned layer's shadow included.
TEST_F(KOVA_TemplateEditorViewTest, LayersAreDrawnWhereTheTemplatePutsThemWithAntsAroundTheSelection)
{
    rotated->setHasShadow(true);
    rotated->setShadowOffsetX(60);
    rotated->setShadowOffsetY(60);
    view.updatePreview({});
    ASSERT_TRUE(waitUntil([&] { return !view.isRenderingPreview(); }));
    const QString folder = QStringLiteral(KOVA_SCREENSHOT_FOLDER);
    QDir().mkpath(folder);
    // A clock that stands still holds the ants at the start of their run.
    platform::DispatchClock::setCurrent(std::make_shared<platform::ManualClock>());
    const QImage whole = view.grab().toImage();
    select({middle});
    const auto& items = view.scene().items();
    ASSERT_TRUE(waitUntil([&] {
        return std::all_of(items.cbegin(), items.cend(), [](const auto& item) { return !item->image.isNull(); });
    }));
    EXPECT_TRUE(view.imagePreview().isNull());
    const QImage selected = view.grab().toImage();
    platform::DispatchClock::setCurrent(nullptr);
    EXPECT_TRUE(whole.save(folder + QStringLiteral("/canvas.png")));
    EXPECT_TRUE(selected.save(folder + QStringLiteral("/canvas-selection.png")));

    for (const QImage& image : {whole, selected}) {
        EXPECT_TRUE(near(image.pixelColor(22, 32), kova::test::red));
        EXPECT_TRUE(near(image.pixelColor(70, 65), kova::test::red));
        EXPECT_FALSE(near(image.pixelColor(70, 75), kova::test::red));
    }
    int differing = 0;
    const QRect marks = QRect(200, 90, 60, 60).adjusted(-3, -3, 3, 3);
    for (int y = 0; y < whole.height(); ++y) {
        for (int x = 0; x < whole.width(); ++x)
            differing += !marks.contains(x, y) && !near(whole.pixelColor(x, y), selected.pixelColor(x, y), 24);
    }
    EXPECT_EQ(differing, 0);
    const QColor ants = view.palette().color(QPalette::Highlight);
    int dash = 0;
    while (near(selected.pixelColor(200 + dash, 90), ants))
        ++dash;
    EXPECT_NEAR(dash, 10, 1);
}
