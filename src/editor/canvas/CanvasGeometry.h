#pragma once

#include "template/KOVA_Template.h"

#include <QCursor>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include <functional>
#include <optional>

class QPainter;

// How the template editor's canvas fits the template into the widget, converts
// between widget points and template units, finds the layer under a point and
// resizes a layer by its edges; and the resize cursors.
//
// Widget points have their origin at the top left with y growing downwards, as
// template units do, and the fitted template is centred in the widget, so a widget
// point maps to the template by subtracting the fitted rectangle's top-left
// corner (`translateTemplate`) and multiplying by `scaleTemplate`: no flip.
//
// Edges are numbered 0 left (minimum x), 1 top (minimum y), 2 right (maximum x),
// 3 bottom (maximum y). An edge list holds one edge, or two for a corner (the x
// edge first, then the y edge); an empty list means no edge.
class CanvasGeometry {
public:
    using Edges = QList<int>;
    // Receives the template point (not rotated), the layer hit or null, and its
    // edges under the point.
    using HitBlock = std::function<void(const QPointF& point, const KOVA_Template::Pointer& layer, const Edges& edges)>;
    using DrawingBlock = std::function<void(QPainter& painter)>;

    static constexpr int edgeLeft = 0;
    static constexpr int edgeTop = 1;
    static constexpr int edgeRight = 2;
    static constexpr int edgeBottom = 3;
    // Width of the band along a selected layer's edges that grabs the edge, in widget points.
    static constexpr double edgeBandPoints = 10.0;

    // Margin in widget points kept free around the template.
    double insetTemplate() const { return m_insetTemplate; }
    void setInsetTemplate(double inset) { m_insetTemplate = inset; }
    // Template units per widget point (1 / display scale).
    double scaleTemplate() const { return m_scaleTemplate; }
    // Widget point of the fitted template rectangle's top-left corner.
    QPointF translateTemplate() const { return m_translateTemplate; }
    // Pixel size of the shown whole-template preview, or the template's size when none is shown.
    QSizeF sizeImagePreview() const { return m_sizeImagePreview; }
    void setSizeImagePreview(const QSizeF& size) { m_sizeImagePreview = size; }
    // Where the whole-template preview is drawn, in widget points.
    QRectF rectImagePreview() const { return m_rectImagePreview; }

    // Fits the preview into a widget of `bounds`, then sets the scale for a template of
    // `templateSize`. A widget or preview without height keeps the last fit.
    void boundsDidChange(const QSizeF& bounds, const QSizeF& templateSize);
    // The scale that shows all of a template of `templateSize` inside the inset bounds
    // (a side of the template without length fits the available length). Bounds with no
    // room inside the inset keep the last scale.
    void setObjectsScale(const QSizeF& bounds, const QSizeF& templateSize);

    QPointF templateTranslatedFromViewPoint(const QPointF& point) const;
    // A widget rectangle in template units, with non-negative width and height.
    QRectF translateRectFromViewToTemplate(const QRectF& rect) const;
    // Maps template units to widget points (the painter's transform for the layers).
    QTransform transformFromTemplateToView() const;

    // The topmost layer of `tmpl` under the widget point, or null. Rotated layers are
    // hit by their rotated outline; a selected layer also reports the edges whose band
    // holds the point. The block, when given, is called once with the result.
    KOVA_Template::Pointer point(const KOVA_Template::Pointer& tmpl, const QPointF& viewPoint,
                                 const HitBlock& hitsLayer = {}) const;

    // The layer's frame turned by its rotation about its centre, as it shows on screen.
    static QPainterPath outlineOfLayer(const KOVA_Template::Pointer& layer);

    // The frame of `layer` after dragging `edges` by `modifiedByTranslation` (template
    // units): the opposite side stays where it is on screen, also when the layer is
    // rotated. Without one or two edges the frame moves by the translation. No minimum
    // size applies.
    static QRectF layer(const KOVA_Template::Pointer& layer, const QPointF& modifiedByTranslation,
                        const Edges& edges);
    // The side of the frame that stays while `edges` are dragged, as an alignment in
    // widget space; none for an edge above 3 or no edge.
    static std::optional<Qt::Alignment> gravityForEdges(const Edges& edges);

    // The outline of the resize cursor centred on (0, 0): a left-right double arrow for
    // one edge, a four-way arrow for two.
    static QPainterPath resizeCursorOutline(const Edges& edges);
    // The resize cursor's image (36 x 36), turned clockwise with the layer's rotation
    // (and a quarter turn more for the top and bottom edges).
    static QImage resizeCursorImage(const Edges& edges, std::optional<double> rotation);
    // The cursor made of that image, with its hot spot at the centre.
    static QCursor resizeCursor(const Edges& edges, std::optional<double> rotation);
    // A transparent square image of `size` whose painter has its origin at the centre and
    // is turned clockwise by `rotation` radians when given.
    static QImage imageOfSize(int size, std::optional<double> rotation, const DrawingBlock& drawingBlock);

private:
    static Edges edgesOfHit(const QRectF& frame, const QPointF& point, double band);
    static void drawResizeCursor(QPainter& painter, const QPainterPath& outline);

    double m_insetTemplate = 0.0;
    double m_scaleTemplate = 1.0;
    QPointF m_translateTemplate;
    QSizeF m_sizeImagePreview;
    QRectF m_rectImagePreview;
};
