#include "editor/canvas/CanvasLayerStage.h"

#include <QTransform>

#include <algorithm>
#include <cmath>

CanvasLayerStage::CanvasLayerStage(KOVA_Template::Pointer stage, double margin)
    : m_stage(std::move(stage))
    , m_margin(margin)
{
}

std::optional<CanvasLayerStage> CanvasLayerStage::make(const KOVA_Template::Pointer& layer,
                                                       const KOVA_Template::Pointer& templateObject,
                                                       const std::optional<QRectF>& frame)
{
    const KOVA_Template::Pointer copy = layer->copy();
    if (!copy)
        return std::nullopt;
    const QRectF placed = frame.value_or(layer->frame());
    const double margin = marginForLayer(*layer);
    copy->setFrame({QPointF(margin, margin), placed.size()});
    keepShadowOnThePage(*copy);
    const KOVA_Template::Pointer stage = KOVA_Template::init();
    stage->setFrame({QPointF(), placed.size().grownBy({margin, margin, margin, margin})});
    if (templateObject) {
        stage->setDocumentURL(templateObject->documentURL());
        stage->setPackage(templateObject->package());
        if (const QString picture = templateObject->filepathCustomImage(); !picture.isNull())
            stage->setFilepathCustomImage(picture);
    }
    stage->addLayer(copy);
    return CanvasLayerStage(stage, margin);
}

// The canvas turns the unturned picture of a layer, shadow and all; the whole
// template's shadows fall the same way on the page whatever the turn. The offset is
// turned back by as much beforehand.
void CanvasLayerStage::keepShadowOnThePage(KOVA_Template& copy)
{
    const double rotation = copy.rotation().value_or(0.0);
    if (!copy.hasShadow() || rotation == 0)
        return;
    const QPointF offset = QTransform().rotateRadians(-rotation).map(QPointF(copy.shadowOffsetX(), copy.shadowOffsetY()));
    copy.setShadowOffsetX(offset.x());
    copy.setShadowOffsetY(offset.y());
}

// A shadow's blurred silhouette reaches three blur radii (half the blur each) and a
// pixel past the layer, moved by its offset in whatever direction; a margin of that on
// every side keeps the layer centred in its picture.
double CanvasLayerStage::marginForLayer(const KOVA_Template& layer)
{
    if (!layer.hasShadow())
        return 0;
    const QSizeF offset = layer.shadowOffset();
    const double radius = std::ceil(std::clamp(layer.shadowBlur(), 0.0, 1000.0) / 2);
    return std::ceil(std::hypot(offset.width(), offset.height()) + 3 * radius + 2);
}
