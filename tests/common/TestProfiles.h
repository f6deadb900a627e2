#pragma once

#include <lcms2.h>

namespace kova::test {

// Small ICC profiles made with lcms2; the caller closes them.

// A matrix RGB profile: white point by colour temperature, primaries, one gamma.
inline cmsHPROFILE matrixRgbProfile(double whiteTemperature, const cmsCIExyYTRIPLE& primaries, double gamma)
{
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, whiteTemperature);
    cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    return profile;
}

inline cmsHPROFILE greyProfile(const cmsCIExyY* white, double gamma)
{
    cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
    cmsHPROFILE profile = cmsCreateGrayProfile(white, curve);
    cmsFreeToneCurve(curve);
    return profile;
}

// An empty CMYK output profile: a colour space no RGB page can print through.
inline cmsHPROFILE cmykPlaceholderProfile()
{
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    return profile;
}

// RGB to Lab through a table only, so it can be read from but not rendered into.
inline cmsHPROFILE inputOnlyProfile()
{
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetDeviceClass(profile, cmsSigInputClass);
    cmsSetColorSpace(profile, cmsSigRgbData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsPipeline* lut = cmsPipelineAlloc(nullptr, 3, 3);
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocCLut16bit(nullptr, 2, 3, 3, nullptr));
    cmsWriteTag(profile, cmsSigAToB0Tag, lut);
    cmsPipelineFree(lut);
    return profile;
}

} // namespace kova::test
