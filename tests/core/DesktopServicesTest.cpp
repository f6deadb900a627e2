#include "core/ui/Beeper.h"
#include "core/ui/FileManagerReveal.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

TEST(Beeper, TheHookCountsBeepsFromAnyThreadUntilRemoved)
{
    std::atomic<int> beeps = 0;
    Beeper::setHook([&beeps] { ++beeps; });
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([] { Beeper::beep(); });
    for (std::thread& thread : threads)
        thread.join();
    Beeper::beep();
    EXPECT_EQ(beeps.load(), 5);
    Beeper::setHook(nullptr);
    Beeper::beep(); // the system's beep again, not counted
    EXPECT_EQ(beeps.load(), 5);
}

TEST(FileManagerReveal, ShowsItemsAsURIsAndOpensTheFolderOnlyWhenNoFileManagerAnswers)
{
    for (const bool fileManagerAnswers : { true, false }) {
        SCOPED_TRACE(fileManagerAnswers);
        QStringList shown;
        QList<QUrl> opened;
        FileManagerReveal::setShowItemsHook([&](const QStringList& uris) {
            shown = uris;
            return fileManagerAnswers;
        });
        FileManagerReveal::setOpenerHook([&](const QUrl& folder) {
            opened << folder;
            return true;
        });
        FileManagerReveal::revealItems({ QStringLiteral("/jobs/A b.kovajob"), QStringLiteral("/jobs/c.xml") });
        FileManagerReveal::revealItems({});
        EXPECT_EQ(shown, (QStringList { QStringLiteral("file:///jobs/A%20b.kovajob"), QStringLiteral("file:///jobs/c.xml") }));
        EXPECT_EQ(opened, fileManagerAnswers ? QList<QUrl> {} : QList<QUrl> { QUrl::fromLocalFile(QStringLiteral("/jobs")) });
    }
    FileManagerReveal::setShowItemsHook(nullptr);
    FileManagerReveal::setOpenerHook(nullptr);
}
