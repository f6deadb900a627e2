#pragma once

#include "editor/canvas/CanvasGeometry.h"

namespace kova::test {

inline KOVA_Template::Pointer layerWithFrame(const QRectF& frame, std::optional<double> rotation = std::nullopt)
{
    auto layer = KOVA_Template::initForCopy();
    layer->setFrame(frame);
    layer->setRotation(rotation);
    return layer;
}

// A 400 x 300 widget with an inset of 20 showing a template of `templateSize`; for
// 1800 x 1200 that is 5 template units a point from (20, 30) on.
inline CanvasGeometry fittedGeometry(const QSizeF& templateSize)
{
    CanvasGeometry geometry;
    geometry.setInsetTemplate(20.0);
    geometry.setSizeImagePreview(templateSize);
    geometry.boundsDidChange(QSizeF(400, 300), templateSize);
    return geometry;
}

// The widget point showing a point of the 1800 x 1200 template.
inline QPointF viewPoint(double x, double y)
{
    return QPointF(x / 5.0 + 20.0, y / 5.0 + 30.0);
}

} // namespace kova::test
