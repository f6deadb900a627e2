#include "core/image/ZORVAK_color.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <mutex>
#include <shared_mutex>

namespace {

// Whether the colour is held in the model `convert` gives: converting a colour to
// the model it already has changes nothing (equality compares the model too).
bool hasModel(const QColor& color, QColor (QColor::*convert)() const)
{
    return color.isValid() && (color.*convert)() == color;
}

struct ColorCache {
    std::shared_mutex lock; // a standard lock, so thread checkers see it
    QHash<QString, QColor> colors;
};

ColorCache& cache()
{
    static ColorCache shared;
    return shared;
}

bool isHexadecimal(QStringView digits)
{
    return std::all_of(digits.begin(), digits.end(), [](QChar c) { return c.unicode() < 128 && std::isxdigit(c.unicode()); });
}

// A component 0.0-1.0 as a byte: clamped, times 255, truncated. The small
// allowance keeps values read from codes (such as 85/255) on their byte.
int componentByte(double component)
{
    const double clamped = std::clamp(component, 0.0, 1.0);
    return static_cast<int>(clamped * 255.0 + 1e-9);
}

QString formatCode(int red, int green, int blue, int alpha, bool includingAlpha)
{
    QString code = QStringLiteral("#%1%2%3").arg(red, 2, 16, QLatin1Char('0')).arg(green, 2, 16, QLatin1Char('0')).arg(blue, 2, 16, QLatin1Char('0'));
    if (includingAlpha)
        code += QStringLiteral("%1").arg(alpha, 2, 16, QLatin1Char('0'));
    return code.toUpper();
}

} // namespace

ZORVAK_color::Components ZORVAK_color::colorComponents(const QString& hexCode)
{
    QStringView digits = QStringView(hexCode).trimmed();
    while (digits.startsWith(QLatin1Char('#')))
        digits = digits.mid(1);
    if (!isHexadecimal(digits))
        return {0, 0, 0, 1};
    const quint32 value = digits.toUInt(nullptr, 16);
    const auto nibble = [value](int shift) { return ((value >> shift) & 0xF) / 15.0; };
    const auto byte = [value](int shift) { return ((value >> shift) & 0xFF) / 255.0; };
    switch (digits.size()) {
    case 3: return {nibble(8), nibble(4), nibble(0), 1.0};
    case 4: return {nibble(12), nibble(8), nibble(4), nibble(0)};
    case 6: return {byte(16), byte(8), byte(0), 1.0};
    case 8: return {byte(24), byte(16), byte(8), byte(0)};
    default: return {0, 0, 0, 1};
    }
}

double ZORVAK_color::alphaForHexcode(const QString& hexcode)
{
    return colorComponents(hexcode)[3];
}

QString ZORVAK_color::hexcode(const QString& hexcode, double changingAlpha)
{
    Components components = colorComponents(hexcode);
    components[3] = std::clamp(changingAlpha, 0.0, 1.0);
    return hexcodeForRGBAComponents(components, true);
}

QString ZORVAK_color::hexcodeForRGBAComponents(const Components& components, bool includingAlpha)
{
    return formatCode(componentByte(components[0]), componentByte(components[1]), componentByte(components[2]),
                      componentByte(components[3]), includingAlpha);
}

QString ZORVAK_color::hexcodeForColor(const QColor& color, bool includingAlpha)
{
    if (hasModel(color, &QColor::toRgb)) {
        // Bytes straight from the colour's 16-bit channels, so a colour made
        // from a code gives that code back.
        const QRgba64 rgba = color.rgba64();
        return formatCode(rgba.red() / 257, rgba.green() / 257, rgba.blue() / 257, rgba.alpha() / 257, includingAlpha);
    }
    if (hasModel(color, &QColor::toCmyk)) {
        const double black = color.blackF();
        return hexcodeForRGBAComponents({(1 - color.cyanF()) * (1 - black), (1 - color.magentaF()) * (1 - black),
                                         (1 - color.yellowF()) * (1 - black), color.alphaF()},
                                        includingAlpha);
    }
    return fallbackCode; // grey, HSV, HSL and other models
}

QString ZORVAK_color::hexcodeForColorIgnoringAlpha(const QColor& color)
{
    return hexcodeForColor(color, false);
}

QColor ZORVAK_color::createColorWithHexcode(const QString& hexcode)
{
    const Components c = colorComponents(hexcode);
    return QColor::fromRgbF(static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2]), static_cast<float>(c[3]));
}

QColorSpace ZORVAK_color::colorSpace()
{
    static const QColorSpace sRGB(QColorSpace::SRgb);
    return sRGB;
}

QHash<QString, QColor> ZORVAK_color::colorsDict()
{
    std::shared_lock locker(cache().lock);
    return cache().colors;
}

void ZORVAK_color::setColorWithHexcode(const QString& hexcode, const QString& forKey)
{
    const QColor color = createColorWithHexcode(hexcode);
    std::unique_lock locker(cache().lock);
    cache().colors.insert(forKey, color);
}

QColor ZORVAK_color::colorForKey(const QString& key)
{
    if (key.isNull())
        return {};
    std::shared_lock locker(cache().lock);
    return cache().colors.value(key);
}

QColor ZORVAK_color::colorForHexcode(const QString& hexcode)
{
    if (hexcode.isNull())
        return {};
    if (const QColor cached = colorForKey(hexcode); cached.isValid())
        return cached;
    const QColor color = createColorWithHexcode(hexcode);
    std::unique_lock locker(cache().lock);
    auto entry = cache().colors.constFind(hexcode); // another thread may have stored it meanwhile
    if (entry == cache().colors.constEnd())
        entry = cache().colors.insert(hexcode, color);
    return *entry;
}
