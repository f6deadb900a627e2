#pragma once

#include <QString>

namespace platform {

// The order in which people expect names listed: letters compared without regard to
// case, runs of digits compared as the numbers they write ("img2" before "IMG10").
class StringOrder {
public:
    StringOrder() = delete;
    // Negative, zero or positive as `a` sorts before, with or after `b`. Names equal in
    // this order are told apart by their plain case-insensitive and then exact order,
    // so that sorting is stable across runs.
    static int compare(const QString& a, const QString& b);
    static bool lessThan(const QString& a, const QString& b) { return compare(a, b) < 0; }

private:
    static int compareNatural(const QString& a, const QString& b);
    static int compareDigitRuns(const QString& a, qsizetype& i, const QString& b, qsizetype& j);
};

} // namespace platform
