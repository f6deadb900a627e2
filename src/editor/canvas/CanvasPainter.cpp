#include "editor/canvas/CanvasPainter.h"

#include "core/image/ZORVAK_color.h"

#include <QPainter>

#include <cmath>

void CanvasPainter::paintPreview(QPainter& painter, const QRectF& rect, const QImage& image)
{
    painter.fillRect(rect, ZORVAK_color::colorForHexcode(previewBackgroundCode));
    if (image.isNull())
        return;
    QSizeF fitted = image.size();
    fitted.scale(rect.size(), Qt::KeepAspectRatio);
    QRectF target({}, fitted);
    target.moveCenter(rect.center());
    painter.drawImage(target, image);
}

void CanvasPainter::paintScene(QPainter& painter, const CanvasScene& scene, const SceneView& view)
{
    painter.save();
    painter.setTransform(view.templateToView);
    painter.setClipRect(view.templateRect);
    for (const CanvasScene::ItemPointer& item : scene.items())
        paintItem(painter, *item, view);
    painter.restore();
}

void CanvasPainter::paintMarquee(QPainter& painter, const QRectF& marquee)
{
    painter.fillRect(marquee.normalized(), ZORVAK_color::colorForHexcode(marqueeCode));
}

void CanvasPainter::paintItem(QPainter& painter, const CanvasScene::Item& item, const SceneView& view)
{
    const QPointF center = item.frame.center();
    const QTransform itemToTemplate = QTransform::fromTranslate(center.x(), center.y())
                                          .rotateRadians(item.rotation)
                                          .translate(-item.frame.width() / 2, -item.frame.height() / 2);
    painter.save();
    painter.setTransform(itemToTemplate * view.templateToView);
    const QRectF bounds({}, item.frame.size());
    if (!item.image.isNull()) {
        const double margin = item.imageMargin;
        const QRectF reach = bounds.adjusted(-margin, -margin, margin, margin);
        painter.drawImage(placeImage(item.image.size(), reach, item.gravity), item.image);
    }
    if (item.selected)
        paintAnts(painter, bounds, view);
    else if (item.borderWidth > 0)
        paintLayerFrame(painter, bounds, item.borderWidth);
    painter.restore();
}

// The pattern runs forward by its whole length each second; QPen counts dash lengths
// and the offset in pen widths.
void CanvasPainter::paintAnts(QPainter& painter, const QRectF& bounds, const SceneView& view)
{
    const double width = antsLineWidth * view.scaleTemplate;
    const double dash = antsDash / antsLineWidth;
    const double gap = antsGap / antsLineWidth;
    const double period = dash + 3 * gap;
    QPen pen(view.antsColor, width, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setDashPattern({dash, gap, gap, gap});
    pen.setDashOffset(period - std::fmod(view.antsProgress, 1.0) * period);
    painter.setPen(pen);
    painter.setBrush(ZORVAK_color::colorForHexcode(antsFillCode));
    painter.drawRect(bounds);
}

// Drawn inside the bounds, as a layer's border is.
void CanvasPainter::paintLayerFrame(QPainter& painter, const QRectF& bounds, double width)
{
    painter.setPen(QPen(ZORVAK_color::colorForHexcode(layerFrameCode), width, Qt::SolidLine, Qt::SquareCap,
                        Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    const double half = width / 2;
    painter.drawRect(bounds.adjusted(half, half, -half, -half));
}

QRectF CanvasPainter::placeImage(const QSizeF& size, const QRectF& bounds, Qt::Alignment gravity)
{
    double x = bounds.x() + (bounds.width() - size.width()) / 2;
    double y = bounds.y() + (bounds.height() - size.height()) / 2;
    if (gravity & Qt::AlignLeft)
        x = bounds.left();
    else if (gravity & Qt::AlignRight)
        x = bounds.right() - size.width();
    if (gravity & Qt::AlignTop)
        y = bounds.top();
    else if (gravity & Qt::AlignBottom)
        y = bounds.bottom() - size.height();
    return {QPointF(x, y), size};
}
