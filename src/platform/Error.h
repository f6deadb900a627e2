#pragma once

#include <QString>

namespace platform {

// An error as the system reports it: where it comes from (domain), a code and a
// readable message. Passed through completions or Error* out-parameters.
struct Error {
    static inline const QString POSIXDomain = QStringLiteral("NSPOSIXErrorDomain");
    static inline const QString CocoaDomain = QStringLiteral("NSCocoaErrorDomain");
    static inline const QString URLDomain = QStringLiteral("NSURLErrorDomain");
    static inline const QString DefaultsDomain = QStringLiteral("defaults");

    QString domain;
    qint64 code = 0;
    QString message;

    bool isNull() const { return domain.isEmpty() && code == 0 && message.isEmpty(); }

    // "Error Domain=<domain> Code=<code> "<message>"", the form the log lines show.
    QString description() const;

    // A POSIX-domain error for errno value `err`; `context` (a path, an operation)
    // is put before the system's text when given.
    static Error fromErrno(int err, const QString& context = {});
};

// Stores `error` into `out` when the caller asked for it.
inline void setError(Error* out, const Error& error)
{
    if (out)
        *out = error;
}

} // namespace platform
