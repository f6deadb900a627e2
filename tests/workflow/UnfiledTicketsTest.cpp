// A ticket that ran but could not be filed is known as ran beyond the process: a later
// start files it without running it again, a ticket written anew runs as new, and the
// records that say so are read as untrusted files.
#include "workflow/processing/KOVA_JobProcessor.h"

#include "core/foundation/ZORVAK_Extras_NSURL.h"
#include "platform/plist/PropertyList.h"
#include "workflow/processing/KOVA_UnfiledTickets.h"

#include "FileFixtures.h"
#include "HostileFiles.h"
#include "SharedTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>

namespace {

using kova::test::entries;
using kova::test::waitUntil;

constexpr const char* restartVariable = "KOVA_RESTART_TREE";
const QString statusPattern = QStringLiteral("left unfiled: (\\d+) counted: (\\d+)\n");

// Runs only as a child of the test below: a processor on the tree, started as the
// same user at every start, until its ticket ran and stays unfiled, or is filed when its
// Completed folder is there; it then
// tells what it knows and waits to be killed, as a crash or an impatient operator ends it.
TEST(UnfiledTicketProcessor, RunsOrFilesTheTicketUntilKilled)
{
    if (!qEnvironmentVariableIsSet(restartVariable))
        GTEST_SKIP() << "runs as a child of UnfiledTicketRestart";
    const kova::test::SharedTree tree(qEnvironmentVariable(restartVariable), 1);
    // Before the processor starts: the state folder of every start is the same.
    qputenv("XDG_STATE_HOME", QFile::encodeName(tree.path(QStringLiteral("State"))));
    tree.configureProcessor();
    const auto folder = tree.watchHotFolder();
    const auto processor = KOVA_JobProcessor::shared();
    const bool canFile = QFileInfo(tree.path(QStringLiteral("Completed"))).isDir();
    const auto settled = [&] {
        // Filed: counted, then no longer known as ran, then its record removed.
        const bool done = canFile ? tree.hotFolderIsEmpty() && processor->ticketsLeftUnfiled().isEmpty()
                                        && entries(KOVA_UnfiledTickets::folder()).isEmpty()
                                  : processor->ticketsLeftUnfiled().size() == 1;
        return done && !processor->isProcessing();
    };
    ASSERT_TRUE(waitUntil(settled, std::chrono::seconds(60)));
    const auto defaults = platform::UserDefaults::standardUserDefaults();
    std::printf("left unfiled: %lld counted: %lld\n", qint64(processor->ticketsLeftUnfiled().size()),
                defaults->integerForKey(key_kovaProcessorJobsCompleted) + defaults->integerForKey(key_kovaProcessorJobsFailed));
    std::fflush(stdout);
    ::pause();
}

class UnfiledTicketRestart : public kova::test::SharedTreeTest<1> {
protected:
    // Starts a processor on the tree and kills it once it told how many tickets it knows
    // as ran and not filed, and how many it counted: {left unfiled, counted}.
    std::pair<int, int> startAndKill()
    {
        QProcess& child = m_children.start(restartVariable, m_folder.path(), QStringLiteral("UnfiledTicketProcessor.*"));
        const QRegularExpression status(statusPattern);
        QRegularExpressionMatch told;
        while (!(told = status.match(QString::fromUtf8(child.peek(1 << 20)))).hasMatch()) {
            if (!child.waitForReadyRead(90000))
                return {-1, -1};
        }
        child.kill();
        child.waitForFinished();
        return {told.captured(1).toInt(), told.captured(2).toInt()};
    }

};

TEST_F(UnfiledTicketRestart, ATicketThatRanIsDeliveredOnceAndFiledOnceOverThreeRestarts)
{
    const QString completed = m_tree.path(QStringLiteral("Completed"));
    const QStringList once{kova::test::ticketName(1)};
    ASSERT_TRUE(QDir(completed).removeRecursively());
    int counted = 0;
    for (int start = 1; start <= 4; ++start) {
        SCOPED_TRACE(start);
        const auto [leftUnfiled, countedHere] = startAndKill();
        EXPECT_EQ(leftUnfiled, 1);
        EXPECT_EQ(m_tree.deliveries(), once);
        EXPECT_FALSE(m_tree.hotFolderIsEmpty());
        counted += countedHere;
    }
    // The folder is back: the next start files the ticket as it ran, and counts it.
    ASSERT_TRUE(QDir().mkpath(completed));
    const auto [leftUnfiled, countedHere] = startAndKill();
    EXPECT_EQ(leftUnfiled, 0);
    EXPECT_EQ(counted + countedHere, 1);
    EXPECT_EQ(m_tree.deliveries(), once);
    EXPECT_EQ(entries(completed).size(), 1);
    EXPECT_TRUE(m_tree.hotFolderIsEmpty());
    EXPECT_TRUE(entries(m_tree.path(QStringLiteral("State/KOVA/Unfiled Tickets"))).isEmpty());
}

QByteArray recordData(const QVariantMap& contents)
{
    return platform::PropertyList::toData(contents, platform::PropertyList::Format::XML);
}

// A record the processor did not write, or one whose ticket changed, is removed with a
// line naming it, and never taken for a ticket that ran.
TEST(UnfiledTicketRecords, OnlyRecordsOfTicketsAsTheyRanAreKept)
{
    kova::test::ScratchFolder scratch;
    const auto ticketAt = [&scratch](const QString& name) {
        const QString path = scratch.path(name);
        EXPECT_TRUE(kova::test::writeFile(path, "<data type=\"kova_job\" version=\"1.0\"/>"));
        return path;
    };
    const auto generation = [](const QString& path) { return ZORVAK_Extras_NSURL::generationID(QUrl::fromLocalFile(path)); };
    const QString kept = ticketAt(QStringLiteral("kept.xml"));
    ASSERT_TRUE(KOVA_UnfiledTickets::store({kept, generation(kept), {QStringLiteral("kova"), 3, QStringLiteral("no package")},
                                            QStringLiteral("No Failed folder is chosen.")}));
    const QString recordsFolder = KOVA_UnfiledTickets::folder();
    const QStringList keptNames = entries(recordsFolder);
    ASSERT_EQ(keptNames.size(), 1);
    const QString keptRecord = recordsFolder + QLatin1Char('/') + keptNames.first();

    // Plants a record file of its own under `name`.
    const auto plantedAs = [&recordsFolder](const QString& name, const QByteArray& data) {
        return [&recordsFolder, name, data] {
            const QString path = recordsFolder + QLatin1Char('/') + name;
            EXPECT_TRUE(kova::test::writeFile(path, data));
            return path;
        };
    };
    const struct {
        const char* what;
        std::function<QString()> plant; // plants a record, answers its path
    } cases[] = {
        {"not a property list", plantedAs(QStringLiteral("garbage.plist"), QByteArray("\x00\xff<plist", 8))},
        {"larger than a record",
         plantedAs(QStringLiteral("large.plist"), QByteArray(KOVA_UnfiledTickets::MaximumRecordSize + 1, '\0'))},
        {"a list, not a record",
         plantedAs(QStringLiteral("list.plist"), platform::PropertyList::toData(QVariantList{kept}, platform::PropertyList::Format::XML))},
        {"a field of the wrong kind", plantedAs(QStringLiteral("kind.plist"), recordData({{QStringLiteral("ticket"), 7}}))},
        {"another ticket's record under this name", [&] {
             const QString path = recordsFolder + QStringLiteral("/copied.plist");
             QFile::copy(keptRecord, path);
             return path;
         }},
        {"its ticket written anew", [&] {
             const QString ticket = ticketAt(QStringLiteral("rewritten.xml"));
             KOVA_UnfiledTickets::store({ticket, generation(ticket), {}, {}});
             QFile::remove(ticket);
             ticketAt(QStringLiteral("rewritten.xml"));
             return ticket;
         }},
        {"its ticket gone", [&] {
             const QString ticket = ticketAt(QStringLiteral("gone.xml"));
             KOVA_UnfiledTickets::store({ticket, generation(ticket), {}, {}});
             QFile::remove(ticket);
             return ticket;
         }},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        const QString planted = each.plant();
        QList<KOVA_UnfiledTickets::Record> stored;
        const QString log = kova::test::loggedBy([&] { stored = KOVA_UnfiledTickets::stored(); });
        ASSERT_EQ(stored.size(), 1);
        EXPECT_EQ(stored.first().ticketPath, kept);
        EXPECT_EQ(stored.first().jobError.description(), QStringLiteral("Error Domain=kova Code=3 \"no package\""));
        EXPECT_EQ(stored.first().reason, QStringLiteral("No Failed folder is chosen."));
        EXPECT_EQ(entries(recordsFolder), keptNames);
        EXPECT_TRUE(log.contains(QStringLiteral("removed the record ")) && log.contains(planted)) << log.toStdString();
    }
    EXPECT_TRUE(KOVA_UnfiledTickets::find(kept, generation(kept)));
    KOVA_UnfiledTickets::remove(kept, generation(kept));
    EXPECT_TRUE(entries(recordsFolder).isEmpty());
}

} // namespace
