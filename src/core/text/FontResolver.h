#pragma once

#include <QFont>
#include <QString>

// Turns the PostScript-style font names that templates carry
// ("Helvetica-BoldOblique", "ArialMT", "Times-Roman", "HelveticaNeue-Light")
// into fonts this machine has. The name splits at its first "-" into a family
// and style words (Bold, Oblique, Light, ...; MT and PS are vendor marks).
// A family that is installed is used as it is; the well-known Mac families map
// to their metric-compatible free equivalents (Nimbus Sans for Helvetica,
// Liberation Sans for Arial, Nimbus Roman for Times, Nimbus Mono PS for
// Courier); anything else falls back to the default sans-serif font.
class FontResolver {
public:
    // The font for `name`, `pixelSize` pixels high (one canvas unit is one pixel).
    static QFont fontWithName(const QString& name, int pixelSize);
    // Whether `name` gives an installed family or the installed stand-in of a
    // well-known Mac family, rather than the last-resort fallback.
    static bool isAvailable(const QString& name);
};
