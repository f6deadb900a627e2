#include "editor/canvas/CanvasGeometry.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// The rotation by `angle` radians about `center` (clockwise on screen for a positive angle).
QTransform rotationAbout(const QPointF& center, double angle)
{
    return QTransform().translate(center.x(), center.y()).rotateRadians(angle).translate(-center.x(), -center.y());
}

// Minimum edges belong to the rectangle, maximum edges do not.
bool containsPoint(const QRectF& rect, const QPointF& point)
{
    return point.x() >= rect.left() && point.x() < rect.right() && point.y() >= rect.top() && point.y() < rect.bottom();
}

// The available length inside the inset, divided by the template's length (or 1 when
// the template has none).
double scaleForLength(double available, double templateLength)
{
    return templateLength > 0.0 ? available / templateLength : available;
}

QPainterPath closedOutline(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

} // namespace

void CanvasGeometry::boundsDidChange(const QSizeF& bounds, const QSizeF& templateSize)
{
    const double inset = m_insetTemplate;
    const double availableWidth = bounds.width() - 2.0 * inset;
    const double availableHeight = bounds.height() - 2.0 * inset;
    if (m_sizeImagePreview.height() > 0.0 && availableWidth > 0.0 && availableHeight > 0.0) {
        const double aspectPreview = m_sizeImagePreview.width() / m_sizeImagePreview.height();
        const double aspectBounds = bounds.width() / bounds.height();
        QSizeF fitted(availableWidth, availableHeight);
        if (aspectPreview > aspectBounds) {
            fitted.setHeight(availableWidth / aspectPreview);
            m_translateTemplate = QPointF(inset, (bounds.height() - fitted.height()) * 0.5);
        } else {
            fitted.setWidth(availableHeight * aspectPreview);
            m_translateTemplate = QPointF((bounds.width() - fitted.width()) * 0.5, inset);
        }
        m_rectImagePreview = QRectF(m_translateTemplate, fitted);
    }
    setObjectsScale(bounds, templateSize);
}

void CanvasGeometry::setObjectsScale(const QSizeF& bounds, const QSizeF& templateSize)
{
    const double availableWidth = bounds.width() - 2.0 * m_insetTemplate;
    const double availableHeight = bounds.height() - 2.0 * m_insetTemplate;
    if (!(availableWidth > 0.0 && availableHeight > 0.0))
        return;
    const double scale = std::min(scaleForLength(availableWidth, templateSize.width()),
                                  scaleForLength(availableHeight, templateSize.height()));
    const double scaleTemplate = 1.0 / scale;
    if (scale > 0.0 && std::isfinite(scaleTemplate))
        m_scaleTemplate = scaleTemplate;
}

QPointF CanvasGeometry::templateTranslatedFromViewPoint(const QPointF& point) const
{
    return (point - m_translateTemplate) * m_scaleTemplate;
}

QRectF CanvasGeometry::translateRectFromViewToTemplate(const QRectF& rect) const
{
    return QRectF(templateTranslatedFromViewPoint(rect.topLeft()), rect.size() * m_scaleTemplate).normalized();
}

QTransform CanvasGeometry::transformFromTemplateToView() const
{
    return QTransform::fromTranslate(m_translateTemplate.x(), m_translateTemplate.y())
        .scale(1.0 / m_scaleTemplate, 1.0 / m_scaleTemplate);
}

KOVA_Template::Pointer CanvasGeometry::point(const KOVA_Template::Pointer& tmpl, const QPointF& viewPoint,
                                             const HitBlock& hitsLayer) const
{
    const QPointF point = templateTranslatedFromViewPoint(viewPoint);
    KOVA_Template::Pointer hit;
    Edges edges;
    const KOVA_Template::List layers = tmpl ? tmpl->layers() : KOVA_Template::List();
    for (auto layer = layers.crbegin(); layer != layers.crend(); ++layer) {
        const QRectF frame = (*layer)->frame();
        const double rotation = (*layer)->rotation().value_or(0.0);
        const QPointF unrotated = rotation != 0.0 ? rotationAbout(frame.center(), -rotation).map(point) : point;
        if (!containsPoint(frame, unrotated))
            continue;
        hit = *layer;
        if (tmpl->layersSelected().contains(hit))
            edges = edgesOfHit(frame, unrotated, edgeBandPoints * m_scaleTemplate);
        break;
    }
    if (hitsLayer)
        hitsLayer(point, hit, edges);
    return hit;
}

CanvasGeometry::Edges CanvasGeometry::edgesOfHit(const QRectF& frame, const QPointF& point, double band)
{
    Edges edges;
    if (containsPoint(frame.adjusted(band, band, -band, -band), point))
        return edges;
    if (point.x() - frame.left() <= band)
        edges.append(edgeLeft);
    else if (frame.right() - point.x() <= band)
        edges.append(edgeRight);
    if (point.y() - frame.top() <= band)
        edges.append(edgeTop);
    else if (frame.bottom() - point.y() <= band)
        edges.append(edgeBottom);
    return edges;
}

QPainterPath CanvasGeometry::outlineOfLayer(const KOVA_Template::Pointer& layer)
{
    const QRectF frame = layer->frame();
    QPainterPath outline;
    outline.addPolygon(rotationAbout(frame.center(), layer->rotation().value_or(0.0)).map(QPolygonF(frame)));
    outline.closeSubpath();
    return outline;
}

QRectF CanvasGeometry::layer(const KOVA_Template::Pointer& layer, const QPointF& modifiedByTranslation,
                             const Edges& edges)
{
    QRectF frame = layer->frame();
    if (edges.isEmpty() || edges.size() > 2)
        return frame.translated(modifiedByTranslation);
    const double rotation = layer->rotation().value_or(0.0);
    const QPointF translation =
        rotation != 0.0 ? QTransform().rotateRadians(-rotation).map(modifiedByTranslation) : modifiedByTranslation;
    double dx = 0.0;
    double dy = 0.0;
    for (const int edge : edges) {
        switch (edge) {
        case edgeLeft:
            frame.setLeft(frame.left() + translation.x());
            dx = translation.x() / 2.0;
            break;
        case edgeRight:
            frame.setWidth(frame.width() + translation.x());
            dx = translation.x() / 2.0;
            break;
        case edgeTop:
            frame.setTop(frame.top() + translation.y());
            dy = translation.y() / 2.0;
            break;
        case edgeBottom:
            frame.setHeight(frame.height() + translation.y());
            dy = translation.y() / 2.0;
            break;
        }
    }
    if (rotation != 0.0) {
        // The centre moved by (dx, dy) in the layer's own axes; shifting the unrotated
        // frame so keeps the side opposite the dragged edge still on screen.
        const double sine = std::sin(rotation);
        const double cosine = std::cos(rotation);
        frame.translate(-((1.0 - cosine) * dx + sine * dy), sine * dx - (1.0 - cosine) * dy);
    }
    return frame;
}

std::optional<Qt::Alignment> CanvasGeometry::gravityForEdges(const Edges& edges)
{
    if (edges.isEmpty())
        return std::nullopt;
    const int first = edges.first();
    if (edges.size() == 1) {
        switch (first) {
        case edgeLeft:
            return Qt::AlignRight | Qt::AlignVCenter;
        case edgeTop:
            return Qt::AlignBottom | Qt::AlignHCenter;
        case edgeRight:
            return Qt::AlignLeft | Qt::AlignVCenter;
        case edgeBottom:
            return Qt::AlignTop | Qt::AlignHCenter;
        default:
            return std::nullopt;
        }
    }
    const int last = edges.last();
    switch (first) {
    case edgeLeft:
        return last == edgeBottom ? Qt::AlignTop | Qt::AlignRight : Qt::AlignBottom | Qt::AlignRight;
    case edgeTop:
        return last == edgeLeft ? Qt::AlignBottom | Qt::AlignRight : Qt::AlignBottom | Qt::AlignLeft;
    case edgeRight:
        return last == edgeBottom ? Qt::AlignTop | Qt::AlignLeft : Qt::AlignBottom | Qt::AlignLeft;
    case edgeBottom:
        return last == edgeLeft ? Qt::AlignTop | Qt::AlignRight : Qt::AlignTop | Qt::AlignLeft;
    default:
        return std::nullopt;
    }
}

QPainterPath CanvasGeometry::resizeCursorOutline(const Edges& edges)
{
    constexpr double a = 1.0;
    constexpr double b = 12.0;
    constexpr double c = 6.0;
    constexpr double d = 4.0;
    if (edges.size() == 2)
        return closedOutline({{a, a},   {a, c},   {d, c},   {0, b},   {-d, c},  {-a, c},  {-a, a},  {-c, a},
                              {-c, d},  {-b, 0},  {-c, -d}, {-c, -a}, {-a, -a}, {-a, -c}, {-d, -c}, {0, -b},
                              {d, -c},  {a, -c},  {a, -a},  {c, -a},  {c, -d},  {b, 0},   {c, d},   {c, a}});
    return closedOutline({{a, a},   {a, b},   {-a, b},  {-a, a},  {-c, a}, {-c, d}, {-b, 0}, {-c, -d}, {-c, -a},
                          {-a, -a}, {-a, -b}, {a, -b},  {a, -a},  {c, -a}, {c, -d}, {b, 0},  {c, d},   {c, a}});
}

QImage CanvasGeometry::resizeCursorImage(const Edges& edges, std::optional<double> rotation)
{
    const QPainterPath outline = resizeCursorOutline(edges);
    const bool isVerticalEdge = edges.size() == 1 && (edges.first() == edgeTop || edges.first() == edgeBottom);
    const double angle = rotation.value_or(0.0) + (isVerticalEdge ? std::numbers::pi / 2.0 : 0.0);
    const QSizeF outlineSize = outline.boundingRect().size();
    const int side = int(1.5 * std::max(outlineSize.width(), outlineSize.height()));
    return imageOfSize(side, angle, [&outline](QPainter& painter) { drawResizeCursor(painter, outline); });
}

QCursor CanvasGeometry::resizeCursor(const Edges& edges, std::optional<double> rotation)
{
    const QImage image = resizeCursorImage(edges, rotation);
    return QCursor(QPixmap::fromImage(image), image.width() / 2, image.height() / 2);
}

QImage CanvasGeometry::imageOfSize(int size, std::optional<double> rotation, const DrawingBlock& drawingBlock)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(size / 2.0, size / 2.0);
    if (rotation)
        painter.setTransform(QTransform().rotateRadians(*rotation), true);
    drawingBlock(painter);
    return image;
}

void CanvasGeometry::drawResizeCursor(QPainter& painter, const QPainterPath& outline)
{
    // A soft dark halo stands in for the shadow that keeps the arrow visible on dark canvases.
    painter.strokePath(outline, QPen(QColor(0, 0, 0, 80), 2.0));
    painter.fillPath(outline, Qt::black);
    painter.strokePath(outline, QPen(Qt::white, 0.5));
}
