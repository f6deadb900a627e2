#pragma once

#include <QObject>

#include <functional>

// Takes the session's end into the application's own quit path. When the
// session ends, the session manager tells the application to die and the
// platform sends it a Quit event, which would close every window (recording it
// as closed by the user) and leave the event loop. A Quit event that arrives
// while the application is not already ending is stopped here and reported
// instead. The session's state requests (commit data, save state) are no end
// and are left alone. Install on the application object.
class SessionEndFilter : public QObject {
public:
    explicit SessionEndFilter(std::function<void()> sessionEnds, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> m_sessionEnds;
};
