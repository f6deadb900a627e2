#include "workflow/delivery/KOVA_PrintPicturesCleaner.h"

#include "FileFixtures.h"
#include "HostileFiles.h"
#include "TestEnvironment.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/DispatchClock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/files/FileOperations.h"
#include "platform/plist/KeyedArchiver.h"
#include "printing/pages/ZORVAK_PrintPage.h"
#include "workflow/delivery/KOVA_OutputPrintCentreDelivery.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using Cleaner = KOVA_PrintPicturesCleaner;
using Delivery = KOVA_OutputPrintCentreDelivery;

namespace {

constexpr std::chrono::seconds old = Cleaner::maximumAge + 1h;
constexpr std::chrono::seconds recent = Cleaner::maximumAge - 1h;

// The pictures folder and Pressoria's hot folder, emptied for each test.
class KOVA_PrintPicturesCleanerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::FileOperations::removeItem(pictures);
        ASSERT_TRUE(QDir().mkpath(pictures) && QDir().mkpath(hot));
        pressoria->setURL(QUrl::fromLocalFile(hot), Delivery::HotFolderKey);
    }
    void TearDown() override
    {
        pressoria->removeObjectForKey(Delivery::HotFolderKey);
        platform::FileOperations::removeItem(pictures);
    }

    QString picture(const QString& name, std::chrono::seconds age, const QByteArray& bytes = "a picture") const
    {
        const QString path = pictures + QLatin1Char('/') + name;
        EXPECT_TRUE(kova::test::writeFile(path, bytes) && kova::test::makeOld(path, age));
        return path;
    }
    void pageNaming(const QString& picturePath) const
    {
        const auto page = ZORVAK_PrintPage::printPageForModel(QStringLiteral("DS620"));
        ASSERT_TRUE(page);
        page->setInputImages({QUrl::fromLocalFile(picturePath)});
        const QString path = hot + QLatin1Char('/') + QFileInfo(picturePath).fileName() + QStringLiteral(".printpage");
        ASSERT_TRUE(kova::test::writeFile(path, platform::KeyedArchiver::archivedDataWithRootObject(*page)));
    }

    const QString pictures = Delivery::printPicturesFolderPath();
    kova::test::ScratchFolder scratch;
    const QString hot = scratch.path(QStringLiteral("Hot"));
    std::shared_ptr<platform::UserDefaults> pressoria = platform::UserDefaults::initWithSuiteName(Delivery::PressoriaSuiteName);
};

} // namespace

TEST_F(KOVA_PrintPicturesCleanerTest, OldPicturesNoPageNamesGoWithOneLine)
{
    const struct {
        const char* name;
        std::chrono::seconds age;
        bool isNamed;
        bool isRemoved;
    } cases[] = {
        {"old.jpeg", old, false, true},
        {"old and printing.jpeg", old, true, false},
        {"recent.jpeg", recent, false, false},
    };
    for (const auto& c : cases) {
        const QString path = picture(QString::fromUtf8(c.name), c.age, "twelve bytes");
        if (c.isNamed)
            pageNaming(path);
    }
    ASSERT_TRUE(kova::test::writeFile(hot + QStringLiteral("/damaged.jpeg.printpage"), "not an archive"));

    Cleaner::Removal removal;
    const QString log = kova::test::loggedBy([&] { removal = Cleaner::removeOldPictures(); });
    for (const auto& c : cases)
        EXPECT_NE(QFileInfo::exists(pictures + QLatin1Char('/') + QString::fromUtf8(c.name)), c.isRemoved) << c.name;
    EXPECT_EQ(removal.count, 1);
    EXPECT_EQ(removal.bytes, 12);
    EXPECT_TRUE(log.contains(QStringLiteral("Removed 1 print pictures older than 10 days from %1, 12 bytes freed").arg(pictures)))
        << qPrintable(log);
    EXPECT_TRUE(log.contains(hot + QStringLiteral("/damaged.jpeg.printpage"))) << qPrintable(log);
}

TEST_F(KOVA_PrintPicturesCleanerTest, NothingGoesWhileTheHotFolderCannotBeRead)
{
    const QString path = picture(QStringLiteral("old.jpeg"), old);
    pressoria->setURL(QUrl::fromLocalFile(scratch.path(QStringLiteral("Unmounted"))), Delivery::HotFolderKey);
    const QString log = kova::test::loggedBy([] { EXPECT_EQ(Cleaner::removeOldPictures().count, 0); });
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_TRUE(log.contains(QStringLiteral("kept 1 old print pictures in %1").arg(pictures))) << qPrintable(log);
}

TEST_F(KOVA_PrintPicturesCleanerTest, RunsAtTheStartAndEveryDayAfter)
{
    const auto clock = std::make_shared<platform::ManualClock>(1000s);
    platform::DispatchClock::setCurrent(clock);
    const QString first = picture(QStringLiteral("first.jpeg"), old);
    const auto cleaner = Cleaner::start();
    EXPECT_TRUE(kova::test::waitUntil([&] { return !QFileInfo::exists(first); }));

    const QString next = picture(QStringLiteral("next.jpeg"), old);
    clock->advance(Cleaner::interval);
    EXPECT_TRUE(kova::test::waitUntil([&] { return !QFileInfo::exists(next); }));
    cleaner->queue()->sync([] {});
    platform::DispatchClock::setCurrent(nullptr);
}
