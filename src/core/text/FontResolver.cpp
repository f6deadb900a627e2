#include "core/text/FontResolver.h"

#include <QFontDatabase>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

namespace {

struct Equivalent {
    const char* macFamily; // lower case, without spaces or vendor marks
    QFont::StyleHint hint;
    std::array<const char*, 2> families; // installed stand-ins, best first
};

const std::array<Equivalent, 8> equivalents {{
    {"helvetica", QFont::SansSerif, {"Nimbus Sans", "Liberation Sans"}},
    {"helveticaneue", QFont::SansSerif, {"Nimbus Sans", "Liberation Sans"}},
    {"arial", QFont::SansSerif, {"Liberation Sans", "Nimbus Sans"}},
    {"times", QFont::Serif, {"Nimbus Roman", "Liberation Serif"}},
    {"timesnewroman", QFont::Serif, {"Liberation Serif", "Nimbus Roman"}},
    {"courier", QFont::TypeWriter, {"Nimbus Mono PS", "Liberation Mono"}},
    {"couriernew", QFont::TypeWriter, {"Liberation Mono", "Nimbus Mono PS"}},
    {"palatino", QFont::Serif, {"P052", "Nimbus Roman"}},
}};

// Last resorts by kind, from the fonts every installation carries.
const char* lastResort(QFont::StyleHint hint)
{
    switch (hint) {
    case QFont::Serif: return "DejaVu Serif";
    case QFont::TypeWriter: return "DejaVu Sans Mono";
    default: return "DejaVu Sans";
    }
}

// Weight words, compound ones before the words they contain.
const std::array<std::pair<const char*, QFont::Weight>, 14> weightWords {{
    {"extralight", QFont::ExtraLight}, {"ultralight", QFont::ExtraLight},
    {"semibold", QFont::DemiBold}, {"demibold", QFont::DemiBold},
    {"extrabold", QFont::ExtraBold}, {"ultrabold", QFont::ExtraBold},
    {"demi", QFont::DemiBold}, {"heavy", QFont::ExtraBold}, {"black", QFont::Black},
    {"bold", QFont::Bold}, {"medium", QFont::Medium}, {"light", QFont::Light},
    {"thin", QFont::Thin}, {"regular", QFont::Normal},
}};

QFont::Weight weightOf(const QString& style)
{
    for (const auto& [word, weight] : weightWords) {
        if (style.contains(QLatin1String(word)))
            return weight;
    }
    return QFont::Normal; // also "Roman", "Book", "Plain" and no style at all
}

// "TimesNewRomanPSMT" -> "TimesNewRoman".
QString withoutVendorMarks(const QString& family)
{
    static const QRegularExpression vendorMarks(QStringLiteral("\\s*(PSMT|MT|PS)$"));
    return QString(family).remove(vendorMarks);
}

// "HelveticaNeue" -> "Helvetica Neue", as installed families are spelt.
QString spacedFamily(const QString& family)
{
    static const QRegularExpression wordStart(QStringLiteral("(?<=[a-z])(?=[A-Z])"));
    return QString(family).replace(wordStart, QStringLiteral(" "));
}

const Equivalent* equivalentOf(const QString& plainFamily)
{
    const QString key = QString(plainFamily).remove(QLatin1Char(' ')).toLower();
    const auto found = std::find_if(equivalents.cbegin(), equivalents.cend(), [&](const Equivalent& equivalent) {
        return key == QLatin1String(equivalent.macFamily);
    });
    return found == equivalents.cend() ? nullptr : &*found;
}

QFont fontOfFamily(const QString& family, QFont::StyleHint hint)
{
    QFont font(family);
    font.setStyleHint(hint);
    return font;
}

// The installed family itself, or the installed stand-in of a well-known Mac family.
std::optional<QFont> installedFontFor(const QString& family)
{
    const QString plainFamily = withoutVendorMarks(family);
    for (const QString& candidate : {family, spacedFamily(family), spacedFamily(plainFamily)}) {
        if (!candidate.isEmpty() && QFontDatabase::hasFamily(candidate))
            return fontOfFamily(candidate, QFont::AnyStyle);
    }
    const Equivalent* equivalent = equivalentOf(plainFamily);
    if (!equivalent)
        return std::nullopt;
    for (const char* standIn : equivalent->families) {
        if (QFontDatabase::hasFamily(QLatin1String(standIn)))
            return fontOfFamily(QLatin1String(standIn), equivalent->hint);
    }
    return std::nullopt;
}

QFont installedFamilyFor(const QString& family)
{
    if (auto font = installedFontFor(family))
        return *font;
    const Equivalent* equivalent = equivalentOf(withoutVendorMarks(family));
    const QFont::StyleHint hint = equivalent ? equivalent->hint : QFont::SansSerif;
    return fontOfFamily(QLatin1String(lastResort(hint)), hint);
}

// "Helvetica-BoldOblique" -> family "Helvetica", style "boldoblique".
std::pair<QString, QString> splitName(const QString& name)
{
    const QString trimmed = name.trimmed();
    const qsizetype dash = trimmed.indexOf(QLatin1Char('-'));
    if (dash < 0)
        return {trimmed, QString()};
    return {trimmed.left(dash), trimmed.mid(dash + 1).toLower()};
}

} // namespace

bool FontResolver::isAvailable(const QString& name)
{
    return installedFontFor(splitName(name).first).has_value();
}

QFont FontResolver::fontWithName(const QString& name, int pixelSize)
{
    const auto [family, style] = splitName(name);
    QFont font = installedFamilyFor(family);
    font.setPixelSize(std::max(1, pixelSize));
    font.setWeight(weightOf(style));
    font.setItalic(style.contains(QLatin1String("italic")) || style.contains(QLatin1String("oblique")));
    return font;
}
