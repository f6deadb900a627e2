#include "printing/dnp/DNPStatusTexts.h"

#include "platform/text/StringValues.h"
#include "printing/dnp/DNPTableLookup.h"

#include <algorithm>
#include <optional>

namespace {

using DNPTables::NamedCode;
using DNPTables::nameForCode;

const QString FirmwareUpdateAnswer = QStringLiteral("FU00001");
const QString MediaRemainingPrefix = QStringLiteral("MQTY");

constexpr long long Idle = 0;
constexpr long long Printing = 1;
constexpr long long Sleeping = 900;

const NamedCode Statuses[] = {
    {Idle, "Idle"},
    {Printing, "Printing"},
    {500, "Head cool down cycle"},
    {510, "Motor cool down cycle"},
    {Sleeping, "Sleeping (standby mode)"},
    {1000, "Cover Open"},
    {1010, "Scrap Box Missing"},
    {1100, "Paper End"},
    {1200, "Ribbon End"},
    {1300, "Paper Jam"},
    {1400, "Ribbon Error"},
    {1500, "Wrong Paper"},
    {1600, "Bad Data"},
    {2000, "Head Voltage Error"},
    {2100, "Head Position Error"},
    {2200, "Power supply Error"},
    {2300, "Cutter Error"},
    {2400, "Pinch Roller Error"},
    {2500, "Head Temp High Error"},
    {2600, "Media Temp Error"},
    {2610, "Motor Temp Error"},
    {2700, "Ribbon Tension Error"},
    {2800, "RFID Module Error"},
    {3000, "System Fail Error"},
};

const NamedCode ProductNames[] = {
    {3, "DS-40"}, {4, "DS-80"}, {5, "DS-RX1"}, {8, "DS-80DX"}, {35585, "DS620"}, {36865, "DS820"},
};

const NamedCode QualityNames[] = {{0, "High Speed"}, {10, "High Quality"}, {20, "Low Speed"}, {30, "High Density"}};

const NamedCode OvercoatNames[] = {
    {0, "Glossy"},         {1, "Matte"},
    {21, "Fine Matte"},    {22, "Luster"},
    {101, "Partial Matte"}, {121, "Partial Fine Matte"},
    {122, "Partial Luster"},
};

bool isAsciiBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

QString withoutAsciiBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isAsciiBlank(text[begin]))
        ++begin;
    while (end > begin && isAsciiBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// The status number of an answer that is nothing but decimal digits, none otherwise.
std::optional<qint64> statusNumber(const QString& answer)
{
    const QString digits = withoutAsciiBlanks(answer);
    const bool allDigits = !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
    bool fits = false;
    const qint64 number = allDigits ? digits.toLongLong(&fits, 10) : 0;
    return fits ? std::optional<qint64>(number) : std::nullopt;
}

QString statusName(qint64 status)
{
    return nameForCode(Statuses, status, "");
}

} // namespace

QString dnp_stringForStatus(const QString& status)
{
    if (withoutAsciiBlanks(status) == FirmwareUpdateAnswer)
        return QStringLiteral("Firmware Update Mode");
    const std::optional<qint64> number = statusNumber(status);
    const QString name = number ? statusName(*number) : QString();
    return name.isEmpty() ? QStringLiteral("Unknown Status: ") + status : name;
}

QStringList dnp_waitCodesAcceptableForQueueing()
{
    return {statusName(Idle), statusName(Printing), statusName(Sleeping)};
}

QStringList dnp_waitCodesAcceptableForReceiving()
{
    return {statusName(Idle), statusName(Printing)};
}

qint64 dnp_mediaRemainingForMQTY(const QString& answer)
{
    return platform::StringValues::integerValue(DNPTables::withoutPrefix(answer, MediaRemainingPrefix));
}

QString dnp_printerNameForProductID(qint64 productID)
{
    return nameForCode(ProductNames, productID, "unknown model");
}

QString dnp_nameForQuality(qint64 quality)
{
    return nameForCode(QualityNames, quality, "Unknown");
}

QString dnp_nameForOvercoat(qint64 overcoat)
{
    return nameForCode(OvercoatNames, overcoat, "unknown");
}
