#include "core/image/ColorProfileConverter.h"

#include "core/image/LcmsHandles.h"

#include <QColorSpace>

#include <lcms2.h>

#include <memory>

namespace {

using LcmsHandles::Profile;
using LcmsHandles::Transform;

bool isCmyk(ColorProfileConverter::Samples layout)
{
    return layout != ColorProfileConverter::Samples::Gray;
}

// A transform from `profile` to sRGB for `layout`; none when lcms2 cannot read
// the profile or it describes another colour space.
Transform transformToSRGB(const QByteArray& profile, ColorProfileConverter::Samples layout)
{
    if (profile.isEmpty())
        return nullptr;
    const Profile source(cmsOpenProfileFromMem(profile.constData(), cmsUInt32Number(profile.size())));
    if (!source || cmsGetColorSpace(source.get()) != (isCmyk(layout) ? cmsSigCmykData : cmsSigGrayData))
        return nullptr;
    const Profile sRGB(cmsCreate_sRGBProfile());
    const cmsUInt32Number input = layout == ColorProfileConverter::Samples::Gray ? TYPE_GRAY_8
        : layout == ColorProfileConverter::Samples::Cmyk                       ? TYPE_CMYK_8
                                                                                : TYPE_CMYK_8_REV;
    return Transform(cmsCreateTransform(source.get(), input, sRGB.get(), TYPE_RGB_8, INTENT_PERCEPTUAL, 0));
}

// Ink coverage to light: each ink takes its share of what the black leaves.
void convertNaively(const uchar* samples, qsizetype bytesPerLine, ColorProfileConverter::Samples layout, QImage& rgb)
{
    const bool inverted = layout == ColorProfileConverter::Samples::InvertedCmyk;
    const int components = isCmyk(layout) ? 4 : 1;
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* in = samples + y * bytesPerLine;
        uchar* out = rgb.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x, in += components, out += 3) {
            if (components == 1) {
                out[0] = out[1] = out[2] = in[0];
                continue;
            }
            const int white = inverted ? in[3] : 255 - in[3];
            for (int c = 0; c < 3; ++c)
                out[c] = uchar((inverted ? in[c] : 255 - in[c]) * white / 255);
        }
    }
}

} // namespace

QImage ColorProfileConverter::toSRGB(const uchar* samples, qsizetype bytesPerLine, QSize size, Samples layout,
                                     const QByteArray& profile, bool* usedProfile)
{
    QImage rgb(size, QImage::Format_RGB888);
    if (rgb.isNull())
        return rgb;
    const Transform transform = transformToSRGB(profile, layout);
    if (transform) {
        cmsDoTransformLineStride(transform.get(), samples, rgb.bits(), cmsUInt32Number(size.width()), cmsUInt32Number(size.height()),
                                 cmsUInt32Number(bytesPerLine), cmsUInt32Number(rgb.bytesPerLine()), 0, 0);
    } else {
        convertNaively(samples, bytesPerLine, layout, rgb);
    }
    if (usedProfile)
        *usedProfile = bool(transform);
    rgb.setColorSpace(QColorSpace::SRgb);
    return rgb;
}
