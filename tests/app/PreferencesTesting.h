#pragma once

#include "core/queues/ZORVAK_Coalesce.h"
#include "core/ui/Beeper.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/DispatchClock.h"
#include "workflow/folders/KOVA_DefaultsDelegate.h"

#include "TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace kova::test {

// Records what the panes pass up to the application.
struct RecordingDefaultsDelegate : KOVA_DefaultsDelegate {
    void setDefaultObject(const QVariant& object, const QString& key) override
    {
        platform::UserDefaults::standardUserDefaults()->setObject(object, key);
        received.insert(key, object);
    }
    QVariantMap received;
};

// Preference panes on a manual clock, with the beep counted and the preferences
// emptied before each test. Delayed work (coalesced saves, the resize after a
// selection) runs when the test advances the clock.
class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The clock first: emptying the preferences asks for notices, which must come due on it.
        platform::DispatchClock::setCurrent(m_clock);
        for (const QString& key : defaults()->dictionaryRepresentation().keys())
            defaults()->removeObjectForKey(key);
        advance(std::chrono::seconds(1));
        Beeper::setHook([this] { ++beeps; });
        KOVA_DefaultsDelegate::installDelegate(delegate);
    }
    void TearDown() override
    {
        for (int step = 0; step < 3; ++step)
            advance(std::chrono::hours(1));
        KOVA_DefaultsDelegate::installDelegate(nullptr);
        Beeper::setHook({});
        platform::DispatchClock::setCurrent(nullptr);
    }

    // Moves the clock once the requests made so far are counted, and runs what became due.
    void advance(std::chrono::milliseconds by)
    {
        ZORVAK_Coalesce::coalescingQueue()->sync([] {});
        m_clock->advance(by);
        for (int round = 0; round < 2; ++round) {
            ZORVAK_Coalesce::coalescingQueue()->sync([] {});
            processMainQueue();
        }
    }

    static std::shared_ptr<platform::UserDefaults> defaults() { return platform::UserDefaults::standardUserDefaults(); }

    // A grab of `widget` in the build's screenshot folder as `name`.png, which is
    // also returned.
    static QImage grabToScreenshots(QWidget* widget, const QString& name)
    {
        const QImage grabbed = widget->grab().toImage();
        QDir().mkpath(QStringLiteral(KOVA_SCREENSHOT_FOLDER));
        grabbed.save(QStringLiteral(KOVA_SCREENSHOT_FOLDER "/") + name + QStringLiteral(".png"));
        return grabbed;
    }

    int beeps = 0;
    std::shared_ptr<RecordingDefaultsDelegate> delegate = std::make_shared<RecordingDefaultsDelegate>();

private:
    std::shared_ptr<platform::ManualClock> m_clock = std::make_shared<platform::ManualClock>();
};

} // namespace kova::test
