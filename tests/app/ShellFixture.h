#pragma once

#include "app/delegate/AppDelegate.h"
#include "app/ApplicationTermination.h"
#include "app/StartPanel.h"
#include "core/queues/ZORVAK_Coalesce.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/DispatchClock.h"

#include "TestEnvironment.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace kova::test {

// Counts how often a widget is shown.
class ShowCounter : public QObject {
public:
    int shown = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            ++shown;
        return false;
    }
};

// The application's delegate on a manual clock, with empty preferences and no
// buses: each step lets the coalescing and the main queue finish their work.
class ShellFixture : public testing::Test {
protected:
    void SetUp() override
    {
        platform::DispatchClock::setCurrent(clock);
        for (const QString& key : defaults->dictionaryRepresentation().keys())
            defaults->removeObjectForKey(key);
        ApplicationTermination::clear();
    }
    void TearDown() override
    {
        app.reset();
        QApplication::closeAllWindows();
        clock->advance(std::chrono::hours(1));
        settle();
        platform::DispatchClock::setCurrent(nullptr);
        ApplicationTermination::clear();
    }

    void launch()
    {
        app.reset();
        ApplicationTermination::clear();
        app = std::make_shared<AppDelegate>(QDBusConnection(QStringLiteral("none")), nullptr);
        app->applicationDidFinishLaunching();
        app->panelSimpleStart()->installEventFilter(&panelShowings);
    }
    void settle()
    {
        ZORVAK_Coalesce::coalescingQueue()->sync([] {});
        processMainQueue();
        processMainQueue();
    }
    // Requests made so far are counted before the clock moves on.
    void advance(std::chrono::milliseconds by)
    {
        settle();
        clock->advance(by);
        settle();
    }
    // Quits through the delegate inside the event loop, as the running
    // application does; answers the loop's exit status.
    int quit()
    {
        return runLoop([this] { app->requestQuit(); });
    }
    // Runs the event loop with `turn` as its first work until it ends;
    // answers its exit status (99 when it did not end within ten seconds).
    int runLoop(const std::function<void()>& turn)
    {
        QTimer::singleShot(0, qApp, turn);
        QTimer guard;
        QObject::connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
        guard.start(10000);
        return QApplication::exec();
    }
    bool panelVisible() const { return app->panelSimpleStart()->isVisible(); }

    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(std::chrono::hours(1));
    std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::standardUserDefaults();
    std::shared_ptr<AppDelegate> app;
    ShowCounter panelShowings;
};

} // namespace kova::test
