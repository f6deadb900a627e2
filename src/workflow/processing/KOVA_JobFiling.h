#pragma once

#include "platform/Error.h"

#include <QString>

class KOVA_Job;

// Files the ticket of a finished job: the job bundle (or the bare ticket) moves
// into the folder the preferences name for completed or failed jobs, under its
// name with the present local time stamped before the extension, and the matching
// counter goes up by one. Stamps of earlier filings are taken off first, so they do
// not pile up. A move never replaces anything: a name already taken gets "-1",
// "-2" ... after the stamp. A ticket that cannot be filed stays where it is, logged,
// and no counter changes. A ticket gone from its hot folder before it could be moved
// was filed by another processor sharing the folder: logged, not counted here.
class KOVA_JobFiling {
public:
    static inline const QString StampFormat = QStringLiteral("yyyyMMdd-HHmmss");
    // Numbered names tried within one second before filing gives up.
    static constexpr int MaximumNumberedNames = 1000;

    // True when the ticket left its hot folder: moved and counted, or gone meanwhile.
    // Otherwise `whyNot`, when given, receives the reason in the operator's words.
    // Logs how the job ended and, when the ticket stays, why.
    static bool fileJob(const KOVA_Job& job, const platform::Error& error, QString* whyNot = nullptr);
    // Tries again to file the ticket of a job that ended as logged before: nothing is
    // logged unless the ticket leaves its hot folder, so that a retry every few seconds
    // does not repeat the job's end.
    static bool fileAgain(const KOVA_Job& job, bool succeeded, QString* whyNot);

    // The name `fileName` is filed under at `stamp`; `number` > 0 follows the stamp
    // as "-number". The end of a long base gives way, so that the name fits 255 bytes.
    static QString filedName(const QString& fileName, const QString& stamp, int number = 0);

private:
    // One try; `failure` receives the log line of a ticket that stays.
    static bool file(const KOVA_Job& job, bool succeeded, QString* whyNot, QString& failure);
    static bool moveUnderFreeName(const QString& item, const QString& folder, QString& target, platform::Error& error);
};
