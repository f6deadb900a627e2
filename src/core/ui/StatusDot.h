#pragma once

#include <QColor>
#include <QIcon>

// The small round dot that tells a state at a glance: the processor's running or
// paused switch, a listed file that is there.
class StatusDot {
public:
    static constexpr int side = 12;
    static const QColor available;
    static const QColor inactive;

    static QIcon icon(const QColor& color);
};
