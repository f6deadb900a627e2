#pragma once

#include "template/KOVA_Template.h"

#include <QRectF>

#include <optional>

// What the canvas renders to show one layer on its own: a copy of the layer, the only
// layer of a template of its own frame grown on every side by the reach of its
// shadow. The stage stands in for the open template: it has the template's file (from
// which pictures and graphics are searched for), package and job picture, and draws
// the layer as the whole template's preview does, shadow and all.
class CanvasLayerStage {
public:
    // The stage of `layer` of `templateObject`, at `frame` (the layer's own when none);
    // no stage when the layer cannot be copied.
    static std::optional<CanvasLayerStage> make(const KOVA_Template::Pointer& layer,
                                                const KOVA_Template::Pointer& templateObject,
                                                const std::optional<QRectF>& frame = {});
    // How far a layer's drawing reaches past its frame on each side, in template units.
    static double marginForLayer(const KOVA_Template& layer);

    const KOVA_Template::Pointer& stage() const { return m_stage; }
    double margin() const { return m_margin; }

private:
    CanvasLayerStage(KOVA_Template::Pointer stage, double margin);
    static void keepShadowOnThePage(KOVA_Template& copy);

    KOVA_Template::Pointer m_stage;
    double m_margin;
};
