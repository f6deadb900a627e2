#pragma once

#include <QObject>

#include <functional>

namespace platform {

// The small bus object through which a second copy of the application asks the
// running one to come to the front: method "activate" of the interface
// "com.morvanta.KOVA.Application" at kObjectPath.
class ApplicationActivation : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.morvanta.KOVA.Application")

public:
    static inline const QString kObjectPath = QStringLiteral("/com/morvanta/KOVA/Application");
    static inline const QString kInterface = QStringLiteral("com.morvanta.KOVA.Application");

    // `onActivate` runs on the thread that owns this object.
    explicit ApplicationActivation(std::function<void()> onActivate);

public Q_SLOTS:
    void activate();

private:
    std::function<void()> m_onActivate;
};

} // namespace platform
