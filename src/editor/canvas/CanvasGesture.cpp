#include "editor/canvas/CanvasGesture.h"

#include <QPainterPath>

using Kind = CanvasEdit::Kind;

namespace {

CanvasEdit editOfKind(Kind kind, const KOVA_Template::List& layers = {}, bool byExtendingSelection = false)
{
    CanvasEdit edit;
    edit.kind = kind;
    edit.layers = layers;
    edit.byExtendingSelection = byExtendingSelection;
    return edit;
}

} // namespace

CanvasGesture::CanvasGesture(const CanvasGeometry& geometry)
    : m_geometry(geometry)
{
}

CanvasEdit CanvasGesture::mouseDown(const KOVA_Template::Pointer& tmpl, const QPointF& point,
                                    Qt::KeyboardModifiers modifiers)
{
    if (m_state == State::aborting || !tmpl)
        return {};
    m_pointMouseDown = point;
    m_geometry.point(tmpl, point, [this](const QPointF&, const KOVA_Template::Pointer& layer,
                                          const CanvasGeometry::Edges& edges) {
        m_templateLayerHit = layer;
        m_edgesHit = edges;
    });
    if (!m_edgesHit.isEmpty()) {
        m_state = State::resizing;
        return framesOfResize(Kind::showFrames, point);
    }
    if (!m_templateLayerHit) {
        m_state = State::marquee;
        return editOfKind(Kind::selectLayers, {}, extendsSelection(modifiers));
    }
    m_state = tmpl->layersSelected().contains(m_templateLayerHit) ? State::movePending : State::idle;
    return {};
}

CanvasEdit CanvasGesture::mouseDragged(const KOVA_Template::Pointer& tmpl, const QPointF& point)
{
    switch (m_state) {
    case State::resizing:
        return framesOfResize(Kind::showFrames, point);
    case State::movePending:
        if ((point - m_pointMouseDown).manhattanLength() < dragThreshold)
            return {};
        m_state = State::moving;
        return framesOfMove(Kind::showFrames, tmpl, point);
    case State::moving:
        return framesOfMove(Kind::showFrames, tmpl, point);
    case State::marquee:
        return dragMarquee(tmpl, point);
    default:
        return {};
    }
}

CanvasEdit CanvasGesture::mouseUp(const KOVA_Template::Pointer& tmpl, const QPointF& point,
                                  Qt::KeyboardModifiers modifiers)
{
    CanvasEdit edit;
    switch (m_state) {
    case State::resizing:
        edit = framesOfResize(Kind::moveLayers, point);
        break;
    case State::moving:
        edit = framesOfMove(Kind::moveLayers, tmpl, point);
        break;
    case State::movePending:
    case State::idle:
        edit = selectLayerHit(modifiers);
        break;
    default:
        break;
    }
    if (edit.kind == Kind::moveLayers)
        edit.frames = committable(edit.frames);
    m_state = State::idle;
    m_templateLayerHit = nullptr;
    m_edgesHit = {};
    return edit;
}

CanvasEdit CanvasGesture::keyDown(const KOVA_Template::Pointer& tmpl, int key, Qt::KeyboardModifiers modifiers)
{
    switch (key) {
    case Qt::Key_Escape:
        return m_state == State::movePending || m_state == State::moving ? abortDrag() : CanvasEdit();
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        return arrowKey(tmpl, key, modifiers);
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        return editOfKind(Kind::deleteLayers, tmpl ? tmpl->layersSelected() : KOVA_Template::List());
    default:
        return {};
    }
}

CanvasEdit CanvasGesture::abortDrag()
{
    m_state = State::aborting;
    m_templateLayerHit = nullptr;
    return editOfKind(Kind::abortDrag);
}

QPointF CanvasGesture::translationEvent(const QPointF& point) const
{
    return m_geometry.templateTranslatedFromViewPoint(point) - m_geometry.templateTranslatedFromViewPoint(m_pointMouseDown);
}

bool CanvasGesture::extendsSelection(Qt::KeyboardModifiers modifiers)
{
    return modifiers & (Qt::ShiftModifier | Qt::ControlModifier);
}

QRectF CanvasGesture::frameAfterArrow(const QRectF& frame, int key, Qt::KeyboardModifiers modifiers)
{
    // How far each side (left, top, right, bottom) moves, in steps; y grows downwards.
    // Alt grows the frame towards the arrow, Ctrl+Alt shrinks it from the arrow's side.
    struct Sides {
        double left, top, right, bottom;
    };
    static const struct {
        int key;
        Sides move, grow, shrink;
    } arrows[] = {
        {Qt::Key_Left, {-1, 0, -1, 0}, {-1, 0, 0, 0}, {0, 0, -1, 0}},
        {Qt::Key_Right, {1, 0, 1, 0}, {0, 0, 1, 0}, {1, 0, 0, 0}},
        {Qt::Key_Up, {0, -1, 0, -1}, {0, -1, 0, 0}, {0, 0, 0, -1}},
        {Qt::Key_Down, {0, 1, 0, 1}, {0, 0, 0, 1}, {0, 1, 0, 0}},
    };
    const double step = modifiers & Qt::ShiftModifier ? arrowStepShift : arrowStep;
    for (const auto& arrow : arrows) {
        if (arrow.key != key)
            continue;
        const Sides& sides = !(modifiers & Qt::AltModifier)     ? arrow.move
                             : (modifiers & Qt::ControlModifier) ? arrow.shrink
                                                                 : arrow.grow;
        return frame.adjusted(sides.left * step, sides.top * step, sides.right * step, sides.bottom * step);
    }
    return frame;
}

QList<CanvasEdit::LayerFrame> CanvasGesture::committable(const QList<CanvasEdit::LayerFrame>& frames)
{
    QList<CanvasEdit::LayerFrame> accepted;
    for (const CanvasEdit::LayerFrame& frame : frames)
        if (frame.frame.width() >= 0.0 && frame.frame.height() >= 0.0)
            accepted.append(frame);
    return accepted;
}

CanvasEdit CanvasGesture::dragMarquee(const KOVA_Template::Pointer& tmpl, const QPointF& point) const
{
    const QRectF marquee = QRectF(m_pointMouseDown, point).normalized();
    // Only the canvas shows the layers: what lies beyond it is not caught.
    const QRectF canvas(QPointF(), tmpl ? tmpl->frame().size() : QSizeF());
    const QRectF caught = m_geometry.translateRectFromViewToTemplate(marquee).intersected(canvas);
    QPainterPath marqueePath;
    marqueePath.addRect(caught);
    KOVA_Template::List overlapped;
    const KOVA_Template::List layers = tmpl && !caught.isEmpty() ? tmpl->layers() : KOVA_Template::List();
    for (const KOVA_Template::Pointer& layer : layers)
        if (marqueePath.intersects(CanvasGeometry::outlineOfLayer(layer)))
            overlapped.append(layer);
    const bool changesSelection = tmpl && overlapped != tmpl->layersSelected();
    CanvasEdit edit = editOfKind(changesSelection ? Kind::markLayers : Kind::none, overlapped);
    edit.marquee = marquee;
    return edit;
}

CanvasEdit CanvasGesture::framesOfResize(Kind kind, const QPointF& point) const
{
    const QRectF frame = CanvasGeometry::layer(m_templateLayerHit, translationEvent(point), m_edgesHit);
    CanvasEdit edit = editOfKind(kind);
    edit.frames = {{m_templateLayerHit, frame}};
    edit.gravity = CanvasGeometry::gravityForEdges(m_edgesHit);
    return edit;
}

CanvasEdit CanvasGesture::framesOfMove(Kind kind, const KOVA_Template::Pointer& tmpl, const QPointF& point) const
{
    const QPointF translation = translationEvent(point);
    CanvasEdit edit = editOfKind(kind);
    for (const KOVA_Template::Pointer& layer : tmpl ? tmpl->layersSelected() : KOVA_Template::List())
        edit.frames.append({layer, layer->frame().translated(translation)});
    return edit;
}

CanvasEdit CanvasGesture::selectLayerHit(Qt::KeyboardModifiers modifiers) const
{
    if (!m_templateLayerHit)
        return {};
    return editOfKind(Kind::selectLayers, {m_templateLayerHit}, extendsSelection(modifiers));
}

CanvasEdit CanvasGesture::arrowKey(const KOVA_Template::Pointer& tmpl, int key, Qt::KeyboardModifiers modifiers) const
{
    const KOVA_Template::List selected = tmpl ? tmpl->layersSelected() : KOVA_Template::List();
    if (selected.isEmpty())
        return {};
    CanvasEdit edit = editOfKind(Kind::moveLayers);
    for (const KOVA_Template::Pointer& layer : selected)
        edit.frames.append({layer, frameAfterArrow(layer->frame(), key, modifiers)});
    edit.frames = committable(edit.frames);
    return edit;
}
