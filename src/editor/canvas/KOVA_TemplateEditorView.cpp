#include "editor/canvas/KOVA_TemplateEditorView.h"

#include "core/observation/OBKVONotificationCenter.h"
#include "core/queues/ZORVAK_Coalesce.h"
#include "core/queues/ZORVAK_Dispatch.h"
#include "editor/canvas/CanvasLayerStage.h"
#include "editor/canvas/CanvasPainter.h"
#include "editor/documents/TemplateEditorQueue.h"
#include "platform/dispatch/DispatchClock.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <algorithm>
#include <chrono>
#include <cmath>

KOVA_TemplateEditorView::KOVA_TemplateEditorView(QWidget* parent)
    : QWidget(parent)
{
    m_geometry.setInsetTemplate(defaultInsetTemplate);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    m_antsTimer.setInterval(antsFrameMilliseconds);
    connect(&m_antsTimer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

// No announcement reaches the view once it is being destroyed.
KOVA_TemplateEditorView::~KOVA_TemplateEditorView()
{
    kvoCustomTemplateSelection(false);
}

void KOVA_TemplateEditorView::setTemplateObject(const Pointer& templateObject)
{
    m_template = templateObject;
    observeSelection();
    ZORVAK_Dispatch::performAsyncOnMainQueue([view = QPointer(this)] {
        if (!view)
            return;
        view->m_scene.clear();
        // Fitted as its own size until its first preview arrives.
        view->m_geometry.setSizeImagePreview(view->templateSize());
        view->boundsDidChange();
        view->updatePreview({});
    });
}

void KOVA_TemplateEditorView::setInsetTemplate(double inset)
{
    m_geometry.setInsetTemplate(inset);
    boundsDidChange();
}

void KOVA_TemplateEditorView::setShowsLayerFrames(bool showsLayerFrames)
{
    m_showsLayerFrames = showsLayerFrames;
    drawCurrentTemplateLayers();
}

void KOVA_TemplateEditorView::boundsDidChange()
{
    m_geometry.boundsDidChange(size(), templateSize());
    update();
}

void KOVA_TemplateEditorView::setObjectsScale()
{
    m_geometry.setObjectsScale(size(), templateSize());
    update();
}

void KOVA_TemplateEditorView::drawCurrentTemplateLayers()
{
    const Pointer& tmpl = templateObject();
    if (!tmpl)
        return;
    m_scene.update(tmpl->layers(), tmpl->layersSelected(), m_showsLayerFrames);
    setObjectsScale();
    for (const Pointer& layer : tmpl->layers())
        requestLayerImage(layer);
    updateAntsTimer();
}

// The copy is taken here, on the main thread, and renders on its own queue while the
// layer itself may change.
void KOVA_TemplateEditorView::requestLayerImage(const Pointer& layer, const std::optional<QRectF>& frame)
{
    const quint64 ticket = m_scene.requestImage(layer.get());
    const std::optional<CanvasLayerStage> stage = CanvasLayerStage::make(layer, templateObject(), frame);
    if (!stage)
        return;
    ++m_previewsRendering;
    stage->stage()->getPreviewImageUnrotated(
        [view = QPointer(this), key = layer.get(), ticket, margin = stage->margin()](const QImage& image) {
            if (!view)
                return;
            --view->m_previewsRendering;
            if (view->m_scene.setImage(key, ticket, image, margin))
                view->setImagePreview({});
            view->update();
        });
}

void KOVA_TemplateEditorView::setImagePreview(const QImage& image)
{
    m_imagePreview = image;
    // Without a flattened preview the layers alone show the template, fitted as its own
    // size, which a change of the canvas size may have changed.
    m_geometry.setSizeImagePreview(image.isNull() ? templateSize() : QSizeF(image.size()));
    boundsDidChange();
}

void KOVA_TemplateEditorView::updatePreview(Completion completion)
{
    const Pointer& tmpl = templateObject();
    if (!tmpl)
        return;
    if (tmpl->layersSelected().isEmpty()) {
        showWholeTemplate(completion);
        return;
    }
    drawCurrentTemplateLayers();
    if (completion)
        ZORVAK_Dispatch::performAsyncOnMainQueue(std::move(completion));
}

// The layer items go (or, with layer frames shown, only their images) and the
// template's flattened preview is asked for; a preview that arrives after a later
// pass began is not shown.
void KOVA_TemplateEditorView::showWholeTemplate(const Completion& completion)
{
    m_showsLayerFrames ? m_scene.emptyImages() : m_scene.clear();
    updateAntsTimer();
    update();
    const quint64 generation = m_scene.generation();
    const Pointer copy = templateObject()->copy();
    if (!copy) {
        if (completion)
            ZORVAK_Dispatch::performAsyncOnMainQueue(completion);
        return;
    }
    ++m_previewsRendering;
    copy->getPreviewImage([view = QPointer(this), generation, completion](const QImage& image) {
        if (!view)
            return;
        --view->m_previewsRendering;
        if (view->m_scene.generation() == generation)
            view->setImagePreview(image);
        if (completion)
            completion();
    });
}

void KOVA_TemplateEditorView::abortDrag()
{
    const CanvasGesture::State state = m_gesture.state();
    if (state == CanvasGesture::State::movePending || state == CanvasGesture::State::moving)
        applyEdit(m_gesture.abortDrag());
}

void KOVA_TemplateEditorView::kvoCustomTemplateSelection(bool observing)
{
    m_observesSelection = observing;
    observeSelection();
}

// The selection changes on the editor's shared queue while the main queue waits for
// it: the announcement goes on to the main queue without waiting.
void KOVA_TemplateEditorView::observeSelection()
{
    if (m_selectionObservation)
        OBKVONotificationCenter::defaultCenter().removeObservation(m_selectionObservation);
    m_selectionObservation = nullptr;
    if (!m_observesSelection || !templateObject())
        return;
    m_selectionObservation = OBKVONotificationCenter::addObservationKeyPath(
        templateObject(), QStringLiteral("layersSelected"), 0, [this](const OBKVONotification&) {
            QMetaObject::invokeMethod(this, &KOVA_TemplateEditorView::selectedLayersDidChange, Qt::QueuedConnection);
        });
}

void KOVA_TemplateEditorView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (!templateObject())
        return;
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    CanvasPainter::paintPreview(painter, m_geometry.rectImagePreview(), m_imagePreview);
    CanvasPainter::paintScene(painter, m_scene,
                              {m_geometry.transformFromTemplateToView(), QRectF({}, templateSize()),
                               m_geometry.scaleTemplate(), antsProgress(), palette().color(QPalette::Highlight)});
    if (m_marquee)
        CanvasPainter::paintMarquee(painter, *m_marquee);
}

void KOVA_TemplateEditorView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    boundsDidChange();
}

void KOVA_TemplateEditorView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    applyEdit(m_gesture.mouseDown(templateObject(), event->position(), event->modifiers()));
}

void KOVA_TemplateEditorView::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        updateCursor(event->position());
        return;
    }
    const bool wasMoving = m_gesture.state() == CanvasGesture::State::moving;
    applyEdit(m_gesture.mouseDragged(templateObject(), event->position()));
    if (!wasMoving && m_gesture.state() == CanvasGesture::State::moving)
        setCursor(Qt::ClosedHandCursor);
}

void KOVA_TemplateEditorView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    applyEdit(m_gesture.mouseUp(templateObject(), event->position(), event->modifiers()));
    updateCursor(event->position());
}

void KOVA_TemplateEditorView::keyPressEvent(QKeyEvent* event)
{
    const CanvasEdit edit = m_gesture.keyDown(templateObject(), event->key(), event->modifiers());
    if (edit.kind == CanvasEdit::Kind::none)
        QWidget::keyPressEvent(event);
    else
        applyEdit(edit);
}

void KOVA_TemplateEditorView::applyEdit(const CanvasEdit& edit)
{
    using Kind = CanvasEdit::Kind;
    switch (edit.kind) {
    case Kind::none:
        break;
    case Kind::showFrames:
        showFrames(edit);
        break;
    case Kind::moveLayers:
        moveLayers(edit.frames);
        break;
    case Kind::selectLayers:
        if (m_edits)
            m_edits->registerUndoSelectLayers(edit.layers, edit.byExtendingSelection, {}, {});
        break;
    case Kind::markLayers:
        markLayers(edit.layers);
        break;
    case Kind::deleteLayers:
        if (m_edits && !edit.layers.isEmpty())
            m_edits->registerUndoDeleteLayers(edit.layers, {});
        break;
    case Kind::abortDrag:
        m_scene.restoreFrames();
        setCursor(Qt::ArrowCursor);
        break;
    }
    m_marquee = edit.marquee;
    update();
}

// A resized layer's image is rendered at its live frame once the drag pauses (while
// the frame is one the model would take).
void KOVA_TemplateEditorView::showFrames(const CanvasEdit& edit)
{
    for (const CanvasEdit::LayerFrame& frame : edit.frames)
        m_scene.showFrame(frame.layer.get(), frame.frame, edit.gravity.value_or(Qt::AlignCenter));
    if (m_gesture.state() != CanvasGesture::State::resizing || edit.frames.isEmpty())
        return;
    const CanvasEdit::LayerFrame resized = edit.frames.first();
    if (resized.frame.width() < 0 || resized.frame.height() < 0)
        return;
    const auto render = [view = QPointer(this), resized] {
        if (view && view->m_gesture.state() == CanvasGesture::State::resizing)
            view->requestLayerImage(resized.layer, resized.frame);
    };
    ZORVAK_Coalesce::runOnceForKeyAfterWaiting(QStringLiteral("mouseDragged:"), nullptr, liveResizeWait, render);
}

// A frame the model refuses leaves the shapes where the model has them.
void KOVA_TemplateEditorView::moveLayers(const QList<CanvasEdit::LayerFrame>& frames)
{
    if (m_edits)
        for (const CanvasEdit::LayerFrame& frame : frames)
            m_edits->registerUndoMoveLayer(frame.layer, frame.frame);
    m_scene.restoreFrames();
}

void KOVA_TemplateEditorView::markLayers(const List& layers)
{
    const Pointer tmpl = templateObject();
    ZORVAK_Dispatch::performSyncOnQueue(TemplateEditorQueue::sharedSynchronizedQueue(),
                                        [&] { tmpl->selectLayers(layers, false); });
    drawCurrentTemplateLayers();
}

// Bursts of moves update the cursor at their start and once they have ended.
void KOVA_TemplateEditorView::updateCursor(const QPointF& point)
{
    const auto update = [view = QPointer(this), point] {
        if (view)
            view->setCursor(view->cursorAt(point));
    };
    ZORVAK_Coalesce::runOnceForKeyBeforeAndAfter(QStringLiteral("mouseMoved:"), nullptr, cursorUpdateWait, update);
}

// A selected layer's edge band resizes, the rest of it moves.
QCursor KOVA_TemplateEditorView::cursorAt(const QPointF& point) const
{
    const Pointer& tmpl = templateObject();
    QCursor cursor(Qt::ArrowCursor);
    m_geometry.point(tmpl, point, [&](const QPointF&, const Pointer& layer, const CanvasGeometry::Edges& edges) {
        if (!edges.isEmpty())
            cursor = CanvasGeometry::resizeCursor(edges, layer->rotation());
        else if (layer && tmpl->layersSelected().contains(layer))
            cursor = QCursor(Qt::OpenHandCursor);
    });
    return cursor;
}

QSizeF KOVA_TemplateEditorView::templateSize() const
{
    return templateObject() ? templateObject()->frame().size() : QSizeF();
}

void KOVA_TemplateEditorView::updateAntsTimer()
{
    const bool antsShown = std::any_of(m_scene.items().cbegin(), m_scene.items().cend(),
                                       [](const CanvasScene::ItemPointer& item) { return item->selected; });
    antsShown ? m_antsTimer.start() : m_antsTimer.stop();
}

// The dashes run once around their pattern per second of the dispatch clock, which
// tests can hold still.
double KOVA_TemplateEditorView::antsProgress() const
{
    const std::chrono::duration<double> now = platform::DispatchClock::current()->now();
    return std::fmod(now.count(), 1.0);
}
