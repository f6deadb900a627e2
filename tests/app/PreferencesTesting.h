#pragma once

#include "core/ui/Beeper.h"
#include "platform/defaults/UserDefaults.h"
#include "workflow/folders/KOVA_DefaultsDelegate.h"

#include "../workflow/FolderSetTesting.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

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

// Preference panes on the folder sets' manual clock, with the beep counted and the
// preferences emptied before each test. Delayed work (coalesced saves, the resize
// after a selection) runs when the test advances the clock.
class PreferencesTest : public FolderSetTest {
protected:
    void SetUp() override
    {
        // The clock first: emptying the preferences asks for notices, which must come due on it.
        FolderSetTest::SetUp();
        for (const QString& key : defaults()->dictionaryRepresentation().keys())
            defaults()->removeObjectForKey(key);
        advance(std::chrono::seconds(1));
        Beeper::setHook([this] { ++beeps; });
        KOVA_DefaultsDelegate::installDelegate(delegate);
    }
    void TearDown() override
    {
        FolderSetTest::TearDown();
        KOVA_DefaultsDelegate::installDelegate(nullptr);
        Beeper::setHook({});
    }

    // A grab of `widget` in the build's screenshot folder as `name`.png, which is
    // also returned.
    static QImage grabToScreenshots(QWidget* widget, const QString& name)
    {
        const QImage grabbed = widget->grab().toImage();
        QDir().mkpath(QStringLiteral(KOVA_SCREENSHOT_FOLDER));
        grabbed.save(QStringLiteral(KOVA_SCREENSHOT_FOLDER "/") + name + QStringLiteral(".png"));
        return grabbed;
    }

    // Runs a save asked for so far, then the notice of the list that the save brings.
    void saveAndNotice()
    {
        advance(std::chrono::milliseconds(500));
        advance(std::chrono::milliseconds(100));
    }

    int beeps = 0;
    std::shared_ptr<RecordingDefaultsDelegate> delegate = std::make_shared<RecordingDefaultsDelegate>();
};

} // namespace kova::test
