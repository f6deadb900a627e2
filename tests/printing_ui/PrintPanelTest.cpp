#include "printing/pages/ZORVAK_PrintPage.h"
#include "printing/pages/ZORVAK_USBPrinter.h"
#include "printing/ui/ZORVAK_PrintPageWindow.h"
#include "printing/ui/ZORVAK_PrintPanel.h"

#include "TestEnvironment.h"

#include <QMenu>

#include <gtest/gtest.h>

using namespace kova::test;

namespace {

class FakePrinter : public ZORVAK_USBPrinter {
public:
    void printPage(ZORVAK_PrintPage&) override { ++printed; }
    QString description() const override { return QStringLiteral("Fake printer"); }
    int printed = 0;
};

} // namespace

TEST(PrintPanel, printAndCancelCallTheCompletionOnce)
{
    const struct {
        const char* name;
        bool withPrinter;
        bool cancel;
        bool expected;
        int printed;
    } rows[] = {
        {"print", true, false, true, 1},
        {"print without a printer", false, false, false, 0},
        {"cancel", true, true, false, 0},
    };
    for (const auto& row : rows) {
        auto page = std::make_shared<ZORVAK_PrintPage>();
        auto printer = std::make_shared<FakePrinter>();
        if (row.withPrinter)
            page->setPrinter(printer);
        ZORVAK_PrintPanel panel(page);
        QList<bool> results;
        panel.setCompletionBlock([&](bool printed) { results << printed; });
        panel.show();
        row.cancel ? panel.cancelPrint() : panel.printPage();
        panel.printPage();
        EXPECT_TRUE(waitUntil([&] { return !results.isEmpty(); })) << row.name;
        EXPECT_TRUE(waitUntil([&] { return !panel.isVisible(); })) << row.name;
        EXPECT_EQ(results, QList<bool> {row.expected}) << row.name;
        EXPECT_EQ(printer->printed, row.printed) << row.name;
    }
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
