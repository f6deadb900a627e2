#include "printing/dnp/DNPStatusTexts.h"

#include "DNPTableRows.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kova::test::dnp;

TEST(DNPStatusTexts, everyStatusOfTheTableAndOnlyNumbersAreLookedUp)
{
    const auto rows = tableRows(QStringLiteral("statuses.md"));
    ASSERT_EQ(rows.size(), 24u);
    for (const QStringList& cells : rows) {
        const QString description = quotedTexts(cells[1]).first();
        EXPECT_EQ(dnp_stringForStatus(cells[0]), description) << cells[0].toStdString();
        EXPECT_EQ(dnp_stringForStatus(QStringLiteral("\t000") + cells[0] + QStringLiteral("\r\n")), description);
    }
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("2610"), QStringLiteral("Motor Temp Error")},
        {QStringLiteral("01000 "), QStringLiteral("Cover Open")},
        {QStringLiteral("FU00001"), QStringLiteral("Firmware Update Mode")},
        {QStringLiteral("42"), QStringLiteral("Unknown Status: 42")},
        {QString(), QStringLiteral("Unknown Status: ")},
        {QStringLiteral(" "), QStringLiteral("Unknown Status:  ")},
        {QStringLiteral("abc"), QStringLiteral("Unknown Status: abc")},
        {QStringLiteral("0abc"), QStringLiteral("Unknown Status: 0abc")},
        {QStringLiteral("-0"), QStringLiteral("Unknown Status: -0")},
        {QStringLiteral("+1"), QStringLiteral("Unknown Status: +1")},
        {QStringLiteral("1 000"), QStringLiteral("Unknown Status: 1 000")},
        {QStringLiteral("99999999999999999999999"), QStringLiteral("Unknown Status: 99999999999999999999999")},
        {QStringLiteral("\u0661"), QStringLiteral("Unknown Status: \u0661")},
        {QStringLiteral("\u00a01"), QStringLiteral("Unknown Status: \u00a01")},
        {QStringLiteral("fu00001"), QStringLiteral("Unknown Status: fu00001")},
    };
    for (const auto& [status, description] : cases)
        EXPECT_EQ(dnp_stringForStatus(status), description) << status.toStdString();
}

TEST(DNPStatusTexts, waitListsAndRemainingMedia)
{
    EXPECT_EQ(dnp_waitCodesAcceptableForQueueing(),
              QStringList({QStringLiteral("Idle"), QStringLiteral("Printing"),
                           QStringLiteral("Sleeping (standby mode)")}));
    EXPECT_EQ(dnp_waitCodesAcceptableForReceiving(), QStringList({QStringLiteral("Idle"), QStringLiteral("Printing")}));
    EXPECT_EQ(dnp_mediaRemainingForMQTY(QStringLiteral("MQTY00350")), 350);
    EXPECT_EQ(dnp_mediaRemainingForMQTY(QStringLiteral("MQTY")), 0);
    EXPECT_EQ(dnp_mediaRemainingForMQTY(QStringLiteral("MQTYabc")), 0);
    EXPECT_EQ(dnp_mediaRemainingForMQTY(QStringLiteral("00120")), 120);
}

TEST(DNPStatusTexts, codeNamesAndTheirOtherValues)
{
    const struct {
        QString (*name)(qint64);
        std::vector<std::pair<qint64, QString>> names;
        QString other;
    } tables[] = {
        {dnp_nameForQuality,
         {{0, "High Speed"}, {10, "High Quality"}, {20, "Low Speed"}, {30, "High Density"}},
         QStringLiteral("Unknown")},
        {dnp_nameForOvercoat,
         {{0, "Glossy"}, {1, "Matte"}, {21, "Fine Matte"}, {22, "Luster"}, {101, "Partial Matte"},
          {121, "Partial Fine Matte"}, {122, "Partial Luster"}},
         QStringLiteral("unknown")},
        {dnp_printerNameForProductID,
         {{3, "DS-40"}, {4, "DS-80"}, {5, "DS-RX1"}, {8, "DS-80DX"}, {35585, "DS620"}, {36865, "DS820"}},
         QStringLiteral("unknown model")},
    };
    for (const auto& table : tables) {
        for (const auto& [code, name] : table.names)
            EXPECT_EQ(table.name(code), name) << code;
        for (qint64 other : {qint64(-1), qint64(2), qint64(6), qint64(7), qint64(35585) + (qint64(1) << 32),
                             std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()})
            EXPECT_EQ(table.name(other), table.other) << other;
    }
}
