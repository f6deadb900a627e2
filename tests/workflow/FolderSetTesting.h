#pragma once

#include "core/queues/ZORVAK_Coalesce.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/DispatchClock.h"
#include "platform/plist/KeyedArchiver.h"
#include "workflow/folders/KOVA_FolderSet.h"

#include "PythonReader.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>

namespace kova::test {

// Folder-set tests run on a manual clock: the coalesced saves and notices of a test
// happen when it advances the clock, and all that is still pending is run out
// before the next test, so no test hears of another's saves.
class FolderSetTest : public ::testing::Test {
protected:
    void SetUp() override { platform::DispatchClock::setCurrent(m_clock); }
    void TearDown() override
    {
        // A save at the end asks for a notice, which asks for nothing more.
        for (int step = 0; step < 3; ++step)
            advance(std::chrono::hours(1));
        platform::DispatchClock::setCurrent(nullptr);
    }

    // Moves the clock, once the requests made so far are counted, and runs what became
    // due on the counting and the main queue (twice: a save's change of the defaults
    // requests a notice of its own).
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

    // Stores `saved` as the saved list of `side` and reloads the list from it.
    static void reloadFrom(KOVA_FolderSetClass& side, const QByteArray& saved)
    {
        defaults()->setObject(saved, side.keyForSavedFolderSets());
        side.updateFromSavedData();
    }

    static QStringList namesOf(const KOVA_FolderSetClass::FolderSets& sets)
    {
        QStringList names;
        for (const auto& set : sets)
            names.append(set->name());
        return names;
    }

    std::shared_ptr<platform::ManualClock> m_clock = std::make_shared<platform::ManualClock>(std::chrono::hours(1));
};

} // namespace kova::test
