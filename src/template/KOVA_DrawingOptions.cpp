#include "template/KOVA_DrawingOptions.h"

#include "core/image/ZORVAK_Image.h"
#include "template/KOVA_Template.h"

KOVA_DrawingOptions KOVA_DrawingOptions::ofLayer(const KOVA_Template& layer, double borderWidth)
{
    KOVA_DrawingOptions options;
    options.gravity = layer.gravity();
    options.rotation = layer.rotation();
    if (layer.hasBackground())
        options.backgroundColorCode = layer.backgroundColorCode();
    if (layer.hasBorder())
        options.border = Border{layer.borderColorCode(), borderWidth, layer.borderClipsContent()};
    if (layer.hasShadow())
        options.shadow = Shadow{layer.shadowColorCode(), layer.shadowBlur(), layer.shadowOffset()};
    return options;
}

void KOVA_DrawingOptions::applyTo(ZORVAK_Image& picture) const
{
    picture.setContentsGravity(gravity);
    if (backgroundColorCode)
        picture.setBackgroundColorCode(*backgroundColorCode);
    picture.setRotation(rotation);
    picture.setHasBorder(border.has_value());
    if (border) {
        picture.setBorderColorCode(border->colorCode);
        picture.setBorderWidth(border->width);
        picture.setBorderClipsContent(border->clipsContent);
    }
    picture.setHasShadow(shadow.has_value());
    if (shadow) {
        picture.setShadowColorCode(shadow->colorCode);
        if (shadow->blur)
            picture.setShadowBlur(*shadow->blur);
        if (shadow->offset)
            picture.setShadowOffset(*shadow->offset);
    }
}
