#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// Takes SIGTERM and SIGINT into the event loop: the signal handler only writes a
// byte into a pipe, and the main thread, woken by the pipe, runs the handler.
// One per process.
class TerminationSignals : public QObject {
public:
    explicit TerminationSignals(std::function<void(int signal)> handler, QObject* parent = nullptr);
    ~TerminationSignals() override;

private:
    void readSignals();

    std::function<void(int signal)> m_handler;
    QSocketNotifier* m_notifier = nullptr;
};
