#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

namespace platform {

// The small bus object through which a second copy of the application reaches
// the running one, at kObjectPath with the interface "com.morvanta.KOVA.Application":
// "activate" brings it to the front; "open" hands it the items the second copy
// was started with, then brings it to the front.
class ApplicationActivation : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.morvanta.KOVA.Application")

public:
    static inline const QString kObjectPath = QStringLiteral("/com/morvanta/KOVA/Application");
    static inline const QString kInterface = QStringLiteral("com.morvanta.KOVA.Application");

    // Takes the items at the given absolute paths; answers a line for each one
    // it did not take, naming it and saying why.
    using OpenItems = std::function<QStringList(const QStringList& paths)>;

    // Both run on the thread that owns this object. Without `onOpen` every item
    // is refused.
    explicit ApplicationActivation(std::function<void()> onActivate, OpenItems onOpen = {});

public Q_SLOTS:
    void activate();
    QStringList open(const QStringList& paths);

private:
    std::function<void()> m_onActivate;
    OpenItems m_onOpen;
};

} // namespace platform
