#pragma once

#include "platform/Error.h"

#include <QString>
#include <QVariant>

class ServiceDelegate;

// The work the rendering service does for the application: keeping the
// application's preferences mirrored in the service's own domain (the
// print-to-file sets are read again as soon as their key changes) and running
// one job ticket by its path. Every request is counted in the service's group
// and restarts its idle wait. Called on worker threads, never on the main one.
class KOVA_RenderingEngine {
public:
    static inline const QString ServiceName = QStringLiteral("com.morvanta.KOVA-RenderingEngine");
    static constexpr double IdleSeconds = 600.0;

    explicit KOVA_RenderingEngine(ServiceDelegate& serviceDelegate);

    // Stores `value` under `key`; an invalid value removes the key. Returns once
    // the stored value is in effect: whether it was stored, and `error` when not
    // (a value the preferences file cannot take, a write that failed).
    bool setObject(const QVariant& value, const QString& key, platform::Error* error = nullptr);

    struct Result {
        bool success = false;
        platform::Error error;
    };
    // Makes a job of the ticket at `path` and runs it to its end.
    Result jobTicketPath(const QString& path);

private:
    // Follows the saved print-to-file sets for the whole run of the process.
    static void observeSavedPrintToFileSets();
    static Result runTicket(const QString& path);

    ServiceDelegate& m_serviceDelegate;
};
