#pragma once

// Whether the application is ending. Windows that record their visibility when
// closed ask it: while the application ends, the close is no choice of the user's
// and writes nothing, so the same windows open at the next launch.
class ApplicationTermination {
public:
    static bool isTerminating();
    static void markTerminating();
    // Back to running: a quit that was cancelled (and tests).
    static void clear();
};
