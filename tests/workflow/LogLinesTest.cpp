// Log lines an operator reads: each failure once, in the words the system gives it, with
// the item it concerns; a ticket a hot folder cannot take is not logged at every rescan.
#include "workflow/folders/KOVA_JobFolders.h"

#include "FileFixtures.h"
#include "FolderSetTesting.h"
#include "HostileFiles.h"
#include "TestProfiles.h"
#include "core/foundation/KOVA_Constants.h"
#include "printing/pages/ZORVAK_PrintPage.h"
#include "printing/pages/ZORVAK_PrintPage_DNP.h"
#include "printing/profiles/ZORVAK_ColorProfiles.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/processing/KOVA_JobFiling.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

namespace {

using kova::test::loggedBy;
using kova::test::ScratchFolder;
using kova::test::waitUntil;
using kova::test::writeFile;

const QByteArray ReadyTicket = R"(<data type="kova_job" version="1.0"><image1>a.jpg</image1></data>)";
const QByteArray BrokenTicket = R"(<data type="kova_job" version="1.0"><package)";

// How many lines of the log read `message` whole: right after the line's
// "process[pid:tid] " and up to its end.
qsizetype linesReading(const QString& log, const QString& message)
{
    return log.count(QStringLiteral("] ") + message + QLatin1Char('\n'));
}

QString profileAt(const QString& path, cmsHPROFILE profile)
{
    cmsSaveProfileToFile(profile, QFile::encodeName(path).constData());
    cmsCloseProfile(profile);
    return path;
}

std::shared_ptr<KOVA_Job> jobAt(const QString& path)
{
    writeFile(path, ReadyTicket);
    return KOVA_Job::instanceWithXMLObject(path);
}

} // namespace

TEST(LogLines, eachFailureIsOneLineInItsOwnWords)
{
    ScratchFolder scratch;
    const auto at = [&scratch](const char* name) { return scratch.path(QString::fromUtf8(name)); };
    const auto url = [&at](const char* name) { return QUrl::fromLocalFile(at(name)).toString(); };
    const struct {
        const char* line;
        std::function<void()> trigger;
        QString expected;
    } cases[] = {
        {"Error %@ parsing job %@",
         [&] {
             writeFile(at("old.xml"), R"(<data type="kova_job" version="0.9"/>)");
             KOVA_Job::instanceWithXMLObject(at("old.xml"));
         },
         QStringLiteral(R"(Error Error Domain=NSPOSIXErrorDomain Code=-3 "file version too old 0.9 when parsing kova_job" parsing job %1)")
             .arg(at("old.xml"))},
        {"%@ (the parser's error, naming the ticket)",
         [&] {
             writeFile(at("broken.xml"), BrokenTicket);
             KOVA_Job::instanceWithXMLObject(at("broken.xml"));
         },
         QStringLiteral(R"(Error Domain=NSXMLParserErrorDomain Code=73 "%1: Line 1: Couldn't find end of Start Tag package line 1")")
             .arg(at("broken.xml"))},
        {"Failed to get %@ for jobfile:%@",
         [&] {
             platform::UserDefaults::standardUserDefaults()->removeObjectForKey(key_kovaFolderJobsFailed);
             KOVA_JobFiling::fileJob(*jobAt(at("ready.xml")), {platform::Error::CocoaDomain, 1, QStringLiteral("failed")});
         },
         QStringLiteral("Failed to get key_kovaFolderJobsFailed for jobfile:%1").arg(url("ready.xml"))},
        {"request to open unsupported file type %@ at %@",
         [&] {
             ASSERT_TRUE(waitUntil([] {
                 const auto folder = KOVA_JobFolders::defaultJobFolder();
                 return folder && QFileInfo(folder->jobsFolderURL().toLocalFile()).isDir();
             }));
             writeFile(at("note.txt"), "no ticket");
             KOVA_JobFolders::addJobFiles({QUrl::fromLocalFile(at("note.txt"))});
         },
         QStringLiteral("request to open unsupported file type public.plain-text at %1").arg(url("note.txt"))},
        {"FAILED to raster data", [] { ZORVAK_PrintPage_DNP().YMCDataPlanes(); }, QStringLiteral("FAILED to raster data")},
        {"incompatible color space %d for color profile. must be RGB or monochrome!",
         [&] { ZORVAK_ColorProfiles::testColorProfile(QUrl::fromLocalFile(profileAt(at("cmyk.icc"), kova::test::cmykPlaceholderProfile()))); },
         QStringLiteral("incompatible color space 2 for color profile. must be RGB or monochrome!")},
        {"incompatible color profile does not produce output!",
         [&] { ZORVAK_ColorProfiles::testColorProfile(QUrl::fromLocalFile(profileAt(at("input.icc"), kova::test::inputOnlyProfile()))); },
         QStringLiteral("incompatible color profile does not produce output!")},
        {"an old print ticket that cannot be read",
         [&] { ZORVAK_PrintPage::printPageForOldKova(QUrl::fromLocalFile(at("gone.plist"))); },
         QStringLiteral(R"(ERROR: cannot read the print ticket %1: Error Domain=NSPOSIXErrorDomain Code=2 "%1: No such file or directory")")
             .arg(at("gone.plist"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const QString log = loggedBy(c.trigger);
        EXPECT_EQ(linesReading(log, c.expected), 1) << log.toStdString();
    }
}

class HotFolderLogLines : public kova::test::FolderSetTest {
protected:
    void TearDown() override
    {
        if (m_folder)
            m_folder->setEnabled(false);
        FolderSetTest::TearDown();
    }

    // Drops a ticket whole into the hot folder and waits, moving the clock on, until the
    // folder's scan lists `listed` tickets.
    bool dropAndScan(const QString& name, const QByteArray& ticket, qsizetype listed)
    {
        const QString written = m_scratch.path(QStringLiteral(".") + name);
        if (!writeFile(written, ticket) || !QDir().rename(written, m_hot + QLatin1Char('/') + name))
            return false;
        return waitUntil([&] {
            m_clock->advance(std::chrono::seconds(1));
            return m_folder->jobs().size() == listed;
        });
    }

    ScratchFolder m_scratch;
    const QString m_hot = m_scratch.path(QStringLiteral("Hot"));
    std::shared_ptr<KOVA_JobFolders> m_folder;
};

// Every scan reads the broken ticket again; only a change of the ticket is logged again.
TEST_F(HotFolderLogLines, aTicketThatDoesNotParseIsLoggedOncePerChange)
{
    ASSERT_TRUE(QDir().mkpath(m_hot));
    defaults()->setBool(false, key_kovaProcessorIsRunning);
    const QString broken = m_hot + QStringLiteral("/broken.xml");
    const QString log = loggedBy([&] {
        ASSERT_TRUE(writeFile(broken, BrokenTicket));
        m_folder = std::make_shared<KOVA_JobFolders>(QStringLiteral("Hot"), QUrl::fromLocalFile(m_hot));
        m_folder->setJobFileUTType(QStringLiteral("public.xml"));
        m_folder->configureJobsFolder();
        ASSERT_TRUE(dropAndScan(QStringLiteral("first.xml"), ReadyTicket, 1));
        ASSERT_TRUE(dropAndScan(QStringLiteral("second.xml"), ReadyTicket, 2));
        ASSERT_TRUE(writeFile(broken, BrokenTicket + "<"));
        ASSERT_TRUE(dropAndScan(QStringLiteral("third.xml"), ReadyTicket, 3));
    });
    EXPECT_EQ(log.count(broken + QStringLiteral(": Line 1: ")), 2) << log.toStdString();
}
