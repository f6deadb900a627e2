#pragma once

#include "editor/canvas/CanvasEditing.h"
#include "editor/canvas/CanvasGeometry.h"
#include "editor/canvas/CanvasGesture.h"
#include "editor/canvas/CanvasScene.h"

#include <QCursor>
#include <QImage>
#include <QRectF>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>

class OBKVOObservation;

// The template editor's canvas. With no layer selected it shows one flattened preview
// of the whole template; with a selection, each layer's own preview (the selected ones
// outlined by marching ants) above it, and the flattened preview goes once the layers'
// images have arrived. Mouse and keys select, move, resize, nudge and delete layers;
// every committed change goes through the undoable edits the view is handed (none
// commits nothing), which also hand it the template they edit.
//
// Previews are rendered from copies taken on the main thread, so a render never reads
// a layer that an edit is changing.
class KOVA_TemplateEditorView : public QWidget {
    Q_OBJECT
public:
    using Pointer = CanvasEditing::Pointer;
    using List = CanvasEditing::List;
    using Completion = CanvasEditing::Completion;

    // Margin in widget points the editor keeps free around the template.
    static constexpr double defaultInsetTemplate = 20.0;
    static constexpr int antsFrameMilliseconds = 40;
    // Seconds a drag pauses before the resized layer renders at its live frame, and a
    // burst of mouse moves before the cursor is updated once more.
    static constexpr double liveResizeWait = 0.005;
    static constexpr double cursorUpdateWait = 0.01;

    explicit KOVA_TemplateEditorView(QWidget* parent = nullptr);
    ~KOVA_TemplateEditorView() override;

    // What the view commits its gestures through.
    void setEdits(CanvasEditing* edits) { m_edits = edits; }

    // The shown template.
    const Pointer& templateObject() const { return m_template; }
    // Stores the template, then (on the main queue) drops the layer items, fits the
    // template and refreshes the preview.
    void setTemplateObject(const Pointer& templateObject);

    double insetTemplate() const { return m_geometry.insetTemplate(); }
    void setInsetTemplate(double inset);
    double scaleTemplate() const { return m_geometry.scaleTemplate(); }
    QPointF translateTemplate() const { return m_geometry.translateTemplate(); }
    QSizeF sizeImagePreview() const { return m_geometry.sizeImagePreview(); }
    const CanvasScene& scene() const { return m_scene; }
    const QImage& imagePreview() const { return m_imagePreview; }
    // Whether a preview asked for has not come back yet.
    bool isRenderingPreview() const { return m_previewsRendering > 0; }

    // The editor's layer-outline switch: grey frames around the unselected layers.
    bool showsLayerFrames() const { return m_showsLayerFrames; }
    void setShowsLayerFrames(bool showsLayerFrames);

    // Refits the flattened preview into the widget.
    void boundsDidChange();
    // Recomputes the scale for the template.
    void setObjectsScale();
    // Rebuilds or updates the per-layer items and asks for each layer's image.
    void drawCurrentTemplateLayers();
    // Shows a flattened preview, or none for a null image.
    void setImagePreview(const QImage& image);
    // With a selection redraws the layers, else shows a new flattened preview; then
    // runs `completion` on the main queue.
    void updatePreview(Completion completion);
    // Cancels a move drag (nothing else): the layers go back to their frames, nothing
    // is committed, and the press's release does nothing.
    void abortDrag();

    // Observation of the template's selection, switched on by the editor: a selection
    // changed on any thread is announced by selectedLayersDidChange() on the main queue.
    void kvoCustomTemplateSelection(bool observing);

signals:
    void selectedLayersDidChange();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QSizeF templateSize() const;
    void showWholeTemplate(const Completion& completion);
    // Renders a copy of the layer at `frame` (its own frame when none), as the open
    // template's preview draws it, and gives the image to the layer's item.
    void requestLayerImage(const Pointer& layer, const std::optional<QRectF>& frame = {});
    void updateAntsTimer();
    double antsProgress() const;

    void applyEdit(const CanvasEdit& edit);
    void showFrames(const CanvasEdit& edit);
    void moveLayers(const QList<CanvasEdit::LayerFrame>& frames);
    // The live marquee's selection: changed directly, without undo.
    void markLayers(const List& layers);
    void updateCursor(const QPointF& point);
    void observeSelection();
    QCursor cursorAt(const QPointF& point) const;

    Pointer m_template;
    CanvasEditing* m_edits = nullptr;
    CanvasGeometry m_geometry;
    CanvasGesture m_gesture{m_geometry};
    CanvasScene m_scene;
    QImage m_imagePreview;
    std::optional<QRectF> m_marquee;
    int m_previewsRendering = 0;
    bool m_showsLayerFrames = false;
    QTimer m_antsTimer;
    bool m_observesSelection = false;
    std::shared_ptr<OBKVOObservation> m_selectionObservation;
};
