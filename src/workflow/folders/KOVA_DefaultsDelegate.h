#pragma once

#include <QString>
#include <QVariant>

#include <memory>

// What the folder sets need of the application above them: a place that stores a
// preference and keeps the rendering service's copy of it in step. The
// application installs itself at start-up; without an application (the service,
// the tests) nothing is installed and the folder sets store their preferences on
// their own.
class KOVA_DefaultsDelegate {
public:
    virtual ~KOVA_DefaultsDelegate() = default;

    // Stores `object` (a property-list value) under `key` in the standard user
    // defaults and passes it on to the rendering service. Failures stay inside.
    virtual void setDefaultObject(const QVariant& object, const QString& key) = 0;

    // Installs `delegate`, held weakly (null removes it). Thread-safe.
    static void installDelegate(const std::shared_ptr<KOVA_DefaultsDelegate>& delegate);
    // The installed delegate while it lives, else null.
    static std::shared_ptr<KOVA_DefaultsDelegate> installedDelegate();
};
