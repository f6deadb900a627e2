// Writes the RGB output profile the Mitsubishi pages render into ("CPD70_SF.icc"): a
// printer-class matrix-shaper profile with a D65 white, sRGB-like primaries narrowed a little
// toward dye-sublimation inks and a 1.8 tone curve.
#include <lcms2.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <profile.icc>\n", argv[0]);
        return 2;
    }
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    const cmsCIExyYTRIPLE primaries = {{0.6300, 0.3350, 1.0}, {0.3050, 0.5850, 1.0}, {0.1550, 0.0800, 1.0}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.8);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    if (!profile) {
        std::fprintf(stderr, "cannot make the profile\n");
        return 1;
    }
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsMLU* description = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(description, "en", "US", "CPD70_SF (stand-in)");
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, description);
    cmsMLUfree(description);
    const bool saved = cmsSaveProfileToFile(profile, argv[1]);
    cmsCloseProfile(profile);
    if (!saved) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
