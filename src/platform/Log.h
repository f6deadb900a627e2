#pragma once

#include <QByteArrayView>
#include <QString>

// The standard log function: every part of the system logs through it to
// standard error, where the application's log file captures it. A line reads
// "yyyy-MM-dd HH:mm:ss.SSS process[pid:tid] message" in local time.
namespace platform::Log {

void log(const QString& message);
// A failure: the same line with "ERROR: " before the message.
void error(const QString& message);
// The same line to another descriptor (the logger's reports about its own
// capture, which must not be fed back into the captured standard error).
void logToDescriptor(int descriptor, const QString& message);

// Writes every byte, resuming after interruptions and partial writes; false
// (with errno set) when the descriptor fails.
bool writeAll(int descriptor, QByteArrayView bytes);

// The name of the running program, as the log lines and log file names show it.
QString processName();

} // namespace platform::Log
