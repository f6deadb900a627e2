#include "app/delegate/AppDelegate.h"
#include "app/SharedActions.h"
#include "app/preferences/PreferencesPaneSize.h"
#include "app/preferences/PreferencesTabViewController.h"
#include "app/preferences/PreferencesWindowController.h"

#include "PreferencesTesting.h"

#include <QAction>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QScreen>
#include <QTabBar>
#include <QTest>

using namespace std::chrono_literals;

namespace {
const QStringList paneIdentifiers { "prefGeneral",       "prefsFolders",  "prefsPrintToFile", "prefsTemplates",
                                    "prefsEditableText", "prefsAdvanced", "prefsInfo" };

// How many pixels differ from the grab's first pixel, probed on a grid.
int probesUnlikeTheCorner(const QImage& grab, int step = 7)
{
    int differing = 0;
    const QRgb corner = grab.pixel(0, 0);
    for (int y = 0; y < grab.height(); y += step) {
        for (int x = 0; x < grab.width(); x += step)
            differing += grab.pixel(x, y) != corner;
    }
    return differing;
}
} // namespace

class PreferencesWindow : public kova::test::PreferencesTest {
protected:
    std::unique_ptr<PreferencesWindowController> makeWindow()
    {
        auto window = std::make_unique<PreferencesWindowController>(nullptr);
        window->setGeometry(300, 200, 600, 366);
        return window;
    }
    PreferencesTabViewController* tabs(PreferencesWindowController& window) { return window.tabViewController(); }
};

TEST_F(PreferencesWindow, HoldsThePanesInOrderAndConstructionStoresNothing)
{
    auto window = makeWindow();
    EXPECT_TRUE(window->windowFlags() & Qt::Window);
    QStringList identifiers;
    for (int i = 0; i < tabs(*window)->count(); ++i)
        identifiers.append(tabs(*window)->widget(i)->objectName());
    EXPECT_EQ(identifiers, paneIdentifiers);
    EXPECT_FALSE(defaults()->objectForKey(PreferencesTabViewController::selectedIndexKey).isValid());
}

// Without a kept frame the window system places the window, already at its size.
TEST_F(PreferencesWindow, TheStoredPaneReopensAtItsSizeLeftToBePlaced)
{
    defaults()->setObject(quint64(2), PreferencesTabViewController::selectedIndexKey);
    PreferencesWindowController window(nullptr);
    window.show();
    EXPECT_EQ(tabs(window)->currentIndex(), 2);
    EXPECT_EQ(window.geometry().size(), QSize(773, 421));
    EXPECT_FALSE(window.testAttribute(Qt::WA_Moved));
}

TEST_F(PreferencesWindow, AStoredIndexPastTheTabsOpensTheFirstPane)
{
    defaults()->setObject(quint64(40), PreferencesTabViewController::selectedIndexKey);
    auto window = makeWindow();
    window->show();
    EXPECT_EQ(tabs(*window)->currentIndex(), 0);
    EXPECT_EQ(window->geometry().size(), QSize(600, 366));
}

TEST_F(PreferencesWindow, SwitchingPanesStoresTheIndexAndResizesLaterKeepingTheTop)
{
    defaults()->setObject(quint64(1), PreferencesTabViewController::selectedIndexKey);
    auto window = makeWindow();
    window->show();
    const QRect folders = window->geometry();
    ASSERT_EQ(folders.height(), 426);
    tabs(*window)->setCurrentIndex(3);
    EXPECT_EQ(defaults()->integerForKey(PreferencesTabViewController::selectedIndexKey), 3);
    EXPECT_EQ(window->geometry(), folders) << "the resize waits 50 ms";
    advance(50ms);
    EXPECT_EQ(window->geometry().top(), folders.top());
    EXPECT_EQ(window->geometry().height(), folders.height() - 85);
    EXPECT_EQ(window->minimumSize(), QSize(600, 341));
}

// Every pane has its table's height, at least its table's width and room for the
// whole row of tabs: each tab lies inside the bar and the bar inside the window,
// and the last tab's label is drawn.
TEST_F(PreferencesWindow, EveryPaneShowsSomethingAndEveryTabInItsGrab)
{
    auto window = makeWindow();
    window->show();
    QTabBar* bar = tabs(*window)->tabBar();
    for (int i = 0; i < tabs(*window)->count(); ++i) {
        tabs(*window)->setCurrentIndex(i);
        advance(50ms);
        const QString identifier = tabs(*window)->widget(i)->objectName();
        const QSize table = *PreferencesPaneSize::sizeForIdentifier(identifier);
        const QImage grab = grabToScreenshots(window.get(), QStringLiteral("preferences-") + identifier);
        ASSERT_FALSE(grab.isNull()) << identifier.toStdString();
        EXPECT_EQ(grab.size(), window->size() * grab.devicePixelRatio()) << identifier.toStdString();
        EXPECT_EQ(window->height(), table.height()) << identifier.toStdString();
        EXPECT_GE(window->width(), table.width()) << identifier.toStdString();
        EXPECT_GT(probesUnlikeTheCorner(grab), 20) << identifier.toStdString();
        EXPECT_TRUE(window->rect().contains(QRect(bar->mapTo(window.get(), QPoint()), bar->size())))
            << identifier.toStdString();
        for (int tab = 0; tab < bar->count(); ++tab)
            EXPECT_TRUE(bar->rect().contains(bar->tabRect(tab))) << identifier.toStdString() << " " << tab;
        const QRect lastTab = bar->tabRect(bar->count() - 1).translated(bar->mapTo(window.get(), QPoint()));
        const QImage label = grab.copy(QRect(lastTab.topLeft() * grab.devicePixelRatio(), lastTab.size() * grab.devicePixelRatio()));
        EXPECT_GT(probesUnlikeTheCorner(label, 1), 20) << identifier.toStdString();
    }
}

TEST_F(PreferencesWindow, AKeptFrameAboveTheScreenComesBackInsideItOnEveryTab)
{
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    defaults()->setObject(QStringLiteral("%1 %2 600 366").arg(available.left() + 40).arg(available.top() - 20),
                          QStringLiteral("NSWindow Frame ") + PreferencesWindowController::frameAutosaveName);
    PreferencesWindowController window(nullptr);
    window.show();
    for (int i = 0; i < tabs(window)->count(); ++i) {
        tabs(window)->setCurrentIndex(i);
        advance(50ms);
        EXPECT_TRUE(available.contains(window.frameGeometry())) << i;
        EXPECT_EQ(window.frameGeometry().top(), available.top()) << i;
    }
}

// Also run on X by the application's smoke test: the shared action opens the
// window, which is mapped, and every tab shows at its size inside the screen.
TEST(ApplicationProcess, ThePreferencesActionOpensTheWindowAndEveryTabShows)
{
    auto app = std::make_shared<AppDelegate>(QDBusConnection(QStringLiteral("none")), nullptr);
    app->sharedActions()->preferences()->trigger();
    PreferencesWindowController* window = app->windowControllerPreferences();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    PreferencesTabViewController* tabs = window->tabViewController();
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        const QSize size = *tabs->paneSize(i);
        const QRect available = window->screen()->availableGeometry();
        // Under a window manager the frame, title bar included, stays on the screen.
        EXPECT_TRUE(kova::test::waitUntil([&] {
            return window->geometry().size() == size && available.contains(window->frameGeometry());
        })) << tabs->widget(i)->objectName().toStdString() << " " << window->frameGeometry().y();
    }
    app.reset();
    kova::test::processMainQueue();
}
