#include "core/image/JpegDecoder.h"

#include "core/image/BitmapContext.h"
#include "core/image/ColorProfileConverter.h"
#include "core/image/PixelScaler.h"

#include <QColorSpace>

#include <cmath>
#include <cstdio> // jpeglib.h needs FILE
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include <jpeglib.h>

namespace {

// libjpeg reports errors by calling `error_exit`, which must not return: it
// jumps back to the function that armed `jump`, keeping the message.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void jumpOut(j_common_ptr info)
{
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    info->err->format_message(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void ignoreWarning(j_common_ptr) {}

// A decompressor over bytes; destroyed safely whether or not it was created
// (libjpeg frees nothing while its memory manager is unset).
struct Decompressor {
    explicit Decompressor(const QByteArray& bytes) : data(bytes)
    {
        std::memset(&info, 0, sizeof info);
        info.err = jpeg_std_error(&errors.base);
        errors.base.error_exit = jumpOut;
        errors.base.output_message = ignoreWarning;
        errors.message[0] = '\0';
    }
    ~Decompressor() { jpeg_destroy_decompress(&info); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    const QByteArray& data;
    jpeg_decompress_struct info;
    ErrorManager errors;
};

// What the header says; filled in by the functions that arm the jump, so that
// nothing they own needs destroying when libjpeg jumps out of them.
struct Picture {
    ColorProfileConverter::Samples layout = ColorProfileConverter::Samples::Gray;
    bool isGrayOrCmyk = false;
    bool needsConversion = false;
    QByteArray profile;
    QByteArray samples;
    QSize size;
};

// Called only after the jump is armed.
void readHeader(Decompressor& jpeg, Picture& picture)
{
    jpeg_create_decompress(&jpeg.info);
    jpeg_mem_src(&jpeg.info, reinterpret_cast<const unsigned char*>(jpeg.data.constData()), static_cast<unsigned long>(jpeg.data.size()));
    jpeg_save_markers(&jpeg.info, JPEG_APP0 + 2, 0xFFFF); // where the ICC profile lives
    jpeg_read_header(&jpeg.info, TRUE);
    JOCTET* profile = nullptr;
    unsigned int profileLength = 0;
    if (jpeg_read_icc_profile(&jpeg.info, &profile, &profileLength)) {
        picture.profile = QByteArray(reinterpret_cast<const char*>(profile), qsizetype(profileLength));
        std::free(profile);
    }
    const J_COLOR_SPACE space = jpeg.info.jpeg_color_space;
    if (space == JCS_CMYK || space == JCS_YCCK) {
        // Adobe applications store ink values inverted and say so with their marker.
        picture.layout = jpeg.info.saw_Adobe_marker ? ColorProfileConverter::Samples::InvertedCmyk : ColorProfileConverter::Samples::Cmyk;
        picture.isGrayOrCmyk = picture.needsConversion = true;
        jpeg.info.out_color_space = JCS_CMYK;
    } else if (space == JCS_GRAYSCALE) {
        picture.isGrayOrCmyk = true;
        picture.needsConversion = !picture.profile.isEmpty();
        jpeg.info.out_color_space = JCS_GRAYSCALE;
    }
}

bool inspect(Decompressor& jpeg, Picture& picture)
{
    if (setjmp(jpeg.errors.jump))
        return false;
    readHeader(jpeg, picture);
    return true;
}

// The smallest DCT scaling (in eighths) that still covers `target`.
void chooseScale(jpeg_decompress_struct& info, QSize target)
{
    if (target.isEmpty())
        return;
    info.scale_denom = 8;
    for (unsigned int eighths = 1; eighths <= 8; ++eighths) {
        info.scale_num = eighths;
        jpeg_calc_output_dimensions(&info);
        if (int(info.output_width) >= target.width() && int(info.output_height) >= target.height())
            return;
    }
}

bool readSamples(Decompressor& jpeg, Picture& picture, QSize scaledSize)
{
    if (setjmp(jpeg.errors.jump))
        return false;
    readHeader(jpeg, picture);
    if (!picture.isGrayOrCmyk) {
        std::snprintf(jpeg.errors.message, sizeof jpeg.errors.message, "not a grey or CMYK JPEG");
        return false;
    }
    chooseScale(jpeg.info, scaledSize);
    jpeg_calc_output_dimensions(&jpeg.info);
    picture.size = QSize(int(jpeg.info.output_width), int(jpeg.info.output_height));
    if (!BitmapContext::isAcceptableSize(picture.size)) {
        std::snprintf(jpeg.errors.message, sizeof jpeg.errors.message, "picture too large (%d x %d pixels)",
                      picture.size.width(), picture.size.height());
        return false;
    }
    jpeg_start_decompress(&jpeg.info);
    const qsizetype bytesPerLine = qsizetype(jpeg.info.output_width) * jpeg.info.output_components;
    picture.samples.resize(bytesPerLine * jpeg.info.output_height);
    while (jpeg.info.output_scanline < jpeg.info.output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(picture.samples.data() + bytesPerLine * jpeg.info.output_scanline);
        jpeg_read_scanlines(&jpeg.info, &row, 1);
    }
    jpeg_finish_decompress(&jpeg.info);
    return true;
}

// True when pixels decoded as they are stored are sRGB: no profile, one Qt
// cannot read (its reader then takes them as sRGB too) or an sRGB one.
bool isSRGB(const QByteArray& profile)
{
    if (profile.isEmpty())
        return true;
    const QColorSpace space = QColorSpace::fromIccProfile(profile);
    return !space.isValid() || space == QColorSpace(QColorSpace::SRgb);
}

void fail(Decompressor& jpeg, const char* reason)
{
    std::snprintf(jpeg.errors.message, sizeof jpeg.errors.message, "%s", reason);
}

// Where the rows of a part come from, and what they go to.
struct Drawing {
    std::optional<PixelScaler> scaler;
    std::vector<uchar> row;
    int firstRow = 0; // the decoded row the scaler's row 0 is
};

// Called with the jump armed by readDrawn. Picks the decoding scale, starts the
// decompressor and keeps to the rows and columns under `part`.
bool startDrawing(Decompressor& jpeg, const QRectF& part, QSize drawnSize, Drawing& drawing)
{
    const QSize stored(int(jpeg.info.image_width), int(jpeg.info.image_height));
    chooseScale(jpeg.info, QSize(int(std::ceil(drawnSize.width() * stored.width() / part.width() - 1e-6)),
                                 int(std::ceil(drawnSize.height() * stored.height() / part.height() - 1e-6))));
    jpeg_calc_output_dimensions(&jpeg.info);
    const double factorX = double(jpeg.info.output_width) / stored.width();
    const double factorY = double(jpeg.info.output_height) / stored.height();
    const QRectF scaledPart(part.x() * factorX, part.y() * factorY, part.width() * factorX, part.height() * factorY);
    const QRect covered = scaledPart.toAlignedRect() & QRect(0, 0, int(jpeg.info.output_width), int(jpeg.info.output_height));
    if (covered.isEmpty() || !BitmapContext::isAcceptableSize(covered.size())) {
        fail(jpeg, "the part lies outside the picture or is too large");
        return false;
    }
    jpeg.info.out_color_space = JCS_EXT_RGBX;
    jpeg_start_decompress(&jpeg.info);
    JDIMENSION left = JDIMENSION(covered.x());
    JDIMENSION width = JDIMENSION(covered.width());
    if (width < jpeg.info.output_width)
        jpeg_crop_scanline(&jpeg.info, &left, &width); // widens to whole blocks
    drawing.scaler.emplace(QSize(int(width), covered.height()), scaledPart.translated(-double(left), -covered.y()), drawnSize,
                           QImage::Format_RGBX8888);
    drawing.row.resize(size_t(width) * 4);
    drawing.firstRow = covered.y();
    return true;
}

bool readDrawn(Decompressor& jpeg, Picture& picture, const QRectF& part, QSize drawnSize, Drawing& drawing)
{
    if (setjmp(jpeg.errors.jump))
        return false;
    readHeader(jpeg, picture);
    if ((picture.isGrayOrCmyk && picture.needsConversion) || !isSRGB(picture.profile)) {
        fail(jpeg, "the picture needs colour conversion");
        return false;
    }
    if (!startDrawing(jpeg, part, drawnSize, drawing))
        return false;
    const int first = drawing.firstRow + drawing.scaler->firstRow();
    const int last = drawing.firstRow + drawing.scaler->lastRow();
    if (first > 0)
        jpeg_skip_scanlines(&jpeg.info, JDIMENSION(first));
    for (int y = first; y <= last; ++y) {
        JSAMPROW row = drawing.row.data();
        jpeg_read_scanlines(&jpeg.info, &row, 1);
        drawing.scaler->addRow(y - drawing.firstRow, drawing.row.data());
    }
    jpeg_abort_decompress(&jpeg.info); // the rows below the part are not needed
    return true;
}

} // namespace

bool JpegDecoder::needsColorConversion(const QByteArray& data)
{
    if (!data.startsWith("\xFF\xD8"))
        return false;
    Decompressor jpeg(data);
    Picture picture;
    return inspect(jpeg, picture) && picture.needsConversion;
}

QImage JpegDecoder::decode(const QByteArray& data, QSize scaledSize, QString* error)
{
    Decompressor jpeg(data);
    Picture picture;
    if (!readSamples(jpeg, picture, scaledSize)) {
        if (error)
            *error = QString::fromLocal8Bit(jpeg.errors.message);
        return {};
    }
    const qsizetype bytesPerLine = picture.samples.size() / picture.size.height();
    QImage image = ColorProfileConverter::toSRGB(reinterpret_cast<const uchar*>(picture.samples.constData()), bytesPerLine,
                                                 picture.size, picture.layout, picture.profile);
    if (scaledSize.isValid() && image.size() != scaledSize)
        image = image.scaled(scaledSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

QImage JpegDecoder::decodeDrawn(const QByteArray& data, const QRectF& part, QSize drawnSize, QString* error)
{
    Decompressor jpeg(data);
    Picture picture;
    Drawing drawing;
    const bool readable = data.startsWith("\xFF\xD8") && !part.isEmpty() && !drawnSize.isEmpty();
    if (!readable || !readDrawn(jpeg, picture, part, drawnSize, drawing)) {
        if (error)
            *error = readable ? QString::fromLocal8Bit(jpeg.errors.message) : QStringLiteral("not a JPEG part to decode");
        return {};
    }
    QImage image = drawing.scaler->result();
    if (image.isNull() && error)
        *error = QStringLiteral("no memory for the drawn picture");
    image.setColorSpace(QColorSpace::SRgb);
    return image;
}
