#include "core/codes/ZintSymbol.h"

#include <zint.h>

#include <algorithm>

namespace {

constexpr float onePixelPerModule = 0.5f; // zint's raster draws 2 x scale pixels per module
constexpr int latin1Eci = 3;
constexpr int bytesPerRasterPixel = 3;    // zint's raster is RGB

bool holdsNonAscii(const QByteArray& bytes)
{
    return std::any_of(bytes.begin(), bytes.end(), [](char byte) { return static_cast<unsigned char>(byte) > 0x7F; });
}

} // namespace

void ZintSymbol::Deleter::operator()(zint_symbol* symbol) const
{
    ZBarcode_Delete(symbol);
}

ZintSymbol::ZintSymbol(int symbology)
    : m_symbol(ZBarcode_Create())
{
    m_symbol->symbology = symbology;
    m_symbol->scale = onePixelPerModule;
    m_symbol->show_hrt = 0;
    m_symbol->input_mode = DATA_MODE;
}

ZintSymbol::~ZintSymbol() = default;
ZintSymbol::ZintSymbol(ZintSymbol&&) noexcept = default;
ZintSymbol& ZintSymbol::operator=(ZintSymbol&&) noexcept = default;

void ZintSymbol::setOption1(int value)
{
    m_symbol->option_1 = value;
}

void ZintSymbol::setHeight(float modules)
{
    m_symbol->height = modules;
}

void ZintSymbol::setWhitespaceWidth(int modules)
{
    m_symbol->whitespace_width = modules;
}

QImage ZintSymbol::render(const QByteArray& bytes)
{
    if (holdsNonAscii(bytes))
        m_symbol->eci = latin1Eci;
    const int result = ZBarcode_Encode_and_Buffer(
        m_symbol.get(), reinterpret_cast<const unsigned char*>(bytes.constData()), static_cast<int>(bytes.size()), 0);
    if (result >= ZINT_ERROR || !m_symbol->bitmap)
        return {};
    const QImage raster(m_symbol->bitmap, m_symbol->bitmap_width, m_symbol->bitmap_height,
                        m_symbol->bitmap_width * bytesPerRasterPixel, QImage::Format_RGB888);
    return raster.copy();
}

QString ZintSymbol::errorText() const
{
    return QString::fromUtf8(m_symbol->errtxt);
}
