#pragma once

#include "editor/canvas/CanvasEdit.h"
#include "editor/canvas/CanvasGeometry.h"

#include <QPointF>

// The canvas's mouse and keyboard editing as a state machine without widgets:
// presses, drags, releases and keys come in (points in widget coordinates), and
// each answers the edit the view makes. A click selects, Shift or Ctrl extending
// the selection; a drag on empty canvas draws a marquee that selects the layers
// it overlaps; a drag on a selected layer moves the selection, Escape cancelling;
// a drag on a selected layer's edge band resizes that layer; arrow keys nudge the
// selection (Alt grows it, Ctrl+Alt shrinks it, Shift makes steps of 10) and
// Delete deletes it. The model changes only through the answered edits.
class CanvasGesture {
public:
    enum class State {
        idle,
        marquee,     // the press landed on empty canvas
        movePending, // the press landed on a selected layer away from its edges
        moving,      // the pointer has left the press by the drag threshold
        resizing,    // the press landed in a selected layer's edge band
        aborting,    // the move was cancelled; the press's release ends it
    };

    // Distance (Manhattan, widget points) the pointer travels from the press before a
    // press on a selected layer becomes a move; a shorter one stays a click.
    static constexpr double dragThreshold = 3.0;
    // Arrow-key steps in template units.
    static constexpr double arrowStep = 1.0;
    static constexpr double arrowStepShift = 10.0;

    // The geometry of the view that owns both; it must outlive the gesture.
    explicit CanvasGesture(const CanvasGeometry& geometry);

    State state() const { return m_state; }
    KOVA_Template::Pointer templateLayerHit() const { return m_templateLayerHit; }
    CanvasGeometry::Edges edgesHit() const { return m_edgesHit; }

    // Without a template, or while an abort settles, a press does nothing.
    CanvasEdit mouseDown(const KOVA_Template::Pointer& tmpl, const QPointF& point, Qt::KeyboardModifiers modifiers);
    CanvasEdit mouseDragged(const KOVA_Template::Pointer& tmpl, const QPointF& point);
    CanvasEdit mouseUp(const KOVA_Template::Pointer& tmpl, const QPointF& point, Qt::KeyboardModifiers modifiers);
    // A key the canvas does not handle answers no edit.
    CanvasEdit keyDown(const KOVA_Template::Pointer& tmpl, int key, Qt::KeyboardModifiers modifiers);
    // Cancels a move: the layers go back where the model has them.
    CanvasEdit abortDrag();

    // The drag from the press to `point`, in template units.
    QPointF translationEvent(const QPointF& point) const;

private:
    static bool extendsSelection(Qt::KeyboardModifiers modifiers);
    static QRectF frameAfterArrow(const QRectF& frame, int key, Qt::KeyboardModifiers modifiers);
    // The frames the model accepts: a negative width or height would leave an undo step
    // that changes nothing.
    static QList<CanvasEdit::LayerFrame> committable(const QList<CanvasEdit::LayerFrame>& frames);

    CanvasEdit dragMarquee(const KOVA_Template::Pointer& tmpl, const QPointF& point) const;
    CanvasEdit framesOfResize(CanvasEdit::Kind kind, const QPointF& point) const;
    CanvasEdit framesOfMove(CanvasEdit::Kind kind, const KOVA_Template::Pointer& tmpl, const QPointF& point) const;
    CanvasEdit selectLayerHit(Qt::KeyboardModifiers modifiers) const;
    CanvasEdit arrowKey(const KOVA_Template::Pointer& tmpl, int key, Qt::KeyboardModifiers modifiers) const;

    const CanvasGeometry& m_geometry;
    State m_state = State::idle;
    QPointF m_pointMouseDown;
    KOVA_Template::Pointer m_templateLayerHit;
    CanvasGeometry::Edges m_edgesHit;
};
