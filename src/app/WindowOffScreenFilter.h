#pragma once

#include <QObject>

#include <functional>

// Watches every top-level window of the application and reports each one that
// leaves the screen: hidden, closed or minimised. Windows it is told to ignore
// report nothing.
class WindowOffScreenFilter : public QObject {
public:
    explicit WindowOffScreenFilter(std::function<void()> offScreen, QObject* parent = nullptr);

    void ignore(const QObject* window) { m_ignored = window; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> m_offScreen;
    const QObject* m_ignored = nullptr;
};
