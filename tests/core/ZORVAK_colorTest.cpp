#include "core/image/ZORVAK_color.h"

#include <gtest/gtest.h>

#include <QSet>

#include <thread>
#include <vector>

namespace {

using Components = ZORVAK_color::Components;

void expectComponents(const QString& code, const Components& expected)
{
    const Components actual = ZORVAK_color::colorComponents(code);
    for (int i = 0; i < 4; ++i)
        EXPECT_DOUBLE_EQ(actual[i], expected[i]) << code.toStdString() << " component " << i;
}

TEST(ZORVAK_colorTest, ReadsTheFourCodeFormsWithOrWithoutHashes)
{
    expectComponents(QStringLiteral("#FFF"), {1, 1, 1, 1});
    expectComponents(QStringLiteral("#F008"), {1, 0, 0, 8 / 15.0});
    expectComponents(QStringLiteral("##00FF00"), {0, 1, 0, 1});
    expectComponents(QStringLiteral("00FF0080"), {0, 1, 0, 128 / 255.0});
    expectComponents(QStringLiteral("#336699"), {0x33 / 255.0, 0x66 / 255.0, 0x99 / 255.0, 1});
    expectComponents(QStringLiteral("#abcdef12"), {0xAB / 255.0, 0xCD / 255.0, 0xEF / 255.0, 0x12 / 255.0});
    expectComponents(QStringLiteral(" #fff \n"), {1, 1, 1, 1});
}

TEST(ZORVAK_colorTest, MalformedCodesGiveOpaqueBlack)
{
    for (const QString& code : {QString(), QStringLiteral(""), QStringLiteral("#"), QStringLiteral("#12345"),
                                QStringLiteral("#GGG"), QStringLiteral("#0x0F"), QStringLiteral("#12 4"),
                                QStringLiteral("#FFFFFFFFF"), QStringLiteral("#F\u00E9F")})
        expectComponents(code, {0, 0, 0, 1});
}

TEST(ZORVAK_colorTest, AlphaOfCodes)
{
    EXPECT_DOUBLE_EQ(ZORVAK_color::alphaForHexcode(QStringLiteral("#FFFFFF")), 1.0);
    EXPECT_DOUBLE_EQ(ZORVAK_color::alphaForHexcode(QStringLiteral("#00000055")), 85 / 255.0);
    EXPECT_DOUBLE_EQ(ZORVAK_color::alphaForHexcode(QStringLiteral("junk")), 1.0);

    EXPECT_EQ(ZORVAK_color::hexcode(QStringLiteral("#F00"), 0.5), QStringLiteral("#FF00007F"));
    EXPECT_EQ(ZORVAK_color::hexcode(QStringLiteral("#F00"), 2.0), QStringLiteral("#FF0000FF"));
    EXPECT_EQ(ZORVAK_color::hexcode(QStringLiteral("#F00"), -1), QStringLiteral("#FF000000"));
    EXPECT_EQ(ZORVAK_color::hexcode(QStringLiteral("#00000055"), ZORVAK_color::alphaForHexcode(QStringLiteral("#00000055"))),
              QStringLiteral("#00000055"));
}

TEST(ZORVAK_colorTest, WritesCodesFromComponentsTruncatingAndClamping)
{
    EXPECT_EQ(ZORVAK_color::hexcodeForRGBAComponents({0.2, 0.4, 0.6, 1}, true), QStringLiteral("#336699FF"));
    EXPECT_EQ(ZORVAK_color::hexcodeForRGBAComponents({0.2, 0.4, 0.6, 1}, false), QStringLiteral("#336699"));
    EXPECT_EQ(ZORVAK_color::hexcodeForRGBAComponents({0.5, 0, 0, 0.5}, true), QStringLiteral("#7F00007F"));
    EXPECT_EQ(ZORVAK_color::hexcodeForRGBAComponents({1.7, -0.3, 1, 3}, true), QStringLiteral("#FF00FFFF"));
}

TEST(ZORVAK_colorTest, CodesOfColoursByModel)
{
    EXPECT_EQ(ZORVAK_color::hexcodeForColor(QColor::fromRgbF(0.2f, 0.4f, 0.6f, 1.0f)), QStringLiteral("#336699FF"));
    EXPECT_EQ(ZORVAK_color::hexcodeForColorIgnoringAlpha(QColor::fromRgbF(0.2f, 0.4f, 0.6f, 0.5f)), QStringLiteral("#336699"));
    EXPECT_EQ(ZORVAK_color::hexcodeForColor(QColor::fromCmykF(0, 0, 0, 0, 1)), QStringLiteral("#FFFFFFFF"));
    EXPECT_EQ(ZORVAK_color::hexcodeForColor(QColor::fromCmykF(0, 1, 1, 0.5f, 1)), QStringLiteral("#7F0000FF"));
    EXPECT_EQ(ZORVAK_color::hexcodeForColor(QColor::fromHslF(0.5f, 0.5f, 0.5f)), QStringLiteral("#000000"));
    EXPECT_EQ(ZORVAK_color::hexcodeForColor(QColor()), QStringLiteral("#000000"));
}

TEST(ZORVAK_colorTest, ColoursMadeFromCodesGiveTheCodesBack)
{
    for (const QString& code : {QStringLiteral("#00000055"), QStringLiteral("#7F7F7F7F"), QStringLiteral("#01FE8081"),
                                QStringLiteral("#FFFFFFFF")})
        EXPECT_EQ(ZORVAK_color::hexcodeForColor(ZORVAK_color::createColorWithHexcode(code)), code);
    EXPECT_EQ(ZORVAK_color::hexcodeForColor(ZORVAK_color::createColorWithHexcode(QStringLiteral("#a5c"))), QStringLiteral("#AA55CCFF"));
    EXPECT_EQ(ZORVAK_color::createColorWithHexcode(QStringLiteral("#F00")), QColor(255, 0, 0));
}

TEST(ZORVAK_colorTest, CacheKeepsOneColourPerCodeText)
{
    EXPECT_FALSE(ZORVAK_color::colorForHexcode(QString()).isValid());
    EXPECT_FALSE(ZORVAK_color::colorForKey(QStringLiteral("never stored")).isValid());

    const QColor first = ZORVAK_color::colorForHexcode(QStringLiteral("#1a2b3c"));
    EXPECT_EQ(first, QColor(0x1a, 0x2b, 0x3c));
    EXPECT_EQ(ZORVAK_color::colorForHexcode(QStringLiteral("#1a2b3c")), first);
    EXPECT_TRUE(ZORVAK_color::colorsDict().contains(QStringLiteral("#1a2b3c")));
    EXPECT_FALSE(ZORVAK_color::colorsDict().contains(QStringLiteral("#1A2B3C")));

    ZORVAK_color::setColorWithHexcode(QStringLiteral("#0F0"), QStringLiteral("accent"));
    EXPECT_EQ(ZORVAK_color::colorForKey(QStringLiteral("accent")), QColor(0, 255, 0));
    ZORVAK_color::setColorWithHexcode(QStringLiteral("#00F"), QStringLiteral("accent"));
    EXPECT_EQ(ZORVAK_color::colorForKey(QStringLiteral("accent")), QColor(0, 0, 255));
}

TEST(ZORVAK_colorTest, ConcurrentLookupsAgree)
{
    std::vector<std::thread> threads;
    std::vector<QList<QColor>> seen(8);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &seen] {
            for (int i = 0; i < 500; ++i)
                seen[t].append(ZORVAK_color::colorForHexcode(QStringLiteral("#%1").arg(i % 50, 6, 16, QLatin1Char('0'))));
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int t = 1; t < 8; ++t)
        EXPECT_EQ(seen[t], seen[0]);
    EXPECT_EQ(seen[0][49], QColor(0, 0, 49));
}

} // namespace
