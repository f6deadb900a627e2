#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class OBKVOObservation;

// What the processor window shows of the processor: whether processing is
// switched on ("kovaProcessorIsRunning"), whether a job runs, and the job
// counters. Changes are announced on any thread; the state is read again and
// `changed` told on the main thread only.
class ProcessorStatus : public QObject {
public:
    static inline const QString titleProcessing = QStringLiteral("Processing jobs…");
    static inline const QString titleIdle = QStringLiteral("Idle (waiting for jobs…)");
    static inline const QString titlePaused = QStringLiteral("Paused");

    // Reads the state; `changed` is told of each later change.
    explicit ProcessorStatus(std::function<void()> changed, QObject* parent = nullptr);
    ~ProcessorStatus() override;

    bool isRunning() const { return m_isRunning; }
    bool isProcessing() const { return m_isProcessing; }
    qint64 jobsCompleted() const { return m_jobsCompleted; }
    qint64 jobsFailed() const { return m_jobsFailed; }
    QString buttonTitle() const { return buttonTitle(m_isRunning, m_isProcessing); }
    static QString buttonTitle(bool isRunning, bool isProcessing);

    // Switches processing on or off (absent counts as off).
    static void runState();
    // Sets both job counters to 0.
    static void resetJobStats();

    // Reads the state again and tells `changed`.
    void refresh();

private:
    void read();

    std::function<void()> m_changed;
    std::vector<std::shared_ptr<OBKVOObservation>> m_observations;
    bool m_isRunning = false;
    bool m_isProcessing = false;
    qint64 m_jobsCompleted = 0;
    qint64 m_jobsFailed = 0;
};
