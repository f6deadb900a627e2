#include "printing/filters/ImageFilterPixels.h"

namespace {

bool hasSixteenBitComponents(QImage::Format format)
{
    switch (format) {
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied:
    case QImage::Format_Grayscale16:
    case QImage::Format_BGR30:
    case QImage::Format_A2BGR30_Premultiplied:
    case QImage::Format_RGB30:
    case QImage::Format_A2RGB30_Premultiplied:
    case QImage::Format_RGBX16FPx4:
    case QImage::Format_RGBA16FPx4:
    case QImage::Format_RGBA16FPx4_Premultiplied:
    case QImage::Format_RGBX32FPx4:
    case QImage::Format_RGBA32FPx4:
    case QImage::Format_RGBA32FPx4_Premultiplied:
        return true;
    default:
        return false;
    }
}

QImage::Format workingFormat(const QImage& input, bool sixteenBits)
{
    if (sixteenBits)
        return input.hasAlphaChannel() ? QImage::Format_RGBA64 : QImage::Format_RGBX64;
    return input.hasAlphaChannel() ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888;
}

} // namespace

ImageFilterPixels::ImageFilterPixels(const QImage& input)
    : m_inputFormat(input.format())
    , m_sixteenBits(hasSixteenBitComponents(input.format()))
    , m_opaque(!input.hasAlphaChannel())
{
    m_image = input.convertToFormat(workingFormat(input, m_sixteenBits));
}

QImage ImageFilterPixels::result() const
{
    return m_image.format() == m_inputFormat ? m_image : m_image.convertToFormat(m_inputFormat);
}
