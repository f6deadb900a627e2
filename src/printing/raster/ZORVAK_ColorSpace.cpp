#include "printing/raster/ZORVAK_ColorSpace.h"

#include "core/image/LcmsHandles.h"

#include <lcms2.h>

namespace {

using LcmsHandles::Profile;
using LcmsHandles::Transform;

Profile openProfile(const QByteArray& iccData)
{
    return Profile(cmsOpenProfileFromMem(iccData.constData(), cmsUInt32Number(iccData.size())));
}

QByteArray sRGBProfileData()
{
    const Profile profile(cmsCreate_sRGBProfile());
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size))
        return {};
    QByteArray data(qsizetype(size), '\0');
    cmsSaveProfileToMem(profile.get(), data.data(), &size);
    return data;
}

ZORVAK_ColorSpace::Model modelOf(cmsColorSpaceSignature signature)
{
    using Model = ZORVAK_ColorSpace::Model;
    switch (signature) {
    case cmsSigGrayData: return Model::Monochrome;
    case cmsSigRgbData: return Model::RGB;
    case cmsSigCmykData: return Model::CMYK;
    case cmsSigLabData: return Model::Lab;
    case cmsSigXYZData: return Model::XYZ;
    default: return cmsChannelsOf(signature) > 4 ? Model::DeviceN : Model::Unknown;
    }
}

bool isDeep(QImage::Format format)
{
    return QImage::toPixelFormat(format).bitsPerPixel() > 32;
}

// The working pixels of `picture` as premultiplied RGBA of its depth.
QImage workingPixels(const QImage& picture)
{
    const QImage::Format format = isDeep(picture.format()) ? QImage::Format_RGBA64_Premultiplied : QImage::Format_RGBA8888_Premultiplied;
    return picture.format() == format ? picture : picture.convertToFormat(format);
}

// The premultiplied samples of `working` with the fourth made opaque, as `format`
// (of the same depth) takes them: what rendering over black gives.
QImage opaqueCopy(const QImage& working, QImage::Format format)
{
    QImage result = working.copy();
    if (!result.reinterpretAsFormat(format))
        return working.convertToFormat(format);
    for (int y = 0; y < result.height(); ++y) {
        if (isDeep(format)) {
            auto* pixel = reinterpret_cast<quint16*>(result.scanLine(y));
            for (int x = 0; x < result.width(); ++x)
                pixel[x * 4 + 3] = 0xFFFF;
        } else {
            uchar* pixel = result.scanLine(y);
            for (int x = 0; x < result.width(); ++x)
                pixel[x * 4 + 3] = 0xFF;
        }
    }
    return result;
}

} // namespace

ZORVAK_ColorSpace::ZORVAK_ColorSpace(QByteArray iccData, Model model, bool producesOutput, bool isSRGB)
    : m_iccData(std::move(iccData))
    , m_model(model)
    , m_producesOutput(producesOutput)
    , m_isSRGB(isSRGB)
{
}

std::shared_ptr<const ZORVAK_ColorSpace> ZORVAK_ColorSpace::sRGB()
{
    static const std::shared_ptr<const ZORVAK_ColorSpace> space(new ZORVAK_ColorSpace(sRGBProfileData(), Model::RGB, true, true));
    return space;
}

std::shared_ptr<const ZORVAK_ColorSpace> ZORVAK_ColorSpace::fromICCData(const QByteArray& iccData)
{
    const Profile profile = openProfile(iccData);
    if (!profile)
        return nullptr;
    const Model model = modelOf(cmsGetColorSpace(profile.get()));
    const bool producesOutput = cmsIsIntentSupported(profile.get(), INTENT_PERCEPTUAL, LCMS_USED_AS_OUTPUT);
    return std::shared_ptr<const ZORVAK_ColorSpace>(new ZORVAK_ColorSpace(iccData, model, producesOutput, false));
}

bool ZORVAK_ColorSpace::renderSamples(const QImage& picture, const SampleLayout& layout, char* samples) const
{
    const QImage working = workingPixels(picture);
    const Profile source(cmsCreate_sRGBProfile());
    const Profile destination = openProfile(m_iccData);
    if (!source || !destination)
        return false;
    const size_t bytes = layout.bitsPerComponent == 16 ? 2 : 1;
    // Yellow, magenta, cyan are the inverted samples in the reverse order.
    const cmsUInt32Number output = COLORSPACE_SH(PT_RGB) | CHANNELS_SH(3) | BYTES_SH(bytes) | PLANAR_SH(layout.planar ? 1 : 0)
                                   | DOSWAP_SH(layout.cmy ? 1 : 0) | FLAVOR_SH(layout.cmy ? 1 : 0);
    const cmsUInt32Number input = isDeep(working.format()) ? TYPE_RGBA_16 : TYPE_RGBA_8;
    const Transform transform(cmsCreateTransform(source.get(), input, destination.get(), output, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE));
    if (!transform)
        return false;
    const size_t width = size_t(working.width());
    const size_t rowBytes = width * bytes * (layout.planar ? 1 : 3);
    cmsDoTransformLineStride(transform.get(), working.constBits(), samples, cmsUInt32Number(width), cmsUInt32Number(working.height()),
                             cmsUInt32Number(working.bytesPerLine()), cmsUInt32Number(rowBytes), 0,
                             cmsUInt32Number(rowBytes * size_t(working.height())));
    return true;
}

QImage ZORVAK_ColorSpace::convertedFromSRGB(const QImage& picture, QImage::Format format) const
{
    const QImage working = workingPixels(picture);
    const bool deep = isDeep(working.format());
    const bool grey = m_model == Model::Monochrome;
    if (m_isSRGB && !grey)
        return opaqueCopy(working, format);
    QImage result(working.size(), format);
    if (result.isNull())
        return {};
    result.fill(Qt::white); // the skipped fourth sample stays opaque
    const Profile source(cmsCreate_sRGBProfile());
    const Profile destination = openProfile(m_iccData);
    if (!source || !destination)
        return {};
    const cmsUInt32Number input = deep ? TYPE_RGBA_16 : TYPE_RGBA_8;
    const cmsUInt32Number output = grey ? (deep ? TYPE_GRAY_16 : TYPE_GRAY_8) : (deep ? TYPE_RGBA_16 : TYPE_RGBA_8);
    const Transform transform(cmsCreateTransform(source.get(), input, destination.get(), output, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE));
    if (!transform)
        return {};
    cmsDoTransformLineStride(transform.get(), working.constBits(), result.bits(), cmsUInt32Number(working.width()),
                             cmsUInt32Number(working.height()), cmsUInt32Number(working.bytesPerLine()),
                             cmsUInt32Number(result.bytesPerLine()), 0, 0);
    return result;
}
