#include "FontResolver.h"

#include <QFontDatabase>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <array>
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

QFont fontOfFamily(const QString& family, QFont::StyleHint hint)
{
    QFont font(family);
    font.setStyleHint(hint);
    return font;
}

QFont installedFamilyFor(const QString& family)
{
    const QString plainFamily = withoutVendorMarks(family);
    for (const QString& candidate : {family, spacedFamily(family), spacedFamily(plainFamily)}) {
        if (!candidate.isEmpty() && QFontDatabase::hasFamily(candidate))
            return fontOfFamily(candidate, QFont::AnyStyle);
    }
    const QString key = QString(plainFamily).remove(QLatin1Char(' ')).toLower();
    for (const Equivalent& equivalent : equivalents) {
        if (key != QLatin1String(equivalent.macFamily))
            continue;
        for (const char* standIn : equivalent.families) {
            if (QFontDatabase::hasFamily(QLatin1String(standIn)))
                return fontOfFamily(QLatin1String(standIn), equivalent.hint);
        }
        return fontOfFamily(QLatin1String(lastResort(equivalent.hint)), equivalent.hint);
    }
    return fontOfFamily(QLatin1String(lastResort(QFont::SansSerif)), QFont::SansSerif);
}

} // namespace

QFont FontResolver::fontWithName(const QString& name, int pixelSize)
{
    const QString trimmed = name.trimmed();
    const qsizetype dash = trimmed.indexOf(QLatin1Char('-'));
    const QString family = dash < 0 ? trimmed : trimmed.left(dash);
    const QString style = dash < 0 ? QString() : trimmed.mid(dash + 1).toLower();
    QFont font = installedFamilyFor(family);
    font.setPixelSize(std::max(1, pixelSize));
    font.setWeight(weightOf(style));
    font.setItalic(style.contains(QLatin1String("italic")) || style.contains(QLatin1String("oblique")));
    return font;
}
