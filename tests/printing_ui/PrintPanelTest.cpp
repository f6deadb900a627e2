#include "platform/dispatch/DispatchClock.h"
#include "platform/files/StandardPaths.h"
#include "printing/pages/ZORVAK_PrintPage.h"
#include "printing/pages/ZORVAK_USBPrinter.h"
#include "printing/profiles/ZORVAK_ColorProfiles.h"
#include "printing/ui/ZORVAK_PrintPageWindow.h"
#include "printing/ui/ZORVAK_PrintPanel.h"

#include "FileFixtures.h"
#include "HostileFiles.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>

using namespace kova::test;

namespace {

class FakePrinter : public ZORVAK_USBPrinter {
public:
    void printPage(ZORVAK_PrintPage&) override { ++printed; }
    QString description() const override { return QStringLiteral("Fake printer"); }
    int printed = 0;
};

// Dispatch time that moves only when the test says so.
class ManualDispatchTime {
public:
    ManualDispatchTime() { platform::DispatchClock::setCurrent(m_clock); }
    ~ManualDispatchTime() { platform::DispatchClock::setCurrent(nullptr); }
    void pass(std::chrono::milliseconds time)
    {
        m_clock->advance(time);
        processMainQueue();
    }

private:
    std::shared_ptr<platform::ManualClock> m_clock = std::make_shared<platform::ManualClock>();
};

// Opens and closes the menu as a click would.
void showMenu(QMenu* menu)
{
    menu->popup(QPoint());
    menu->hide();
}

} // namespace

TEST(PrintPanel, printAndCancelCallTheCompletionOnce)
{
    using namespace std::chrono_literals;
    const struct {
        const char* name;
        bool withPrinter;
        bool cancel;
        bool expected;
        int printed;
        std::chrono::milliseconds duration;
    } rows[] = {
        {"print", true, false, true, 1, 550ms},
        {"print without a printer", false, false, false, 0, 0ms},
        {"cancel", true, true, false, 0, 230ms},
    };
    for (const auto& row : rows) {
        ManualDispatchTime time;
        auto page = std::make_shared<ZORVAK_PrintPage>();
        auto printer = std::make_shared<FakePrinter>();
        if (row.withPrinter)
            page->setPrinter(printer);
        ZORVAK_PrintPanel panel(page);
        QList<bool> results;
        panel.setCompletionBlock([&](bool printed) { results << printed; });
        const QString log = loggedBy([&] {
            row.cancel ? panel.cancelPrint() : panel.printPage();
            panel.printPage();
        });
        EXPECT_EQ(log.contains("nothing was printed"), !row.withPrinter) << row.name;
        if (row.duration > 0ms) {
            time.pass(row.duration - 1ms);
            EXPECT_TRUE(results.isEmpty()) << row.name;
        }
        time.pass(1ms);
        time.pass(row.duration);
        EXPECT_EQ(results, QList<bool> {row.expected}) << row.name;
        EXPECT_FALSE(panel.isVisible()) << row.name;
        EXPECT_EQ(printer->printed, row.printed) << row.name;
    }
}

TEST(PrintPanel, otherColorProfileCopiesTheChosenFileAndTheMenuListsIt)
{
    // The watcher follows the profile folders that exist when the list is first made.
    const QString userFolder = platform::StandardPaths::path(platform::StandardPaths::Folder::ColorProfiles);
    ASSERT_TRUE(QDir().mkpath(userFolder));
    QTemporaryDir chosen;
    const QString source = chosen.filePath("custom.icm");
    cmsHPROFILE profile = cmsCreate_sRGBProfile();
    ASSERT_TRUE(cmsSaveProfileToFile(profile, qPrintable(source)));
    cmsCloseProfile(profile);
    auto page = std::make_shared<ZORVAK_PrintPage>();
    page->setColorManagement(2);
    ZORVAK_PrintPanel panel(page);
    QMenu* menu = panel.colorProfileMenu();
    showMenu(menu);
    ASSERT_EQ(menu->actions().last()->text(), QStringLiteral("Other Color Profile…"));
    menu->actions().last()->trigger();
    // The chooser is a sheet on the panel.
    QFileDialog* chooser = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (chooser = panel.findChild<QFileDialog*>()) && chooser->isVisible(); }));
    // Typed as a user would, then chosen.
    chooser->setDirectory(chosen.path());
    auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(name);
    name->setText(QStringLiteral("custom.icm"));
    QMetaObject::invokeMethod(chooser, "accept");

    ASSERT_TRUE(waitUntil([&] { return page->printerProfileICC().isValid(); }));
    const QString copy = page->printerProfileICC().toLocalFile();
    EXPECT_EQ(QFileInfo(copy).path(), userFolder);
    EXPECT_EQ(readFile(copy), readFile(source));
    // The watcher reports the copy; the menu takes the new list when it is next shown.
    ASSERT_TRUE(waitUntil([&] {
        const QList<QVariantMap> profiles = ZORVAK_ColorProfiles::colorProfiles();
        return std::any_of(profiles.cbegin(), profiles.cend(), [&](const QVariantMap& entry) { return entry.value("url") == page->printerProfileICC(); });
    }));
    showMenu(menu);
    const QList<QAction*> items = menu->actions();
    const auto listed = std::find_if(items.cbegin(), items.cend(), [&](const QAction* item) { return item->data() == page->printerProfileICC(); });
    ASSERT_NE(listed, items.cend());
    EXPECT_TRUE((*listed)->isChecked());
}

TEST(PrintPanel, profileMenuEndsWithTheOtherProfileItem)
{
    ZORVAK_PrintPanel panel(std::make_shared<ZORVAK_PrintPage>());
    panel.menuNeedsUpdate();
    const QList<QAction*> items = panel.colorProfileMenu()->actions();
    ASSERT_FALSE(items.isEmpty());
    EXPECT_EQ(items.last()->text(), QStringLiteral("Other Color Profile…"));
    EXPECT_EQ(panel.colorProfileMenu()->objectName(), QStringLiteral("menuCustomColorProfile"));
}

TEST(PrintPageWindow, keepsTheFrameItIsGivenOffScreenIncluded)
{
    for (const QRect frame : {QRect(40, 50, 320, 240), QRect(-5000, -4000, 320, 240)}) {
        ZORVAK_PrintPageWindow window;
        window.setGeometry(frame);
        window.show();
        EXPECT_EQ(window.geometry(), frame);
        window.activateWindow();
        EXPECT_TRUE(waitUntil([&] { return window.isActiveWindow(); }));
    }
}
