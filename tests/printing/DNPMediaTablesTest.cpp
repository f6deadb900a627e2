#include "printing/dnp/DNPMediaTables.h"

#include "DNPTableRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>

using namespace kova::test::dnp;

namespace {

struct MulticutRow {
    QSizeF size;
    QString paperName;
    qint32 media = 20;
};

// The multicut table by code; its "empty text" reads as the empty name.
std::map<qint64, MulticutRow> multicutRows()
{
    std::map<qint64, MulticutRow> rows;
    for (const QStringList& cells : tableRows(QStringLiteral("multicuts.md"))) {
        const QStringList size = cells[1].split(QStringLiteral(" x "));
        const QStringList name = quotedTexts(cells[2]);
        rows[cells[0].toLongLong()] = {QSizeF(size[0].toDouble(), size[1].toDouble()),
                                       name.isEmpty() ? QString() : name.first(), cells[3].toInt()};
    }
    return rows;
}

struct MediaLists {
    std::vector<uint32_t> modes;
    std::vector<uint32_t> supported;
};

// The two multicut lists of each media; "the same" repeats the modes.
std::map<qint64, MediaLists> mediaLists()
{
    std::map<qint64, MediaLists> lists;
    for (const QStringList& cells : tableRows(QStringLiteral("media-multicuts.md"))) {
        if (cells[0] == QStringLiteral("other"))
            continue;
        const std::vector<uint32_t> modes = codeList(cells[1]);
        lists[cells[0].toLongLong()] = {modes, cells[2] == QStringLiteral("the same") ? modes : codeList(cells[2])};
    }
    return lists;
}

bool holds(const std::vector<uint32_t>& codes, qint64 code)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

std::vector<uint32_t> without(const std::vector<uint32_t>& codes, const std::vector<uint32_t>& left)
{
    std::vector<uint32_t> rest;
    std::copy_if(codes.begin(), codes.end(), std::back_inserter(rest),
                 [&](uint32_t code) { return !holds(left, code); });
    return rest;
}

// Every code the printers name and every code around and far beyond them.
std::vector<qint64> everyCode()
{
    std::vector<qint64> codes{std::numeric_limits<qint64>::min(), std::numeric_limits<qint32>::min(), -1,
                              std::numeric_limits<qint32>::max(), qint64(1) << 32 | 2,
                              std::numeric_limits<qint64>::max()};
    for (qint64 code = 0; code <= 96; ++code)
        codes.push_back(code);
    return codes;
}

const qint64 MediaCodes[] = {20, 21, 30, 31, 40, 50, 51, 60};

} // namespace

TEST(DNPMediaTables, everyMulticutCodeAnswersItsRowOrTheOtherValue)
{
    const auto rows = multicutRows();
    const auto lists = mediaLists();
    ASSERT_EQ(rows.size(), 46u);
    for (qint64 code : everyCode()) {
        SCOPED_TRACE(code);
        const auto row = rows.find(code);
        const MulticutRow expected = row == rows.end() ? MulticutRow{QSizeF(0, 0), QString(), 20} : row->second;
        EXPECT_EQ(dnp_pixelsForMulticut(code), expected.size);
        EXPECT_EQ(dnp_pixelsForMulticutHiRes(code), QSizeF(expected.size.width(), expected.size.height() * 2));
        EXPECT_EQ(dnp_paperNameForMulticut(code), expected.paperName);
        EXPECT_EQ(dnp_mediaCodeForMultiCut(code), expected.media);
        for (const auto& [media, list] : lists) {
            SCOPED_TRACE(media);
            EXPECT_EQ(holds(dnp_multicutModesForMedia(media), code), holds(list.modes, code));
            EXPECT_EQ(dnp_mediaTypeSupportsMulticut(QString::number(media), code), holds(list.supported, code));
        }
    }
}

TEST(DNPMediaTables, mediaListsAnswerPerMediaAndNothingForOtherMedia)
{
    for (const auto& [media, list] : mediaLists()) {
        SCOPED_TRACE(media);
        EXPECT_EQ(dnp_multicutModesForMedia(media), list.modes);
        EXPECT_EQ(dnp_multicutModesForMediaType(QStringLiteral("MT%1A").arg(media)), list.modes);
    }
    for (qint64 media : {qint64(0), qint64(-20), qint64(22), qint64(99), std::numeric_limits<qint64>::max()}) {
        EXPECT_TRUE(dnp_multicutModesForMedia(media).empty());
        EXPECT_TRUE(dnp_paperNamesForMedia(media).isEmpty());
        EXPECT_FALSE(dnp_mediaTypeSupportsMulticut(QString::number(media), 1));
    }
}

// The tables' own irregularities, kept as the printers define them.
TEST(DNPMediaTables, listsAreConsistentWithTheMulticutTableAndDifferOnlyWhereGiven)
{
    const std::map<qint64, std::pair<std::vector<uint32_t>, std::vector<uint32_t>>> differences{
        {31, {{66}, {}}},
        {40, {{91}, {}}},
        {60, {{34, 35}, {6, 8, 13, 16, 17, 18, 19, 21, 32, 33}}},
    };
    for (qint64 media : MediaCodes) {
        SCOPED_TRACE(media);
        const std::vector<uint32_t> modes = dnp_multicutModesForMedia(media);
        std::vector<uint32_t> supported;
        for (uint32_t code = 0; code <= 96; ++code) {
            if (dnp_mediaTypeSupportsMulticut(QString::number(media), code))
                supported.push_back(code);
        }
        EXPECT_TRUE(std::is_sorted(modes.begin(), modes.end()));
        std::vector<uint32_t> listed = modes;
        listed.insert(listed.end(), supported.begin(), supported.end());
        for (uint32_t code : listed)
            EXPECT_FALSE(dnp_pixelsForMulticut(code).isEmpty()) << "undefined " << code;
        const auto given = differences.count(media) ? differences.at(media) : decltype(differences)::mapped_type{};
        EXPECT_EQ(without(modes, supported), given.first);
        EXPECT_EQ(without(supported, modes), given.second);
    }
    for (uint32_t code = 0; code <= 96; ++code) {
        if (dnp_pixelsForMulticut(code).isEmpty())
            continue;
        const bool strip = code == 64 || code == 65;
        EXPECT_NE(holds(dnp_multicutModesForMedia(dnp_mediaCodeForMultiCut(code)), code), strip) << "multicut " << code;
    }
}

TEST(DNPMediaTables, widthBandsPickTheFirstHeightLimitStrictlyBelow)
{
    qint64 lowestWidth = -1;
    for (const QStringList& cells : tableRows(QStringLiteral("width-bands.md"))) {
        SCOPED_TRACE(cells[0].toStdString());
        if (cells[0].startsWith(QStringLiteral("above"))) {
            for (qint64 width : {lowestWidth, qint64(2600), std::numeric_limits<qint64>::max()})
                EXPECT_EQ(dnp_multicutForWidthHeight(width, 100, false), 0);
            continue;
        }
        const qint64 highestWidth = cells[0].split(u' ').last().toLongLong();
        for (qint64 width : {lowestWidth, highestWidth}) {
            qint64 previousLimit = -1;
            for (QString limit : cells[1].split(QStringLiteral("; "))) {
                limit.remove(QStringLiteral("below "));
                const qint64 height = limit.section(u':', 0, 0).toLongLong();
                const QStringList codes =
                    limit.section(u':', 1).split(QStringLiteral(" when equal halves are preferred, else "));
                for (bool equalHalves : {false, true}) {
                    const qint32 code = (equalHalves ? codes.first() : codes.last()).trimmed().toInt();
                    for (qint64 below : {previousLimit, height - 1})
                        EXPECT_EQ(dnp_multicutForWidthHeight(width, below, equalHalves), code)
                            << width << " x " << below;
                }
                previousLimit = height;
            }
            EXPECT_EQ(dnp_multicutForWidthHeight(width, previousLimit, true), 0) << width << " x " << previousLimit;
        }
        lowestWidth = highestWidth + 1;
    }
    EXPECT_EQ(dnp_multicutForWidthHeight(1844, 1240, false), 2);
    EXPECT_EQ(dnp_multicutForWidthHeight(1844, 1241, false), 30);
    EXPECT_EQ(dnp_multicutForWidthHeight(2448, 3102, true), 14);
    EXPECT_EQ(dnp_multicutForWidthHeight(2448, 3102, false), 17);
    EXPECT_EQ(dnp_multicutForWidthHeight(2448, 3769, false), 0);
    EXPECT_EQ(dnp_multicutForWidthHeight(-5, -5, false), 1);
}

TEST(DNPMediaTables, mediaTypeTextsGiveTheirCodesNamesAndDefaults)
{
    struct Case {
        QString mediaType;
        QString normalised;
        qint32 code;
        QString name;
        qint32 defaultMulticut;
    };
    const Case cases[] = {
        {QStringLiteral("MT310"), QStringLiteral("31"), 31, QStringLiteral("6x8"), 4},
        {QStringLiteral("31"), QStringLiteral("31"), 31, QStringLiteral("6x8"), 4},
        {QStringLiteral("200"), QStringLiteral("20"), 20, QStringLiteral("5x3.5"), 1},
        {QStringLiteral("MT21"), QStringLiteral("21"), 21, QStringLiteral("5x7"), 3},
        {QStringLiteral("x30y"), QStringLiteral("30"), 30, QStringLiteral("6x4"), 2},
        {QStringLiteral("MT40XX"), QStringLiteral("0X"), 0, QStringLiteral("missing"), 0},
        {QStringLiteral("mt500"), QStringLiteral("50"), 50, QStringLiteral("8x10"), 6},
        {QStringLiteral("510"), QStringLiteral("51"), 51, QStringLiteral("8x12"), 7},
        {QStringLiteral("MT600"), QStringLiteral("60"), 60, QStringLiteral("A4"), 41},
        {QStringLiteral("MT"), QString(), 0, QStringLiteral("missing"), 0},
        {QStringLiteral("M"), QStringLiteral("M"), 0, QStringLiteral("missing"), 0},
        {QString(), QString(), 0, QStringLiteral("missing"), 0},
        {QStringLiteral("MT990"), QStringLiteral("99"), 99, QStringLiteral("missing"), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mediaType.toStdString());
        EXPECT_EQ(dnpNormalizedMediaType(c.mediaType), c.normalised);
        EXPECT_EQ(dnp_mediaCodeForType(c.mediaType), c.code);
        EXPECT_EQ(dnp_mediaNameForType(c.mediaType), c.name);
        EXPECT_EQ(dnp_defaultMulticutForMedia(c.mediaType), c.defaultMulticut);
    }
    for (qint64 media : MediaCodes)
        EXPECT_NE(dnp_mediaNameForSize(media), QStringLiteral("missing")) << media;
    EXPECT_EQ(dnp_mediaNameForSize(std::numeric_limits<qint64>::min()), QStringLiteral("missing"));
    EXPECT_EQ(dnp_mediaClassForCode(1), QStringLiteral("SD"));
    EXPECT_EQ(dnp_mediaClassForCode(QStringLiteral("3")), QStringLiteral("PP"));
    EXPECT_EQ(dnp_mediaClassForCode(2), QStringLiteral("unknown"));
    EXPECT_EQ(dnp_mediaClassForCode(QVariant()), QStringLiteral("unknown"));
}

TEST(DNPMediaTables, namedPaperSizesMatchExactlyAfterTheirPrefix)
{
    const std::pair<QString, qint32> cases[] = {
        {QStringLiteral("6x4"), 2},     {QStringLiteral("dnp6x4"), 2},  {QStringLiteral("6 x 4"), 0},
        {QStringLiteral("DNP6x4"), 0},  {QStringLiteral("dnpdnp6x4"), 0}, {QStringLiteral("6x4.5"), 30},
        {QStringLiteral("dnp8x8"), 11}, {QStringLiteral("8x10 "), 0},   {QString(), 0},
    };
    for (const auto& [name, multicut] : cases)
        EXPECT_EQ(dnp_multicutForNamedPaperSize(name), multicut) << name.toStdString();
}

TEST(DNPMediaTables, paperNamesComeInAscendingOrderOfCode)
{
    EXPECT_EQ(dnp_paperNamesForMedia(30), QStringList({QStringLiteral("6 x 4"), QStringLiteral("6 x 2 (x2)")}));
    EXPECT_EQ(dnp_paperNamesForMulticutModes({66, 2, 65, 64, 23}),
              QStringList({QStringLiteral("6 x 4"), QString(), QString(), QString(), QStringLiteral("6 x 2 (x2)")}));
    EXPECT_TRUE(dnp_paperNamesForMulticutModes({}).isEmpty());
}
