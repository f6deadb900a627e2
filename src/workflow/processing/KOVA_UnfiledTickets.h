#pragma once

#include "platform/Error.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// What the processor knows of the tickets that ran but are not filed yet, kept where it
// outlives the process: one small record per ticket in the user's state folder, named by
// the ticket's path and generation. A ticket with a record is never run again, by a later
// start of the processor or by a second one on the same hot folder: it is only filed, as
// it ran. A ticket written anew has another generation, so its old record does not count.
//
// Records are written in one step and read as untrusted input: a record that does not
// read, or whose ticket is gone or was written anew, is removed with a log line.
class KOVA_UnfiledTickets {
public:
    struct Record {
        QString ticketPath;
        QByteArray generation;
        platform::Error jobError; // none: the job succeeded
        QString reason; // why it is not filed, in the operator's words; empty before the first try
    };

    // A record is a few short strings; anything larger is not one.
    static constexpr qint64 MaximumRecordSize = 64 * 1024;

    // The folder of the records.
    static QString folder();

    // Stores the record, replacing the one of the same ticket and generation; a failure is
    // logged, and the ticket is then known to this process only.
    static bool store(const Record& record);
    // Forgets the record of that ticket and generation.
    static void remove(const QString& ticketPath, const QByteArray& generation);

    // The record of the ticket as it is now, when it ran and was not filed.
    static std::optional<Record> find(const QString& ticketPath, const QByteArray& generation);
    // Every record whose ticket is still there as it ran.
    static QList<Record> stored();

private:
    static QString recordPath(const QString& ticketPath, const QByteArray& generation);
    // The record in the file, when it reads as one stored under that name.
    static std::optional<Record> read(const QString& path);
    static void discard(const QString& path, const QString& why);
};
