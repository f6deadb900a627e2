#include "core/image/JpegEncoder.h"

#include <QColorSpace>
#include <QSysInfo>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace {

struct Layout {
    J_COLOR_SPACE space;
    bool premultiplied; // RGBA bytes with premultiplied colours
};

// libjpeg-turbo's names for the byte order of Qt's 4-byte formats. Colours are
// taken as Qt's writer and its conversions take them: RGBA premultiplied ones
// are unpremultiplied, ARGB values are written as they are.
std::optional<Layout> layoutOf(QImage::Format format)
{
    // 32-bit ARGB values lie in memory as B G R A on little-endian machines.
    const J_COLOR_SPACE argb = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    switch (format) {
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888: return Layout{JCS_EXT_RGBX, false};
    case QImage::Format_RGBA8888_Premultiplied: return Layout{JCS_EXT_RGBX, true};
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied: return Layout{argb, false};
    default: return std::nullopt;
    }
}

struct ErrorJump {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void jumpOut(j_common_ptr info)
{
    auto* errors = reinterpret_cast<ErrorJump*>(info->err);
    info->err->format_message(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// A compressor into memory; frees what it holds however the encoding ends.
struct Compressor {
    Compressor()
    {
        info.err = jpeg_std_error(&errors.base);
        errors.base.error_exit = jumpOut;
        errors.message[0] = '\0';
        jpeg_create_compress(&info);
    }
    ~Compressor()
    {
        jpeg_destroy_compress(&info);
        std::free(buffer);
    }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    jpeg_compress_struct info;
    ErrorJump errors;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
};

// The resolution as Qt's writer gives it: in dots per inch or per centimetre,
// whichever holds the picture's resolution more nearly in whole numbers.
void setDensity(jpeg_compress_struct& info, const QImage& image)
{
    const double inchX = image.dotsPerMeterX() * 0.0254;
    const double inchY = image.dotsPerMeterY() * 0.0254;
    const double cmX = image.dotsPerMeterX() / 100.0;
    const double cmY = image.dotsPerMeterY() / 100.0;
    const double offInch = std::abs(inchX - std::round(inchX)) + std::abs(inchY - std::round(inchY));
    const double offCm = (std::abs(cmX - std::round(cmX)) + std::abs(cmY - std::round(cmY))) * 2.54;
    const bool perInch = offInch < offCm;
    info.density_unit = perInch ? 1 : 2;
    info.X_density = UINT16(std::lround(perInch ? inchX : cmX));
    info.Y_density = UINT16(std::lround(perInch ? inchY : cmY));
}

// The picture's texts as comments ("key: text") and its colour profile.
void writeMarkers(jpeg_compress_struct& info, const std::vector<QByteArray>& comments, const QByteArray& profile)
{
    for (const QByteArray& comment : comments)
        jpeg_write_marker(&info, JPEG_COM, reinterpret_cast<const JOCTET*>(comment.constData()), unsigned(comment.size()));
    if (!profile.isEmpty())
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET*>(profile.constData()), unsigned(profile.size()));
}

std::vector<QByteArray> commentsOf(const QImage& image)
{
    constexpr qsizetype longestComment = 65530;
    std::vector<QByteArray> comments;
    for (const QString& key : image.textKeys()) {
        QByteArray comment = key.toUtf8();
        if (!comment.isEmpty())
            comment += ": ";
        comment += image.text(key).toUtf8();
        comments.push_back(comment.left(longestComment));
    }
    return comments;
}

// The row as the encoder takes it: as it is, unless it holds translucent
// premultiplied RGBA pixels, which are unpremultiplied into `scratch`.
const uchar* opaqueRow(const uchar* row, int width, const Layout& layout, std::vector<uchar>& scratch)
{
    if (!layout.premultiplied)
        return row;
    int x = 0;
    while (x < width && row[4 * x + 3] == 255)
        ++x;
    if (x == width)
        return row;
    scratch.assign(row, row + 4 * size_t(width));
    for (; x < width; ++x) {
        uchar* pixel = scratch.data() + 4 * x;
        const int alpha = pixel[3];
        for (int channel = 0; channel < 3; ++channel)
            pixel[channel] = alpha == 0 ? 0 : uchar(std::min(255, (pixel[channel] * 255 + alpha / 2) / alpha));
    }
    return scratch.data();
}

// Called with the jump armed; everything it allocates is owned outside.
bool compress(Compressor& jpeg, const QImage& image, const Layout& layout, int quality, const std::vector<QByteArray>& comments,
              const QByteArray& profile, std::vector<uchar>& scratch)
{
    if (setjmp(jpeg.errors.jump))
        return false;
    jpeg_mem_dest(&jpeg.info, &jpeg.buffer, &jpeg.size);
    jpeg.info.image_width = JDIMENSION(image.width());
    jpeg.info.image_height = JDIMENSION(image.height());
    jpeg.info.input_components = 4;
    jpeg.info.in_color_space = layout.space;
    jpeg_set_defaults(&jpeg.info);
    setDensity(jpeg.info, image);
    jpeg_set_quality(&jpeg.info, quality, TRUE);
    jpeg_start_compress(&jpeg.info, TRUE);
    writeMarkers(jpeg.info, comments, profile);
    while (jpeg.info.next_scanline < jpeg.info.image_height) {
        const uchar* row = opaqueRow(image.constScanLine(int(jpeg.info.next_scanline)), image.width(), layout, scratch);
        JSAMPROW rows[1] = {const_cast<JSAMPROW>(row)};
        jpeg_write_scanlines(&jpeg.info, rows, 1);
    }
    jpeg_finish_compress(&jpeg.info);
    return true;
}

} // namespace

bool JpegEncoder::takes(const QImage& image)
{
    return layoutOf(image.format()).has_value();
}

std::optional<QByteArray> JpegEncoder::encode(const QImage& image, int quality, QString* error)
{
    const std::optional<Layout> layout = layoutOf(image.format());
    if (image.isNull() || !layout) {
        if (error)
            *error = QStringLiteral("no picture of 4-byte pixels to encode");
        return std::nullopt;
    }
    Compressor jpeg;
    const std::vector<QByteArray> comments = commentsOf(image);
    const QByteArray profile = image.colorSpace().isValid() ? image.colorSpace().iccProfile() : QByteArray();
    std::vector<uchar> scratch;
    if (!compress(jpeg, image, *layout, std::clamp(quality, 0, 100), comments, profile, scratch)) {
        if (error)
            *error = QString::fromLocal8Bit(jpeg.errors.message);
        return std::nullopt;
    }
    return QByteArray(reinterpret_cast<const char*>(jpeg.buffer), qsizetype(jpeg.size));
}
