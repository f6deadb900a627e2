#include "printing/dnp/DNPFrames.h"

#include "platform/text/GeometryText.h"
#include "printing/dnp/DNPMediaTables.h"

#include "DNPTableRows.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>

using namespace kova::test::dnp;
using platform::GeometryText::rectFromString;

namespace {

QString rect(double x, double y, double w, double h)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}").arg(x).arg(y).arg(w).arg(h);
}

QString size(double w, double h)
{
    return QStringLiteral("{%1, %2}").arg(w).arg(h);
}

struct Parts {
    std::vector<uint32_t> parts;
    double gap;
};

// The multicuts stacked from parts, by code.
std::map<qint64, Parts> partRows()
{
    std::map<qint64, Parts> rows;
    for (const QStringList& cells : tableRows(QStringLiteral("frame-parts.md"))) {
        const std::vector<uint32_t> parts = codeList(cells[1]);
        if (!parts.empty())
            rows[cells[0].toLongLong()] = {parts, cells[2].toDouble()};
    }
    return rows;
}

} // namespace

TEST(DNPFrames, stackedMulticutsTakeTheirPartsBottomFirstAtTheLeftEdge)
{
    const auto rows = partRows();
    ASSERT_EQ(rows.size(), 18u);
    for (const auto& [code, row] : rows) {
        for (bool hiRes : {false, true}) {
            SCOPED_TRACE(testing::Message() << code << (hiRes ? " hi-res" : ""));
            const double s = hiRes ? 2 : 1;
            QStringList expected;
            double y = 0;
            for (uint32_t part : row.parts) {
                const QSizeF partSize = dnp_pixelsForMulticut(part);
                expected.append(rect(0, y, partSize.width(), partSize.height() * s));
                y += (partSize.height() + row.gap) * s;
            }
            EXPECT_EQ(dnp_framesForMulticut(code, hiRes), expected);
        }
    }
}

TEST(DNPFrames, framesOfSingleFixedAndUndefinedMulticuts)
{
    const struct {
        qint64 multicut;
        bool hiRes;
        QStringList frames;
    } cases[] = {
        {20, false, {rect(0, 0, 2448, 1236), rect(0, 1266, 2448, 1236), rect(0, 2532, 2448, 1236)}},
        {12, true, {rect(0, 0, 1844, 2480), rect(0, 2516, 1844, 2480)}},
        {28, false, {rect(0, 0, 2448, 1236), rect(0, 1234, 2448, 1236), rect(0, 2468, 2448, 1236)}},
        {2, false, {rect(0, 0, 1844, 1240)}},
        {1, true, {rect(0, 0, 1548, 2176)}},
        {23, false, {rect(0, 0, 0, 0)}},
        {-1, true, {rect(0, 0, 0, 0)}},
        {std::numeric_limits<qint64>::max(), false, {rect(0, 0, 0, 0)}},
        {95, false, {rect(26, 22, 750, 1050), rect(26, 1073, 750, 1050), rect(26, 2124, 750, 300),
                     rect(777, 22, 1050, 750), rect(777, 773, 1050, 750), rect(777, 1524, 1050, 750),
                     rect(777, 2275, 1050, 152)}},
        {95, true, {rect(26, 44, 750, 2100), rect(26, 2146, 750, 2100), rect(26, 4248, 750, 600),
                    rect(777, 44, 1050, 1500), rect(777, 1546, 1050, 1500), rect(777, 3048, 1050, 1500),
                    rect(777, 4550, 1050, 304)}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dnp_framesForMulticut(c.multicut, c.hiRes), c.frames) << c.multicut << " " << c.hiRes;
    EXPECT_EQ(framesForCustom1(true),
              QStringList({rect(26, 1846, 1504, 3008), rect(26, 44, 900, 1800), rect(927, 44, 900, 1800),
                           rect(1531, 1846, 296, 1002), rect(1531, 2848, 296, 1002), rect(1531, 3850, 296, 1004)}));
    EXPECT_EQ(framesForMuticutsAndGap({8, 9}, true, -1.5),
              QStringList({rect(0, 0, 2448, 2472), rect(0, 2469, 2448, 3072)}));
    EXPECT_TRUE(framesForMuticutsAndGap({}, false, 30).isEmpty());
}

// Where the last frame of each stacked sheet ends against the sheet's height: four sheets
// run past it, as their parts are defined; the print page clips them.
TEST(DNPFrames, stackedFramesEndWithinTheirSheetExceptFour)
{
    const std::map<qint64, double> pastTheSheet{{28, 2}, {35, 496}, {91, 39}, {93, 30}, {66, -4}};
    for (const auto& [code, row] : partRows()) {
        const QRectF last = rectFromString(dnp_framesForMulticut(code, false).last());
        const double expected = pastTheSheet.count(code) ? pastTheSheet.at(code) : 0;
        EXPECT_EQ(last.y() + last.height() - dnp_pixelsForMulticut(code).height(), expected) << code;
    }
}

TEST(DNPFrames, stripSizesListPartsAndGapsTopFirst)
{
    const struct {
        qint64 multicut;
        bool hiRes;
        QStringList sizes;
    } cases[] = {
        {12, false, {size(1844, 1240), size(1844, 18), size(1844, 1240)}},
        {12, true, {size(1844, 2480), size(1844, 36), size(1844, 2480)}},
        {16, false, {size(2448, 1536), size(2448, 30), size(2448, 1236)}},
        {19, true, {size(2448, 4872), size(2448, 60), size(2448, 2472)}},
        {20, false, {size(2448, 1236), size(2448, 30), size(2448, 1236), size(2448, 30), size(2448, 1236)}},
        {22, false, {size(1548, 1088), size(1548, 1088)}},
        {28, false, {size(2448, 1234), size(2448, 1234), size(2448, 1234)}},
        {31, false, {size(1844, 1386), size(1844, 30), size(1844, 1386)}},
        {43, false, {size(2528, 1536), size(2528, 30), size(2528, 1536)}},
        {35, true, {size(2528, 3568), size(2528, 60), size(2528, 3568)}},
        {66, false, {size(1844, 1240)}},
        {95, true, {size(1844, 4872)}},
        {-7, false, {size(0, 0)}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dnp_sizesForMulticut(c.multicut, c.hiRes), c.sizes) << c.multicut << " " << c.hiRes;
}
