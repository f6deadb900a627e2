#include "core/text/FontResolver.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QStringList>

namespace {

const QStringList sansFamilies {QStringLiteral("Nimbus Sans"), QStringLiteral("Liberation Sans")};
const QStringList serifFamilies {QStringLiteral("Nimbus Roman"), QStringLiteral("Liberation Serif")};
const QStringList monospaceFamilies {QStringLiteral("Nimbus Mono PS"), QStringLiteral("Liberation Mono")};

// The family a font resolved to, without the foundry Qt appends when two
// foundries offer the same family name ("Nimbus Sans [urw]").
QString familyOf(const QFont& font)
{
    const QString family = QFontInfo(font).family();
    return family.left(family.indexOf(QStringLiteral(" [")));
}

struct Expectation {
    const char* name;
    const QStringList& families; // what the installed fonts must give
    bool bold;
    bool italic;
};

TEST(FontResolverTest, MacNamesResolveToInstalledEquivalentsWithTheirStyle)
{
    const Expectation expectations[] = {
        {"Helvetica", sansFamilies, false, false},
        {"Helvetica-Bold", sansFamilies, true, false},
        {"Helvetica-BoldOblique", sansFamilies, true, true},
        {"Helvetica-Oblique", sansFamilies, false, true},
        {"Helvetica Neue", sansFamilies, false, false},
        {"ArialMT", sansFamilies, false, false},
        {"Arial-BoldMT", sansFamilies, true, false},
        {"Arial-BoldItalicMT", sansFamilies, true, true},
        {"Times-Roman", serifFamilies, false, false},
        {"Times-Bold", serifFamilies, true, false},
        {"TimesNewRomanPSMT", serifFamilies, false, false},
        {"Courier", monospaceFamilies, false, false},
        {"Courier-BoldOblique", monospaceFamilies, true, true},
    };
    for (const Expectation& expected : expectations) {
        const QFont font = FontResolver::fontWithName(QLatin1String(expected.name), 48);
        const QFontInfo info(font);
        EXPECT_TRUE(expected.families.contains(familyOf(font))) << expected.name << " gave " << familyOf(font).toStdString();
        EXPECT_EQ(info.bold(), expected.bold) << expected.name;
        EXPECT_EQ(info.italic(), expected.italic) << expected.name;
        EXPECT_EQ(info.pixelSize(), 48) << expected.name;
    }
    EXPECT_TRUE(QFontInfo(FontResolver::fontWithName(QStringLiteral("Courier"), 20)).fixedPitch());
}

TEST(FontResolverTest, WeightWordsAskForTheirWeight)
{
    EXPECT_EQ(FontResolver::fontWithName(QStringLiteral("HelveticaNeue-Light"), 20).weight(), QFont::Light);
    EXPECT_EQ(FontResolver::fontWithName(QStringLiteral("HelveticaNeue-UltraLight"), 20).weight(), QFont::ExtraLight);
    EXPECT_EQ(FontResolver::fontWithName(QStringLiteral("HelveticaNeue-Medium"), 20).weight(), QFont::Medium);
    EXPECT_EQ(FontResolver::fontWithName(QStringLiteral("AvenirNext-DemiBold"), 20).weight(), QFont::DemiBold);
    EXPECT_EQ(FontResolver::fontWithName(QStringLiteral("Arial-Black"), 20).weight(), QFont::Black);
    EXPECT_EQ(FontResolver::fontWithName(QStringLiteral("MarkerFelt-Thin"), 20).weight(), QFont::Thin);
    EXPECT_EQ(FontResolver::fontWithName(QStringLiteral("Times-Roman"), 20).weight(), QFont::Normal);
}

TEST(FontResolverTest, UnknownNamesFallBackToTheDefaultSansSerifAtTheRequestedSize)
{
    QFont sansSerif(QStringLiteral("sans-serif"));
    sansSerif.setStyleHint(QFont::SansSerif);
    const QString defaultSans = familyOf(sansSerif);
    for (const char* name : {"MarkerFelt-Thin", "NoSuchFamily", "", "-Bold", "Chalkboard-"}) {
        const QFont font = FontResolver::fontWithName(QLatin1String(name), 37);
        EXPECT_EQ(familyOf(font), defaultSans) << name;
        EXPECT_EQ(QFontInfo(font).pixelSize(), 37) << name;
    }
    EXPECT_TRUE(QFontInfo(FontResolver::fontWithName(QStringLiteral("NoSuchFamily-Bold"), 12)).bold());
    EXPECT_EQ(QFontInfo(FontResolver::fontWithName(QStringLiteral("NoSuchFamily"), 0)).pixelSize(), 1);
}

// Text layers log a substitution for exactly the names that would fall back.
TEST(FontResolverTest, NamesAreAvailableWhenTheyResolveToAnInstalledFamilyOrStandIn)
{
    for (const char* name : {"Helvetica-Bold", "ArialMT", "Times-Roman", "DejaVu Sans", "LiberationSans-Bold"})
        EXPECT_TRUE(FontResolver::isAvailable(QLatin1String(name))) << name;
    for (const char* name : {"NoSuchFamily", "MarkerFelt-Thin", "", "-Bold"})
        EXPECT_FALSE(FontResolver::isAvailable(QLatin1String(name))) << name;
}

} // namespace
