#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <optional>

// The packets that carry one command to a DNP printer: a 32-byte header of ESC, "P", the
// command text padded with spaces to offset 23 and the payload length as eight decimal digits
// at offset 24 (eight spaces without a payload), then the payload. Nothing in the system sends
// them; they are offered to the program that drives the printer.

// The packet of command `code` with `payload`; none (logged) when a command of a fixed payload
// size gets another size or the payload is too long for the length field. A code without a
// command text gives a header of spaces (logged).
std::optional<QByteArray> dnp_printerCommandData(quint64 code, const QByteArray& payload = {});
// The command text of `code`: the six-character command word and its parameter; none for codes
// without a command.
std::optional<QString> dnp_stringForCommandCode(quint64 code);

// Copies `text` without its terminating zero into `buffer` of `bufferSize` bytes at `offset`;
// false (logged) when an argument is missing or the text does not fit.
bool safeCopyCStringToBufferAtOffset(const char* text, char* buffer, std::size_t bufferSize, std::size_t offset);
