#include "printing/dnp/DNPCommandPackets.h"

#include "../common/HostileFiles.h"
#include "DNPTableRows.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <limits>
#include <map>

using namespace kova::test::dnp;
using kova::test::loggedBy;

namespace {

struct CommandRow {
    QString text;
    QString payload; // "none", "any", "4" or "8"
};

// The command table by code; a row for a range of codes names one parameter per code.
std::map<quint64, CommandRow> commandRows()
{
    std::map<quint64, CommandRow> rows;
    for (const QStringList& cells : tableRows(QStringLiteral("commands.md"))) {
        const std::vector<uint32_t> codes = codeList(cells[0]);
        const QStringList texts = quotedTexts(cells[1]);
        for (std::size_t i = 0; i < codes.size(); ++i) {
            const QString parameter = codes.size() > 1 ? texts[qsizetype(i) + 1] : texts.value(1);
            rows[codes[i]] = {texts.first() + parameter, cells[2]};
        }
    }
    return rows;
}

// The packet of `code` and what building it logged.
std::pair<std::optional<QByteArray>, QString> builtAndLogged(quint64 code, const QByteArray& payload)
{
    std::optional<QByteArray> packet;
    const QString log = loggedBy([&] { packet = dnp_printerCommandData(code, payload); });
    return {packet, log};
}

QRegularExpression loggedLine(const QString& message)
{
    QString pattern = QRegularExpression::escape(message);
    return QRegularExpression(pattern.replace(QStringLiteral("LINE"), QStringLiteral("\\d+")) + QStringLiteral("\\n$"));
}

// The header's length field for a payload of `size` bytes.
QByteArray lengthField(qsizetype size)
{
    return size ? QByteArray::number(size).rightJustified(8, '0') : QByteArray(8, ' ');
}

const QString Incorrect = QStringLiteral("ERROR: incorrect payload size for command code:%1 (dnp-photo:LLINE)");
const QString Unrecognized = QStringLiteral("ERROR: unrecognized payload size for command code:%1 (dnp-photo:LLINE)");
const QString NoCommand = QStringLiteral("Internal error 3 LLINE");

} // namespace

TEST(DNPCommandPackets, everyCodeHasItsCommandTextInAHeaderOfSpaces)
{
    const auto rows = commandRows();
    ASSERT_EQ(rows.size(), 54u);
    std::vector<quint64> codes{quint64(1) << 63, std::numeric_limits<quint64>::max()};
    for (quint64 code = 0; code <= 64; ++code)
        codes.push_back(code);
    for (quint64 code : codes) {
        SCOPED_TRACE(code);
        const auto row = rows.find(code);
        const QString text = row == rows.end() ? QString() : row->second.text;
        EXPECT_EQ(dnp_stringForCommandCode(code), row == rows.end() ? std::nullopt : std::optional<QString>(text));
        const QByteArray payload(row == rows.end() ? 0 : row->second.payload.toInt(), 'p');
        const auto [packet, log] = builtAndLogged(code, payload);
        ASSERT_TRUE(packet);
        const QByteArray header = QByteArray("\x1bP") + text.toLatin1().leftJustified(22, ' ');
        EXPECT_EQ(*packet, header + lengthField(payload.size()) + payload);
        if (row == rows.end())
            EXPECT_TRUE(log.contains(loggedLine(NoCommand))) << log.toStdString();
        else
            EXPECT_TRUE(log.isEmpty()) << log.toStdString();
    }
}

TEST(DNPCommandPackets, payloadSizesAreCheckedAsEachCommandInsists)
{
    for (const auto& [code, row] : commandRows()) {
        SCOPED_TRACE(code);
        const qsizetype fixed = row.payload.toInt();
        for (qsizetype payloadSize : {0, 1, 4, 7, 8, 9}) {
            const QByteArray payload(payloadSize, 'p');
            const auto [packet, log] = builtAndLogged(code, payload);
            if (fixed && payloadSize != fixed) {
                EXPECT_FALSE(packet);
                EXPECT_TRUE(log.contains(loggedLine(Incorrect.arg(code)))) << log.toStdString();
                continue;
            }
            ASSERT_TRUE(packet);
            EXPECT_EQ(packet->size(), 32 + payloadSize);
            EXPECT_EQ(packet->mid(24), lengthField(payloadSize) + payload);
            if (payloadSize && row.payload == QStringLiteral("none"))
                EXPECT_TRUE(log.contains(loggedLine(Unrecognized.arg(code)))) << log.toStdString();
            else
                EXPECT_TRUE(log.isEmpty()) << log.toStdString();
        }
    }
}

TEST(DNPCommandPackets, packetsMatchTheirHandWrittenBytes)
{
    const struct {
        quint64 code;
        QByteArray payload;
        const char* fixture;
        QString log;
    } cases[] = {
        {0, {}, "status.hex", {}},
        {1, {}, "firmware-version.hex", {}},
        {5, {}, "media-class-rfid.hex", {}},
        {6, {}, "no-command.hex", NoCommand},
        {23, QByteArray::fromHex("0102030405060708"), "multicut-payload8.hex", {}},
        {49, QByteArray("ABCD"), "counter-clear.hex", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fixture);
        const auto [packet, log] = builtAndLogged(c.code, c.payload);
        ASSERT_TRUE(packet);
        EXPECT_EQ(packet->toHex(' '), hexFixture(QString::fromLatin1(c.fixture)).toHex(' '));
        if (c.log.isEmpty())
            EXPECT_TRUE(log.isEmpty()) << log.toStdString();
        else
            EXPECT_TRUE(log.contains(loggedLine(c.log))) << log.toStdString();
    }
}

TEST(DNPCommandPackets, lengthFieldHoldsEightDigitsAndRefusesLongerPayloads)
{
    const QByteArray plane(2'381'888, 'y');
    const auto [packet, log] = builtAndLogged(25, plane);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->left(32), QByteArray("\x1bPIMAGE YPLANE          02381888"));
    EXPECT_TRUE(packet->mid(32) == plane);
    EXPECT_TRUE(log.isEmpty());

    // Nine digits would run into the payload; the bytes are never read.
    const QByteArray tooLong(100'000'000, Qt::Uninitialized);
    for (quint64 code : {25, 0}) {
        const auto [refused, refusal] = builtAndLogged(code, tooLong);
        EXPECT_FALSE(refused);
        EXPECT_TRUE(refusal.contains(loggedLine(Incorrect.arg(code)))) << refusal.toStdString();
    }
}

TEST(DNPCommandPackets, safeCopyWritesOnlyWhatFits)
{
    const struct {
        const char* text;
        bool withBuffer;
        std::size_t size;
        std::size_t offset;
        QByteArray buffer;
        QString log;
    } cases[] = {
        {"abc", true, 8, 5, "-----abc", {}},
        {"", true, 8, 8, "--------", {}},
        {"abc", true, 8, 6, "--------", QStringLiteral("Internal error 1 LLINE")},
        {"a", true, 8, std::numeric_limits<std::size_t>::max(), "--------", QStringLiteral("Internal error 1 LLINE")},
        {nullptr, true, 8, 0, "--------", QStringLiteral("Internal error 2 LLINE")},
        {"abc", false, 8, 0, "--------", QStringLiteral("Internal error 2 LLINE")},
        {"abc", true, 0, 0, "--------", QStringLiteral("Internal error 2 LLINE")},
    };
    for (const auto& c : cases) {
        QByteArray buffer(8, '-');
        bool copied = false;
        const QString log = loggedBy([&] {
            copied = safeCopyCStringToBufferAtOffset(c.text, c.withBuffer ? buffer.data() : nullptr, c.size, c.offset);
        });
        EXPECT_EQ(buffer, c.buffer);
        EXPECT_EQ(copied, c.log.isEmpty());
        if (c.log.isEmpty())
            EXPECT_TRUE(log.isEmpty()) << log.toStdString();
        else
            EXPECT_TRUE(log.contains(loggedLine(c.log))) << log.toStdString();
    }
}
