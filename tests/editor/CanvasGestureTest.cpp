#include "editor/canvas/CanvasGesture.h"

#include "CanvasFixtures.h"

#include <gtest/gtest.h>

#include <numbers>

using namespace kova::test;
using Kind = CanvasEdit::Kind;
using State = CanvasGesture::State;

namespace {

// A 1800 x 1200 template at 5 units a point: a layer at the top left, one below it and
// a square turned by 45 degrees on the right.
struct Canvas {
    Canvas()
    {
        tmpl->setFrame(QRectF(0, 0, 1800, 1200));
        tmpl->setLayers({topLeft, bottomLeft, diamond});
    }
    CanvasEdit click(const QPointF& point, Qt::KeyboardModifiers modifiers = {})
    {
        gesture.mouseDown(tmpl, viewPoint(point.x(), point.y()), modifiers);
        return gesture.mouseUp(tmpl, viewPoint(point.x(), point.y()), modifiers);
    }

    KOVA_Template::Pointer tmpl = KOVA_Template::init();
    KOVA_Template::Pointer topLeft = layerWithFrame({100, 100, 400, 300});
    KOVA_Template::Pointer bottomLeft = layerWithFrame({100, 800, 300, 300});
    KOVA_Template::Pointer diamond = layerWithFrame({1000, 500, 400, 400}, std::numbers::pi / 4.0);
    CanvasGeometry geometry = fittedGeometry({1800, 1200});
    CanvasGesture gesture {geometry};
};

} // namespace

TEST(CanvasGesture, clicksSelectExtendingWithShiftOrCtrlAndEmptyCanvasClears)
{
    const struct {
        const char* name;
        bool selected;
        QPointF point;
        Qt::KeyboardModifiers modifiers;
        State pressState;
        bool selectsOnRelease; // the layer; a press on empty canvas selects nothing at once
        bool extends;
    } rows[] = {
        {"unselected layer", false, {300, 250}, {}, State::idle, true, false},
        {"shift extends", false, {300, 250}, Qt::ShiftModifier, State::idle, true, true},
        {"ctrl extends", false, {300, 250}, Qt::ControlModifier, State::idle, true, true},
        {"selected layer", true, {300, 250}, {}, State::movePending, true, false},
        {"empty canvas clears", true, {700, 250}, {}, State::marquee, false, false},
        {"empty canvas with shift keeps", true, {700, 250}, Qt::ShiftModifier, State::marquee, false, true},
    };
    for (const auto& row : rows) {
        Canvas canvas;
        if (row.selected)
            canvas.tmpl->selectLayer(canvas.topLeft, false);
        const QPointF point = viewPoint(row.point.x(), row.point.y());
        const CanvasEdit press = canvas.gesture.mouseDown(canvas.tmpl, point, row.modifiers);
        EXPECT_EQ(canvas.gesture.state(), row.pressState) << row.name;
        // Within the drag threshold a press on a selected layer stays a click.
        canvas.gesture.mouseDragged(canvas.tmpl, point + QPointF(1, 1));
        const CanvasEdit release = canvas.gesture.mouseUp(canvas.tmpl, point, row.modifiers);
        const CanvasEdit& select = row.selectsOnRelease ? release : press;
        EXPECT_EQ(select.kind, Kind::selectLayers) << row.name;
        EXPECT_EQ(select.layers, row.selectsOnRelease ? KOVA_Template::List {canvas.topLeft} : KOVA_Template::List())
            << row.name;
        EXPECT_EQ(select.byExtendingSelection, row.extends) << row.name;
        EXPECT_EQ(canvas.gesture.state(), State::idle) << row.name;
    }
}

TEST(CanvasGesture, dragMovesTheSelectionAndEscapeCancelsIt)
{
    Canvas canvas;
    canvas.tmpl->selectLayers({canvas.topLeft, canvas.bottomLeft}, false);
    const QList<CanvasEdit::LayerFrame> moved = {{canvas.topLeft, {150, 100, 400, 300}}, {canvas.bottomLeft, {150, 800, 300, 300}}};
    const QPointF press = viewPoint(300, 250);

    canvas.gesture.mouseDown(canvas.tmpl, press, {});
    EXPECT_EQ(canvas.gesture.mouseDragged(canvas.tmpl, press + QPointF(2, 0)).kind, Kind::none);
    const CanvasEdit live = canvas.gesture.mouseDragged(canvas.tmpl, press + QPointF(10, 0));
    EXPECT_EQ(canvas.gesture.state(), State::moving);
    EXPECT_EQ(live.kind, Kind::showFrames);
    EXPECT_EQ(live.frames, moved);
    const CanvasEdit commit = canvas.gesture.mouseUp(canvas.tmpl, press + QPointF(10, 0), {});
    EXPECT_EQ(commit.kind, Kind::moveLayers);
    EXPECT_EQ(commit.frames, moved);

    canvas.gesture.mouseDown(canvas.tmpl, press, {});
    canvas.gesture.mouseDragged(canvas.tmpl, press + QPointF(10, 0));
    EXPECT_EQ(canvas.gesture.keyDown(canvas.tmpl, Qt::Key_Escape, {}).kind, Kind::abortDrag);
    EXPECT_EQ(canvas.gesture.mouseDown(canvas.tmpl, press, {}).kind, Kind::none) << "presses are ignored while aborting";
    EXPECT_EQ(canvas.gesture.mouseDragged(canvas.tmpl, press + QPointF(20, 0)).kind, Kind::none);
    EXPECT_EQ(canvas.gesture.mouseUp(canvas.tmpl, press + QPointF(20, 0), {}).kind, Kind::none);
    EXPECT_EQ(canvas.gesture.state(), State::idle);
    EXPECT_EQ(canvas.gesture.keyDown(canvas.tmpl, Qt::Key_Escape, {}).kind, Kind::none) << "Escape without a move goes on";
}

TEST(CanvasGesture, edgeDragResizesAndANegativeSizeCommitsNothing)
{
    Canvas canvas;
    canvas.tmpl->selectLayer(canvas.topLeft, false);
    const QPointF leftEdge = viewPoint(110, 250);

    canvas.gesture.mouseDown(canvas.tmpl, leftEdge, {});
    EXPECT_EQ(canvas.gesture.state(), State::resizing);
    const CanvasEdit live = canvas.gesture.mouseDragged(canvas.tmpl, leftEdge + QPointF(-4, 0));
    EXPECT_EQ(live.kind, Kind::showFrames);
    EXPECT_EQ(live.frames, (QList<CanvasEdit::LayerFrame> {{canvas.topLeft, {80, 100, 420, 300}}}));
    EXPECT_EQ(live.gravity, Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(canvas.gesture.mouseUp(canvas.tmpl, leftEdge + QPointF(-4, 0), {}).frames, live.frames);

    canvas.gesture.mouseDown(canvas.tmpl, leftEdge, {});
    const CanvasEdit past = canvas.gesture.mouseUp(canvas.tmpl, leftEdge + QPointF(100, 0), {});
    EXPECT_EQ(past.kind, Kind::moveLayers);
    EXPECT_TRUE(past.frames.isEmpty());
}

TEST(CanvasGesture, marqueeSelectsTheLayersItsTemplateRectangleOverlaps)
{
    const struct {
        const char* name;
        QPointF from, to;
        bool marksTopLeft, marksDiamond;
    } rows[] = {
        {"top left only", {20, 20}, {150, 150}, true, false},
        {"corner of the unturned frame only", {960, 460}, {1040, 540}, false, false},
        {"turned outline", {960, 460}, {1140, 540}, false, true},
    };
    for (const auto& row : rows) {
        Canvas canvas;
        canvas.tmpl->selectLayer(canvas.bottomLeft, false);
        canvas.gesture.mouseDown(canvas.tmpl, viewPoint(row.from.x(), row.from.y()), {});
        const CanvasEdit edit = canvas.gesture.mouseDragged(canvas.tmpl, viewPoint(row.to.x(), row.to.y()));
        KOVA_Template::List marked;
        if (row.marksTopLeft)
            marked.append(canvas.topLeft);
        if (row.marksDiamond)
            marked.append(canvas.diamond);
        EXPECT_EQ(edit.kind, Kind::markLayers) << row.name;
        EXPECT_EQ(edit.layers, marked) << row.name;
        EXPECT_EQ(edit.marquee, QRectF(viewPoint(row.from.x(), row.from.y()), viewPoint(row.to.x(), row.to.y()))) << row.name;
        EXPECT_EQ(canvas.gesture.mouseUp(canvas.tmpl, viewPoint(row.to.x(), row.to.y()), {}).marquee, std::nullopt) << row.name;
    }
}

TEST(CanvasGesture, arrowKeysMoveGrowAndShrinkTheSelection)
{
    const Qt::KeyboardModifiers shrink = Qt::ControlModifier | Qt::AltModifier;
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        QRectF frame;
    } rows[] = {
        {Qt::Key_Left, {}, {99, 100, 1, 50}},
        {Qt::Key_Right, Qt::ShiftModifier, {110, 100, 1, 50}},
        {Qt::Key_Up, {}, {100, 99, 1, 50}},
        {Qt::Key_Down, {}, {100, 101, 1, 50}},
        {Qt::Key_Left, Qt::AltModifier, {99, 100, 2, 50}},
        {Qt::Key_Right, Qt::AltModifier, {100, 100, 2, 50}},
        {Qt::Key_Up, Qt::AltModifier, {100, 99, 1, 51}},
        {Qt::Key_Down, Qt::AltModifier | Qt::ShiftModifier, {100, 100, 1, 60}},
        {Qt::Key_Left, shrink, {100, 100, 0, 50}},
        {Qt::Key_Right, shrink, {101, 100, 0, 50}},
        {Qt::Key_Up, shrink, {100, 100, 1, 49}},
        {Qt::Key_Down, shrink, {100, 101, 1, 49}},
    };
    for (const auto& row : rows) {
        Canvas canvas;
        const auto layer = layerWithFrame({100, 100, 1, 50});
        canvas.tmpl->setLayers({layer});
        canvas.tmpl->selectLayer(layer, false);
        const CanvasEdit edit = canvas.gesture.keyDown(canvas.tmpl, row.key, row.modifiers);
        EXPECT_EQ(edit.kind, Kind::moveLayers) << row.key << " " << row.modifiers.toInt();
        EXPECT_EQ(edit.frames, (QList<CanvasEdit::LayerFrame> {{layer, row.frame}})) << row.key << " " << row.modifiers.toInt();
    }

    Canvas shrinking;
    const auto thin = layerWithFrame({100, 100, 1, 50});
    shrinking.tmpl->setLayers({thin});
    shrinking.tmpl->selectLayer(thin, false);
    thin->setFrame(shrinking.gesture.keyDown(shrinking.tmpl, Qt::Key_Left, shrink).frames.value(0).frame);
    EXPECT_EQ(thin->frame(), QRectF(100, 100, 0, 50));
    const CanvasEdit below = shrinking.gesture.keyDown(shrinking.tmpl, Qt::Key_Left, shrink);
    EXPECT_EQ(below.kind, Kind::moveLayers);
    EXPECT_TRUE(below.frames.isEmpty()) << "never below width 0";

    Canvas canvas;
    EXPECT_EQ(canvas.gesture.keyDown(canvas.tmpl, Qt::Key_Left, {}).kind, Kind::none) << "no selection";
    canvas.tmpl->selectLayers({canvas.topLeft, canvas.diamond}, false);
    const CanvasEdit deletion = canvas.gesture.keyDown(canvas.tmpl, Qt::Key_Delete, {});
    EXPECT_EQ(deletion.kind, Kind::deleteLayers);
    EXPECT_EQ(deletion.layers, (KOVA_Template::List {canvas.topLeft, canvas.diamond}));
    EXPECT_EQ(canvas.gesture.keyDown(canvas.tmpl, Qt::Key_Backspace, {}).kind, Kind::deleteLayers);
    EXPECT_EQ(canvas.gesture.keyDown(canvas.tmpl, Qt::Key_A, {}).kind, Kind::none);
}
