#include "printing/dnp/DNPCommandPackets.h"

#include "platform/Log.h"
#include "printing/dnp/DNPTableLookup.h"

#include <cstring>

namespace {

constexpr std::size_t HeaderSize = 32;
constexpr std::size_t CommandOffset = 2;
constexpr std::size_t LengthOffset = 24;
// The length field holds eight decimal digits.
constexpr qsizetype LongestPayload = 99'999'999;
const char* const SourceName = "dnp-photo";

// The payload size a command insists on: none (a payload is logged but still sent), any
// size, or exactly 4 or 8 bytes.
enum class Payload { None, Any, Four, Eight };

struct Command {
    long long code;
    const char* word;
    const char* parameter;
    Payload payload;
};

const Command Commands[] = {
    {0, "STATUS", "", Payload::None},
    {1, "INFO  ", "FVER", Payload::None},
    {2, "INFO  ", "SERIAL_NUMBER", Payload::None},
    {3, "INFO  ", "SENSOR", Payload::None},
    {4, "INFO  ", "MEDIA", Payload::None},
    {5, "INFO  ", "MEDIA_CLASS_RFID", Payload::None},
    {8, "INFO  ", "FREE_PBUFFER", Payload::None},
    {9, "INFO  ", "MQTY", Payload::None},
    {10, "INFO  ", "RQTY", Payload::None},
    {13, "INFO  ", "MQTY_DEFAULT", Payload::None},
    {14, "INFO  ", "MEDIA_OFFSET", Payload::None},
    {15, "INFO  ", "UNIT_FVER", Payload::None},
    {16, "INFO  ", "UNIT_STATUS", Payload::None},
    {17, "INFO  ", "UNIT_CUT_PAPER", Payload::None},
    {18, "MNT_RD", "COUNTER_DUPLEX", Payload::None},
    {19, "CNTRL ", "DUPLEX_CANCEL", Payload::None},
    {20, "INFO  ", "PANORAMA_PRINT", Payload::None},
    {21, "CNTRL ", "CONT_PANORAMA", Payload::Eight},
    {22, "CNTRL ", "QTY", Payload::Eight},
    {23, "IMAGE ", "MULTICUT", Payload::Eight},
    {24, "CNTRL ", "OVERCOAT", Payload::Eight},
    {25, "IMAGE ", "YPLANE", Payload::Any},
    {26, "IMAGE ", "MPLANE", Payload::Any},
    {27, "IMAGE ", "CPLANE", Payload::Any},
    {28, "CNTRL ", "CUTTER", Payload::Eight},
    {29, "CNTRL ", "FULL_CUTTER_SET", Payload::Any},
    {30, "CNTRL ", "PRINTSPEED", Payload::Eight},
    {31, "CNTRL ", "START", Payload::None},
    {32, "CNTRL ", "BUFFCNTRL", Payload::Eight},
    {33, "TBL_CL", "", Payload::None},
    {34, "TBL_WT", "CTRLD_UPDATE_CW", Payload::Any},
    {35, "TBL_RD", "Version", Payload::None},
    {36, "TBL_WT", "Version", Payload::Any},
    {37, "MNT_RD", "CTRLD_CHKSUM", Payload::None},
    {38, "TBL_RD", "CWD300_Version", Payload::Any},
    {39, "TBL_RD", "CWD600_Version", Payload::Any},
    {40, "TBL_RD", "CWD610_Version", Payload::Any},
    {41, "TBL_RD", "CWD620_Version", Payload::Any},
    {42, "TBL_RD", "CWD300_Checksum", Payload::Any},
    {43, "TBL_RD", "CWD600_Checksum", Payload::Any},
    {44, "TBL_RD", "CWD610_Checksum", Payload::Any},
    {45, "TBL_RD", "CWD620_Checksum", Payload::Any},
    {46, "MNT_RD", "COUNTER_LIFE", Payload::None},
    {47, "MNT_RD", "COUNTER_A", Payload::None},
    {48, "MNT_RD", "COUNTER_B", Payload::None},
    {49, "MNT_WT", "COUNTER_CLEAR", Payload::Four},
    {50, "MNT_RD", "COUNTER_P", Payload::None},
    {51, "MNT_WT", "COUNTERP_SET", Payload::Eight},
    {52, "MNT_RD", "COUNTER_MATTE", Payload::None},
    {53, "MNT_RD", "COUNTER_M", Payload::None},
    {54, "FW_UPD", "FLASH_REWRITE", Payload::None},
    {55, "FW_UPD", "FLASH_PROGRAM", Payload::Any},
    {56, "MNT_WT", "USB_ISERI_SET", Payload::Four},
    {57, "MNT_RD", "USB_ISERI_SET", Payload::None},
};

// The command word followed at once by its parameter.
QByteArray commandText(const Command& command)
{
    return QByteArray(command.word) + command.parameter;
}

void logPayloadSize(const char* judgement, quint64 code, int line)
{
    platform::Log::error(QStringLiteral("%1 payload size for command code:%2 (%3:L%4)")
                             .arg(QLatin1String(judgement))
                             .arg(code)
                             .arg(QLatin1String(SourceName))
                             .arg(line));
}

// The one payload size a command insists on; 0 when it takes any size.
qsizetype requiredSize(Payload rule)
{
    return rule == Payload::Four ? 4 : rule == Payload::Eight ? 8 : 0;
}

// Whether `payload` may go with the command: a fixed size must match, and every payload must
// fit the length field. A payload the command does not expect is logged and let through.
bool acceptsPayload(const Command* command, quint64 code, const QByteArray& payload)
{
    const Payload rule = command ? command->payload : Payload::None;
    const qsizetype required = requiredSize(rule);
    if ((required && payload.size() != required) || payload.size() > LongestPayload) {
        logPayloadSize("incorrect", code, __LINE__);
        return false;
    }
    if (rule == Payload::None && !payload.isEmpty())
        logPayloadSize("unrecognized", code, __LINE__);
    return true;
}

} // namespace

std::optional<QByteArray> dnp_printerCommandData(quint64 code, const QByteArray& payload)
{
    const Command* command = DNPTables::findRow(Commands, code);
    if (!acceptsPayload(command, code, payload))
        return std::nullopt;
    QByteArray packet(qsizetype(HeaderSize) + payload.size(), ' ');
    packet[0] = '\x1b';
    packet[1] = 'P';
    if (!command)
        platform::Log::log(QStringLiteral("Internal error 3 L%1").arg(__LINE__));
    else
        safeCopyCStringToBufferAtOffset(commandText(*command).constData(), packet.data(), LengthOffset, CommandOffset);
    if (!payload.isEmpty()) {
        const QByteArray length = QByteArray::number(payload.size()).rightJustified(8, '0');
        safeCopyCStringToBufferAtOffset(length.constData(), packet.data(), HeaderSize, LengthOffset);
        std::memcpy(packet.data() + HeaderSize, payload.constData(), std::size_t(payload.size()));
    }
    return packet;
}

std::optional<QString> dnp_stringForCommandCode(quint64 code)
{
    const Command* command = DNPTables::findRow(Commands, code);
    if (!command)
        return std::nullopt;
    return QString::fromLatin1(commandText(*command));
}

bool safeCopyCStringToBufferAtOffset(const char* text, char* buffer, std::size_t bufferSize, std::size_t offset)
{
    if (!text || !buffer || bufferSize == 0) {
        platform::Log::log(QStringLiteral("Internal error 2 L%1").arg(__LINE__));
        return false;
    }
    const std::size_t length = std::strlen(text);
    if (offset > bufferSize || length > bufferSize - offset) {
        platform::Log::log(QStringLiteral("Internal error 1 L%1").arg(__LINE__));
        return false;
    }
    std::memcpy(buffer + offset, text, length);
    return true;
}
