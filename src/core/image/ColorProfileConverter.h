#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

// Turns 8-bit grey or CMYK samples into an sRGB bitmap through the ICC profile
// that came with them (lcms2, perceptual intent). Qt's colour spaces refuse
// printer and grey profiles, so pictures stored that way take this route.
class ColorProfileConverter {
public:
    enum class Samples {
        Gray,         // 1 byte a pixel
        Cmyk,         // 4 bytes a pixel, 0 is no ink
        InvertedCmyk, // 4 bytes a pixel, 255 is no ink (as Adobe applications store CMYK JPEGs)
    };

    // `samples` holds `size.height()` rows of `bytesPerLine` bytes. The result
    // is an RGB bitmap in the sRGB colour space. Without a usable `profile`
    // (none, unreadable, or for another colour space) grey stays as it is and
    // CMYK is converted naively, and `usedProfile` is set to false.
    static QImage toSRGB(const uchar* samples, qsizetype bytesPerLine, QSize size, Samples layout,
                         const QByteArray& profile, bool* usedProfile = nullptr);
};
