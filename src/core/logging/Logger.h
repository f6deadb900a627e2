#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>

// The process's logger. It writes time-stamped lines of its own to standard
// error by level, and captures everything the process writes to standard error
// (where every part logs) into a log file that rotates at 10 MiB.
class Logger {
public:
    // Lines of the logger's own read "<yyyy-MM-dd HH:mm:ss.SSS>[Q <queue label>] <message>",
    // formatted in the caller and written in order on the "Logger-Writing" queue.
    static void setError(const QString& message);   // always written
    static void setDebug(const QString& message);   // written when the level is above 0
    static void setVerbose(const QString& message); // written when the level is 2 or more

    static qint64 logLevel();
    static void setLogLevel(qint64 level);

    // "<user Logs folder>/<subdirectory>/<process name>.log" (no subdirectory when
    // empty); empty when the user's library folder cannot be found.
    static QUrl defaultLogFileWithinSubdirectory(const QString& subdirectory);
    static QUrl defaultLogFile();

    // The file that receives standard error; empty while nothing is captured.
    static QUrl logFile();
    // Captures standard error into the file (the default log file when empty),
    // appending to what it holds. A second call switches to the new file.
    static void setLogFile(const QUrl& url);

    // Waits for the logger's own lines, then ends the capture: gives descriptor 2
    // back to the original standard error and writes out what is still on its way
    // to the log file. Runs at exit; true when everything was written in time.
    static bool stopCapturing(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // Replaces the clock of the logger's own lines; null restores the system clock.
    static void setClock(std::function<QDateTime()> now);

private:
    static void writeLine(const QString& message);
    static QDateTime now();
};
