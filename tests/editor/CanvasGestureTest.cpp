#include "editor/canvas/CanvasGesture.h"

#include "CanvasFixtures.h"

#include <gtest/gtest.h>

#include <numbers>

using namespace kova::test;
using Frames = QList<CanvasEdit::LayerFrame>;
using Kind = CanvasEdit::Kind;
using State = CanvasGesture::State;

namespace {

// A 1800 x 1200 template at 5 units a widget point: a layer at the top left, one
// below it and a square turned by 45 degrees on the right. Points in template units.
struct Canvas {
    Canvas()
    {
        tmpl->setFrame({0, 0, 1800, 1200});
        tmpl->setLayers({topLeft, bottomLeft, diamond});
    }
    CanvasEdit down(double x, double y, Qt::KeyboardModifiers modifiers = {})
    {
        return gesture.mouseDown(tmpl, viewPoint(x, y), modifiers);
    }
    CanvasEdit drag(double x, double y) { return gesture.mouseDragged(tmpl, viewPoint(x, y)); }
    CanvasEdit up(double x, double y, Qt::KeyboardModifiers modifiers = {})
    {
        return gesture.mouseUp(tmpl, viewPoint(x, y), modifiers);
    }
    CanvasEdit key(int key, Qt::KeyboardModifiers modifiers = {}) { return gesture.keyDown(tmpl, key, modifiers); }

    KOVA_Template::Pointer tmpl = KOVA_Template::init();
    KOVA_Template::Pointer topLeft = layerWithFrame({100, 100, 400, 300});
    KOVA_Template::Pointer bottomLeft = layerWithFrame({100, 800, 300, 300});
    KOVA_Template::Pointer diamond = layerWithFrame({1000, 500, 400, 400}, std::numbers::pi / 4.0);
    CanvasGeometry geometry = fittedGeometry({1800, 1200});
    CanvasGesture gesture {geometry};
};

} // namespace

TEST(CanvasGesture, clicksSelectShiftOrCtrlExtendsAndEmptyCanvasClears)
{
    const struct {
        bool selected;
        double x;
        Qt::KeyboardModifiers modifiers;
        State pressState;
        bool extends;
    } rows[] = {
        {false, 300, {}, State::idle, false},
        {false, 300, Qt::ShiftModifier, State::idle, true},
        {false, 300, Qt::ControlModifier, State::idle, true},
        {true, 300, {}, State::movePending, false}, // moved less than the drag threshold: a click
        {true, 700, {}, State::marquee, false},
        {true, 700, Qt::ShiftModifier, State::marquee, true},
    };
    for (const auto& row : rows) {
        Canvas canvas;
        if (row.selected)
            canvas.tmpl->selectLayer(canvas.topLeft, false);
        const CanvasEdit press = canvas.down(row.x, 250, row.modifiers);
        EXPECT_EQ(canvas.gesture.state(), row.pressState) << row.x << row.extends;
        canvas.drag(row.x + 2.5, 250);
        const CanvasEdit release = canvas.up(row.x, 250, row.modifiers);
        const bool onLayer = row.x < 500;
        const CanvasEdit& select = onLayer ? release : press;
        EXPECT_EQ(select.kind, Kind::selectLayers) << row.x << row.extends;
        EXPECT_EQ(select.layers, onLayer ? KOVA_Template::List {canvas.topLeft} : KOVA_Template::List()) << row.x;
        EXPECT_EQ(select.byExtendingSelection, row.extends) << row.x << row.extends;
    }
}

TEST(CanvasGesture, dragMovesTheSelectionAndEscapeCancelsIt)
{
    Canvas canvas;
    canvas.tmpl->selectLayers({canvas.topLeft, canvas.bottomLeft}, false);
    const Frames moved = {{canvas.topLeft, {150, 100, 400, 300}}, {canvas.bottomLeft, {150, 800, 300, 300}}};
    canvas.down(300, 250);
    EXPECT_EQ(canvas.drag(310, 250).kind, Kind::none) << "2 points: within the drag threshold";
    const CanvasEdit live = canvas.drag(350, 250);
    EXPECT_EQ(canvas.gesture.state(), State::moving);
    EXPECT_EQ(live.kind, Kind::showFrames);
    EXPECT_EQ(live.frames, moved);
    const CanvasEdit commit = canvas.up(350, 250);
    EXPECT_EQ(commit.kind, Kind::moveLayers);
    EXPECT_EQ(commit.frames, moved);

    canvas.down(300, 250);
    canvas.drag(350, 250);
    EXPECT_EQ(canvas.key(Qt::Key_Escape).kind, Kind::abortDrag);
    EXPECT_EQ(canvas.down(300, 250).kind, Kind::none) << "presses are ignored while aborting";
    EXPECT_EQ(canvas.drag(400, 250).kind, Kind::none);
    EXPECT_EQ(canvas.up(400, 250).kind, Kind::none);
    EXPECT_EQ(canvas.gesture.state(), State::idle);
    EXPECT_EQ(canvas.key(Qt::Key_Escape).kind, Kind::none) << "Escape without a move goes on";
}

TEST(CanvasGesture, edgeDragResizesAndANegativeSizeCommitsNothing)
{
    Canvas canvas;
    canvas.tmpl->selectLayer(canvas.topLeft, false);
    EXPECT_EQ(canvas.down(110, 250).kind, Kind::showFrames);
    EXPECT_EQ(canvas.gesture.state(), State::resizing);
    const CanvasEdit live = canvas.drag(90, 250);
    EXPECT_EQ(live.frames, (Frames {{canvas.topLeft, {80, 100, 420, 300}}}));
    EXPECT_EQ(live.gravity, Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(canvas.up(90, 250).frames, live.frames);

    canvas.down(110, 250);
    const CanvasEdit past = canvas.up(610, 250);
    EXPECT_EQ(past.kind, Kind::moveLayers);
    EXPECT_TRUE(past.frames.isEmpty());
}

TEST(CanvasGesture, marqueeSelectsTheLayersWhoseOutlineItOverlaps)
{
    const struct {
        QRectF marquee;
        bool topLeft, diamond;
        double canvasWidth;
    } rows[] = {
        {{20, 20, 130, 130}, true, false, 1800},  // the top-left corner of the template (no flip)
        {{960, 460, 80, 80}, false, false, 1800}, // a corner of the diamond's unturned frame only
        {{960, 460, 180, 80}, false, true, 1800}, // reaches the turned outline
        {{960, 460, 180, 80}, false, false, 1000}, // ... only where the canvas no longer shows it
    };
    for (const auto& row : rows) {
        Canvas canvas;
        canvas.tmpl->setFrame({0, 0, row.canvasWidth, 1200});
        canvas.tmpl->selectLayer(canvas.bottomLeft, false);
        canvas.down(row.marquee.left(), row.marquee.top());
        const CanvasEdit edit = canvas.drag(row.marquee.right(), row.marquee.bottom());
        KOVA_Template::List marked;
        if (row.topLeft)
            marked.append(canvas.topLeft);
        if (row.diamond)
            marked.append(canvas.diamond);
        EXPECT_EQ(edit.kind, Kind::markLayers) << row.marquee.width();
        EXPECT_EQ(edit.layers, marked) << row.marquee.width();
        EXPECT_EQ(edit.marquee, QRectF(viewPoint(row.marquee.left(), row.marquee.top()),
                                       viewPoint(row.marquee.right(), row.marquee.bottom())));
        EXPECT_EQ(canvas.up(row.marquee.right(), row.marquee.bottom()).marquee, std::nullopt);
    }
}

TEST(CanvasGesture, arrowsMoveGrowAndShrinkTheSelectionAndDeleteDeletesIt)
{
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier, grow = Qt::AltModifier, shrink = Qt::ControlModifier | Qt::AltModifier;
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        QRectF frame; // of a layer at (100, 100, 1, 50)
    } rows[] = {
        {Qt::Key_Left, {}, {99, 100, 1, 50}},       {Qt::Key_Right, shift, {110, 100, 1, 50}},
        {Qt::Key_Up, {}, {100, 99, 1, 50}},         {Qt::Key_Down, {}, {100, 101, 1, 50}},
        {Qt::Key_Left, grow, {99, 100, 2, 50}},     {Qt::Key_Right, grow, {100, 100, 2, 50}},
        {Qt::Key_Up, grow, {100, 99, 1, 51}},       {Qt::Key_Down, grow | shift, {100, 100, 1, 60}},
        {Qt::Key_Left, shrink, {100, 100, 0, 50}},  {Qt::Key_Right, shrink, {101, 100, 0, 50}},
        {Qt::Key_Up, shrink, {100, 100, 1, 49}},    {Qt::Key_Down, shrink, {100, 101, 1, 49}},
    };
    for (const auto& row : rows) {
        Canvas canvas;
        const auto layer = layerWithFrame({100, 100, 1, 50});
        canvas.tmpl->setLayers({layer});
        canvas.tmpl->selectLayer(layer, false);
        const CanvasEdit edit = canvas.key(row.key, row.modifiers);
        EXPECT_EQ(edit.kind, Kind::moveLayers) << row.key << " " << row.modifiers.toInt();
        EXPECT_EQ(edit.frames, (Frames {{layer, row.frame}})) << row.key << " " << row.modifiers.toInt();
        if (row.frame.width() == 0) {
            layer->setFrame(row.frame);
            EXPECT_TRUE(canvas.key(row.key, shrink).frames.isEmpty()) << "never below width 0";
        }
    }

    Canvas canvas;
    EXPECT_EQ(canvas.key(Qt::Key_Left).kind, Kind::none) << "no selection";
    canvas.tmpl->selectLayers({canvas.topLeft, canvas.diamond}, false);
    const CanvasEdit deletion = canvas.key(Qt::Key_Backspace);
    EXPECT_EQ(deletion.kind, Kind::deleteLayers);
    EXPECT_EQ(deletion.layers, (KOVA_Template::List {canvas.topLeft, canvas.diamond}));
}
