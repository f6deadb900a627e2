#pragma once

#include "editor/canvas/CanvasScene.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QTransform>

class QPainter;

// Draws the canvas: the flattened preview, the per-layer items of a scene with their
// grey frames and marching ants, and the selection marquee. Only chrome is drawn
// here; every image comes from the template's own previews.
class CanvasPainter {
public:
    // Ants: two view points wide, dashes of 10 and three of 6.18 view points.
    static constexpr double antsLineWidth = 2.0;
    static constexpr double antsDash = 10.0;
    static constexpr double antsGap = 6.180339887498948;
    static inline const QString antsFillCode = QStringLiteral("FFFFFF10");
    static inline const QString layerFrameCode = QStringLiteral("999999");
    static inline const QString marqueeCode = QStringLiteral("0000FF10");
    static inline const QString previewBackgroundCode = QStringLiteral("FFFFFF");

    // The scene in template units, mapped into the view by `templateToView`.
    struct SceneView {
        QTransform templateToView;
        QRectF templateRect;      // the container's bounds: items are clipped to it
        double scaleTemplate = 1; // template units per view point
        double antsProgress = 0;  // 0 to 1: how far the dashes have run in this second
        QColor antsColor;
    };

    // A white rectangle with the image fitted inside it, its aspect kept.
    static void paintPreview(QPainter& painter, const QRectF& rect, const QImage& image);
    static void paintScene(QPainter& painter, const CanvasScene& scene, const SceneView& view);
    static void paintMarquee(QPainter& painter, const QRectF& marquee);

private:
    static void paintItem(QPainter& painter, const CanvasScene::Item& item, const SceneView& view);
    static void paintAnts(QPainter& painter, const QRectF& bounds, const SceneView& view);
    static void paintLayerFrame(QPainter& painter, const QRectF& bounds, double width);
    // Where an image of `size` sits in `bounds` for a contents gravity.
    static QRectF placeImage(const QSizeF& size, const QRectF& bounds, Qt::Alignment gravity);
};
