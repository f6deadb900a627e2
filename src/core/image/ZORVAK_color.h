#pragma once

#include <QColor>
#include <QColorSpace>
#include <QHash>
#include <QString>

#include <array>

// Colour codes: "#" followed by 3, 4, 6 or 8 hexadecimal digits (RGB, RGBA,
// RRGGBB, RRGGBBAA), turned into sRGB colours and back, with a process-wide
// cache of colours by code. Any code that is not one of those forms gives
// opaque black. Thread-safe.
class ZORVAK_color {
public:
    ZORVAK_color() = delete;

    // Red, green, blue and alpha, each 0.0 to 1.0.
    using Components = std::array<double, 4>;

    static inline const QString fallbackCode = QStringLiteral("#000000");

    // The components of `hexCode`. White space around the code and any number of
    // leading "#" are ignored; a code of another length or holding anything but
    // hexadecimal digits gives (0, 0, 0, 1).
    static Components colorComponents(const QString& hexCode);
    // The alpha of `hexcode`: 1.0 for 3- and 6-digit codes and invalid codes.
    static double alphaForHexcode(const QString& hexcode);
    // The 8-digit code of `hexcode`'s colour with its alpha replaced by
    // `changingAlpha`, clamped to 0.0-1.0.
    static QString hexcode(const QString& hexcode, double changingAlpha);
    // "#RRGGBBAA" or, without alpha, "#RRGGBB"; components are clamped to
    // 0.0-1.0, multiplied by 255 and truncated (0.5 gives 7F).
    static QString hexcodeForRGBAComponents(const Components& components, bool includingAlpha);
    // The code of an RGB or CMYK colour; "#000000" for colours of any other model.
    static QString hexcodeForColor(const QColor& color, bool includingAlpha = true);
    static QString hexcodeForColorIgnoringAlpha(const QColor& color);

    // A new sRGB colour of the code.
    static QColor createColorWithHexcode(const QString& hexcode);
    // The colour space every colour of this class lives in.
    static QColorSpace colorSpace();

    // The cache: a snapshot of its entries (key to colour).
    static QHash<QString, QColor> colorsDict();
    // Stores the colour of `hexcode` under `key`, replacing an earlier entry.
    static void setColorWithHexcode(const QString& hexcode, const QString& forKey);
    // The colour cached under `key`; an invalid colour when there is none.
    static QColor colorForKey(const QString& key);
    // The colour of `hexcode`, cached under the code text exactly as given
    // ("#fff" and "#FFF" are two entries); an invalid colour for a null code.
    static QColor colorForHexcode(const QString& hexcode);
};
