#include "printing/pages/DNPPlaneBuilder.h"

#include "platform/Log.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using AlphaInfo = ZORVAK_PrintPage::AlphaInfo;

// The file header (14 bytes), the information header (40), the 256-entry palette (1024) and
// ten bytes of padding come before the pixels.
constexpr quint32 PixelsOffset = 1088;
constexpr quint32 InfoHeaderSize = 40;
constexpr quint32 PaletteOffset = 54;
constexpr quint32 PaletteEntries = 256;
constexpr double InchesPerMetre = 39.3700787402;
constexpr char White = char(0xFF);
constexpr int PlanesPerSide = 3;

void put16(QByteArray& bytes, qsizetype offset, quint16 value)
{
    qToLittleEndian(value, bytes.data() + offset);
}

void put32(QByteArray& bytes, qsizetype offset, quint32 value)
{
    qToLittleEndian(value, bytes.data() + offset);
}

// Dots per inch as whole pixels per metre; undefined or negative resolutions give 0.
quint32 pixelsPerMetre(double dotsPerInch)
{
    const double perMetre = dotsPerInch * InchesPerMetre;
    if (!std::isfinite(perMetre) || perMetre <= 0)
        return 0;
    return quint32(std::min(perMetre, double(std::numeric_limits<qint32>::max())));
}

// Alpha stored ahead of the colour samples takes the first byte of every pixel.
bool alphaComesFirst(AlphaInfo alpha)
{
    return alpha == AlphaInfo::PremultipliedFirst || alpha == AlphaInfo::First || alpha == AlphaInfo::NoneSkipFirst;
}

bool isPremultiplied(AlphaInfo alpha)
{
    return alpha == AlphaInfo::PremultipliedFirst || alpha == AlphaInfo::PremultipliedLast;
}

// The colour samples of a pixel: its components less the alpha (or skipped) one.
size_t colourComponents(size_t numberOfComponents, AlphaInfo alpha)
{
    if (alpha == AlphaInfo::Only)
        return 0;
    if (alpha == AlphaInfo::None)
        return numberOfComponents;
    return numberOfComponents > 0 ? numberOfComponents - 1 : 0;
}

} // namespace

struct DNPPlaneBuilder::Raster {
    size_t width = 0;
    size_t height = 0;
    size_t bytesPerRow = 0;
    size_t bitsPerComponent = 0;
    size_t numberOfComponents = 0;
    AlphaInfo alphaInfo = AlphaInfo::None;
    QByteArray pixels;
};

DNPPlaneBuilder::DNPPlaneBuilder(quint32 headWidth, quint64 height, const QSizeF& resolution, bool withBackside)
    : m_headWidth(headWidth)
    , m_height(height)
    , m_resolution(resolution)
    , m_withBackside(withBackside)
{
}

quint32 DNPPlaneBuilder::headWidthFor(const QSizeF& outputSize)
{
    return outputSize.width() < 1920 ? 1920 : 2560;
}

QByteArray DNPPlaneBuilder::blankPlane() const
{
    const quint64 pixelCount = quint64(m_headWidth) * m_height;
    QByteArray plane(qsizetype(PixelsOffset + pixelCount), White);
    std::fill(plane.begin(), plane.begin() + PixelsOffset, char(0));
    plane[0] = 'B';
    plane[1] = 'M';
    put32(plane, 2, quint32(plane.size()));
    put32(plane, 10, PixelsOffset);
    put32(plane, 14, InfoHeaderSize);
    put32(plane, 18, m_headWidth);
    put32(plane, 22, quint32(m_height));
    put16(plane, 26, 1);
    put16(plane, 28, 8);
    put32(plane, 34, quint32(pixelCount));
    put32(plane, 38, pixelsPerMetre(m_resolution.width()));
    put32(plane, 42, pixelsPerMetre(m_resolution.height()));
    put32(plane, 46, PaletteEntries);
    // Index i prints 255 - i in every colour: the planes hold ink amounts inverted.
    for (quint32 i = 0; i < PaletteEntries; ++i) {
        const char level = char(255 - i);
        const qsizetype entry = PaletteOffset + 4 * i;
        plane[entry] = level;
        plane[entry + 1] = level;
        plane[entry + 2] = level;
    }
    return plane;
}

QList<QByteArray> DNPPlaneBuilder::planes(const ZORVAK_PrintPage& page) const
{
    if (PixelsOffset + quint64(m_headWidth) * m_height > std::numeric_limits<quint32>::max()) {
        platform::Log::error(QStringLiteral("cannot make planes of %1 by %2 pixels: a bitmap file cannot hold them")
                                 .arg(m_headWidth)
                                 .arg(m_height));
        return {};
    }
    Raster raster;
    page.rasterData([&raster](size_t width, size_t height, size_t bytesPerRow, size_t bitsPerComponent, size_t numberOfComponents,
                              AlphaInfo alphaInfo, int, const QByteArray& pixels) {
        raster = {width, height, bytesPerRow, bitsPerComponent, numberOfComponents, alphaInfo, pixels};
    });
    const QByteArray blank = blankPlane();
    QByteArray yellow = blank;
    QByteArray magenta = blank;
    QByteArray cyan = blank;
    if (raster.pixels.isEmpty() || !copyRaster(raster, yellow, magenta, cyan)) {
        platform::Log::log(QStringLiteral("FAILED to raster data"));
        return {};
    }
    QList<QByteArray> planes{yellow, magenta, cyan};
    if (m_withBackside)
        planes.append(QList<QByteArray>(PlanesPerSide, blank));
    return planes;
}

bool DNPPlaneBuilder::copyRaster(const Raster& raster, QByteArray& yellow, QByteArray& magenta, QByteArray& cyan) const
{
    const size_t bytesPerPixel = raster.bitsPerComponent * raster.numberOfComponents / 8;
    const size_t skip = alphaComesFirst(raster.alphaInfo) ? 1 : 0;
    const size_t rows = std::min<quint64>(raster.height, m_height);
    if (raster.bitsPerComponent != 8 || colourComponents(raster.numberOfComponents, raster.alphaInfo) < 3)
        return false;
    const size_t rowBytes = raster.width * bytesPerPixel;
    const size_t bytesRead = rows > 0 ? (rows - 1) * raster.bytesPerRow + rowBytes : 0;
    if (raster.bytesPerRow < rowBytes || size_t(raster.pixels.size()) < bytesRead)
        return false;
    if (isPremultiplied(raster.alphaInfo))
        platform::Log::log(QStringLiteral("Premultiplied Alpha may produce unexpected output"));

    const size_t width = m_headWidth;
    const size_t firstColumn = raster.width < width ? (width - raster.width) / 2 : 0;
    const size_t skippedColumns = raster.width > width ? (raster.width - width) / 2 : 0;
    const size_t columns = std::min(raster.width - skippedColumns, width - firstColumn);
    const auto* source = reinterpret_cast<const uchar*>(raster.pixels.constData());
    char* const cyanPixels = cyan.data() + PixelsOffset;
    char* const magentaPixels = magenta.data() + PixelsOffset;
    char* const yellowPixels = yellow.data() + PixelsOffset;
    for (size_t row = 0; row < rows; ++row) {
        const uchar* pixel = source + row * raster.bytesPerRow + skippedColumns * bytesPerPixel + skip;
        const size_t target = (rows - 1 - row) * width + firstColumn;
        for (size_t column = target; column < target + columns; ++column, pixel += bytesPerPixel) {
            cyanPixels[column] = char(pixel[0]);
            magentaPixels[column] = char(pixel[1]);
            yellowPixels[column] = char(pixel[2]);
        }
    }
    return true;
}
