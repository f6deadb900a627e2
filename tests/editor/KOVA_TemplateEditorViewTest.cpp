#include "editor/canvas/KOVA_TemplateEditorView.h"

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
// the middle, blue turned 45 degrees about its centre (1350, 800).
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
        view.setUndoManager(undo);
        view.setTemplateObject(tmpl);
        view.show();
        ASSERT_TRUE(waitUntil([&] { return !view.imagePreview().isNull(); }));
    }

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
    }

    // Every layer item has its image and the flattened preview has gone.
    bool layersShown() const
    {
        return view.imagePreview().isNull()
            && std::all_of(view.scene().items().cbegin(), view.scene().items().cend(),
                           [](const auto& item) { return !item->image.isNull(); });
    }

    void mouse(QEvent::Type type, const QPointF& at, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, view.mapToGlobal(at), Qt::LeftButton, buttons, modifiers);
        QApplication::sendEvent(&view, &event);
    }

    void drag(const QPointF& from, const QPointF& to, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        mouse(QEvent::MouseButtonPress, from, modifiers);
        mouse(QEvent::MouseMove, (from + to) / 2, modifiers);
        mouse(QEvent::MouseMove, to, modifiers);
        mouse(QEvent::MouseButtonRelease, to, modifiers);
        processMainQueue();
    }

    void click(const QPointF& at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { drag(at, at, modifiers); }

    void key(int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent event(QEvent::KeyPress, code, modifiers);
        QApplication::sendEvent(&view, &event);
        processMainQueue();
    }

    kova::test::ScratchFolder scratch;
    std::shared_ptr<platform::UndoManager> undo = std::make_shared<platform::UndoManager>();
    Pointer tmpl;
    Pointer topLeft;
    Pointer middle;
    Pointer rotated;
    KOVA_TemplateEditorView view;
};

} // namespace

TEST_F(KOVA_TemplateEditorViewTest, DraggingSelectedLayersMovesThemInOneStep)
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
}

// The resized layer renders at its live frame while the drag goes on.
TEST_F(KOVA_TemplateEditorViewTest, DraggingAnEdgeResizesOnReleaseUnlessTheSizeTurnsNegative)
{
    const struct {
        const char* name;
        double toX;
        QRectF expected;
        bool step;
    } rows[] = {
        {"right edge outward", 267, {900, 300, 350, 300}, true},
        {"right edge past the left", 187, {900, 300, 300, 300}, false},
    };
    for (const auto& row : rows) {
        middle->setFrame({900, 300, 300, 300});
        undo->removeAllActions();
        select({middle});
        mouse(QEvent::MouseButtonPress, {257, 120});
        mouse(QEvent::MouseMove, {row.toX, 120});
        const auto item = view.scene().itemForLayer(middle.get());
        if (row.step) {
            EXPECT_TRUE(waitUntil([&] { return item->image.width() == 350; })) << row.name;
        }
        mouse(QEvent::MouseButtonRelease, {row.toX, 120});
        processMainQueue();
        EXPECT_EQ(middle->frame(), row.expected) << row.name;
        EXPECT_EQ(undo->canUndo(), row.step) << row.name;
        EXPECT_EQ(view.scene().itemForLayer(middle.get())->frame, row.expected) << row.name;
    }
}

TEST_F(KOVA_TemplateEditorViewTest, EscapeDuringAMoveCommitsNothing)
{
    select({topLeft});
    mouse(QEvent::MouseButtonPress, {50, 50});
    mouse(QEvent::MouseMove, {70, 60});
    key(Qt::Key_Escape);
    mouse(QEvent::MouseButtonRelease, {70, 60});
    processMainQueue();
    EXPECT_EQ(topLeft->frame(), QRectF(0, 0, 300, 200));
    EXPECT_FALSE(undo->canUndo());
    EXPECT_EQ(view.scene().itemForLayer(topLeft.get())->frame, topLeft->frame());
}

TEST_F(KOVA_TemplateEditorViewTest, ClicksAndMarqueesSelect)
{
    const QPointF inTopLeft(40, 50), inMiddle(230, 120), empty(370, 40);
    const struct {
        const char* name;
        QPointF from;
        QPointF to;
        Qt::KeyboardModifiers modifiers;
        List expected;
    } rows[] = {
        {"click", inTopLeft, inTopLeft, Qt::NoModifier, {topLeft}},
        {"shift-click extends", inMiddle, inMiddle, Qt::ShiftModifier, {topLeft, middle}},
        {"click on empty canvas clears", empty, empty, Qt::NoModifier, {}},
        {"click again", inTopLeft, inTopLeft, Qt::NoModifier, {topLeft}},
        {"control-click extends", inMiddle, inMiddle, Qt::ControlModifier, {topLeft, middle}},
        {"marquee over the top left", {10, 25}, {40, 45}, Qt::NoModifier, {topLeft}},
        {"marquee off a rotated layer's turned corner", {259, 169}, {263, 173}, Qt::NoModifier, {}},
        {"marquee over a rotated layer's outline", {280, 152}, {286, 160}, Qt::NoModifier, {rotated}},
    };
    for (const auto& row : rows) {
        drag(row.from, row.to, row.modifiers);
        EXPECT_EQ(tmpl->layersSelected(), row.expected) << row.name;
    }
}

TEST_F(KOVA_TemplateEditorViewTest, TheCursorFollowsWhatAPressWouldDo)
{
    select({middle});
    const struct {
        const char* name;
        QPointF at;
        Qt::CursorShape expected;
    } rows[] = {
        {"edge band of the selected layer", {257, 120}, Qt::BitmapCursor},
        {"inside the selected layer", {230, 120}, Qt::OpenHandCursor},
        {"unselected layer", {40, 50}, Qt::ArrowCursor},
    };
    for (const auto& row : rows) {
        QMouseEvent event(QEvent::MouseMove, row.at, view.mapToGlobal(row.at), Qt::NoButton, Qt::NoButton, {});
        QApplication::sendEvent(&view, &event);
        EXPECT_TRUE(waitUntil([&] { return view.cursor().shape() == row.expected; })) << row.name;
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
        {"right by 1", Qt::Key_Right, Qt::NoModifier, {901, 300, 1, 300}},
        {"down by 10", Qt::Key_Down, Qt::ShiftModifier, {900, 310, 1, 300}},
        {"up by 1", Qt::Key_Up, Qt::NoModifier, {900, 299, 1, 300}},
        {"alt grows to the left", Qt::Key_Left, Qt::AltModifier, {899, 300, 2, 300}},
        {"alt grows downward", Qt::Key_Down, Qt::AltModifier, {900, 300, 1, 301}},
        {"ctrl+alt shrinks to width 0", Qt::Key_Left, Qt::ControlModifier | Qt::AltModifier, {900, 300, 0, 300}},
        {"ctrl+alt shrinks from the right", Qt::Key_Right, Qt::ControlModifier | Qt::AltModifier, {901, 300, 0, 300}},
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

TEST_F(KOVA_TemplateEditorViewTest, LayersAreDrawnWhereTheTemplatePutsThemWithAntsAroundTheSelection)
{
    const QString folder = QStringLiteral(KOVA_SCREENSHOT_FOLDER);
    QDir().mkpath(folder);
    const auto clock = std::make_shared<platform::ManualClock>();
    platform::DispatchClock::setCurrent(clock);
    const QImage whole = view.grab().toImage();
    EXPECT_TRUE(whole.save(folder + QStringLiteral("/canvas.png")));
    select({middle});
    ASSERT_TRUE(waitUntil([&] { return layersShown(); }));
    const QImage selected = view.grab().toImage();
    EXPECT_TRUE(selected.save(folder + QStringLiteral("/canvas-selection.png")));
    platform::DispatchClock::setCurrent(nullptr);

    for (const QImage& image : {whole, selected}) {
        EXPECT_TRUE(near(image.pixelColor(22, 32), kova::test::red));
        EXPECT_TRUE(near(image.pixelColor(70, 65), kova::test::red));
        EXPECT_FALSE(near(image.pixelColor(70, 75), kova::test::red));
    }
    // The middle layer's top edge starts at (200, 90): a first dash of 10 points.
    const QColor ants = view.palette().color(QPalette::Highlight);
    int dash = 0;
    while (near(selected.pixelColor(200 + dash, 90), ants))
        ++dash;
    EXPECT_NEAR(dash, 10, 1);
}
