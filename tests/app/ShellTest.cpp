#include "app/SharedActions.h"
#include "app/processor/ProcessorWindow.h"
#include "editor/window/TemplateEditorPresenter.h"
#include "workflow/folders/KOVA_FolderSetClass.h"
#include "workflow/folders/KOVA_PrintToFileSet.h"

#include "ShellFixture.h"

#include <QAction>
#include <QDir>
#include <QImage>
#include <QMenuBar>
#include <QSessionManager>

using namespace std::chrono_literals;
using kova::test::ShellFixture;

class StartPanelTest : public ShellFixture {};

TEST_F(StartPanelTest, ShowsATenthOfASecondAfterALaunchWithNoWindows)
{
    launch();
    EXPECT_FALSE(panelVisible());
    advance(99ms);
    EXPECT_FALSE(panelVisible());
    advance(1ms);
    EXPECT_TRUE(panelVisible());
    EXPECT_EQ(panelShowings.shown, 1);
    EXPECT_EQ(app->panelSimpleStart()->windowType(), Qt::Tool);
}

TEST_F(StartPanelTest, StaysAwayWhileAWindowShowsAndComesBackOnceWhenTheyLeave)
{
    launch();
    advance(100ms);
    ASSERT_EQ(panelShowings.shown, 1);
    app->showProcessorWindow();
    app->showTemplateEditor();
    EXPECT_FALSE(panelVisible());
    advance(200ms); // the panel's own hide asks for nothing
    EXPECT_FALSE(panelVisible());

    // Both windows closed in one turn: one showing.
    app->windowControllerProcessor()->close();
    app->windowControllerTemplateEditor()->window()->close();
    advance(100ms);
    EXPECT_TRUE(panelVisible());
    EXPECT_EQ(panelShowings.shown, 2);

    app->startSitting();
    advance(200ms);
    EXPECT_FALSE(panelVisible());

    // A minimised window is off the screen too.
    app->showProcessorWindow();
    advance(200ms);
    EXPECT_FALSE(panelVisible());
    app->windowControllerProcessor()->showMinimized();
    advance(100ms);
    EXPECT_TRUE(panelVisible());
    EXPECT_EQ(panelShowings.shown, 3);
}

TEST_F(StartPanelTest, IsATranslucentPanelGrabbedIntoTheScreenshots)
{
    launch();
    advance(100ms);
    StartPanel* panel = app->panelSimpleStart();
    ASSERT_TRUE(panel->isVisible());
    EXPECT_TRUE(panel->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(panel->windowFlags() & Qt::WindowStaysOnTopHint);
    const QImage grabbed = panel->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    QDir().mkpath(KOVA_SCREENSHOT_FOLDER);
    EXPECT_TRUE(grabbed.save(QStringLiteral(KOVA_SCREENSHOT_FOLDER "/start-panel.png")));
    // Probe: the background just inside the left edge, halfway down.
    const QColor background = grabbed.pixelColor(4, grabbed.height() / 2);
    EXPECT_NEAR(background.red(), 217, 3);
    EXPECT_NEAR(background.alpha(), 242, 3);
    // Probe: the button's text is drawn darker than the panel somewhere.
    int darker = 0;
    for (int y = 0; y < grabbed.height(); ++y)
        for (int x = 0; x < grabbed.width(); ++x)
            darker += qGray(grabbed.pixel(x, y)) < 120 ? 1 : 0;
    EXPECT_GT(darker, 50);
}

class RestoreTest : public ShellFixture {};

TEST_F(RestoreTest, TheWindowsOpenAtQuitOpenAtTheNextLaunch)
{
    launch();
    app->showProcessorWindow();
    app->showTemplateEditor();
    EXPECT_EQ(quit(), 0);
    EXPECT_TRUE(defaults->boolForKey(AppDelegate::keyProcessorVisible));
    EXPECT_TRUE(defaults->boolForKey(AppDelegate::keyEditorVisible));

    launch();
    ASSERT_TRUE(app->windowControllerProcessor());
    EXPECT_TRUE(app->windowControllerProcessor()->isVisible());
    ASSERT_TRUE(app->windowControllerTemplateEditor() && app->windowControllerTemplateEditor()->window());
    EXPECT_TRUE(app->windowControllerTemplateEditor()->window()->isVisible());

    app->windowControllerTemplateEditor()->window()->close();
    EXPECT_FALSE(defaults->boolForKey(AppDelegate::keyEditorVisible));
    EXPECT_EQ(quit(), 0);

    launch();
    EXPECT_TRUE(app->windowControllerProcessor() && app->windowControllerProcessor()->isVisible());
    EXPECT_FALSE(app->windowControllerTemplateEditor());
}

TEST_F(RestoreTest, AFolderSetEditedJustBeforeQuittingIsSaved)
{
    launch();
    KOVA_FolderSetClass& sets = KOVA_PrintToFileSet::classSide();
    sets.addFolderSet(sets.makeFolderSet(QStringLiteral("Saved at quit")));
    advance(50ms);
    EXPECT_EQ(quit(), 0);
    QStringList saved;
    for (const auto& set : sets.folderSetsFromSavedData())
        saved << set->name();
    EXPECT_TRUE(saved.contains(QStringLiteral("Saved at quit"))) << saved.join(", ").toStdString();
}

// A session manager asks for state at checkpoints, not only at log-out; only the
// session's end (the platform's Quit event) quits, keeping the windows for the
// next launch.
TEST_F(RestoreTest, AStateRequestLeavesTheApplicationRunningAndTheSessionsEndQuitsIt)
{
    launch();
    app->showProcessorWindow();
    QSessionManager* session = qApp->findChild<QSessionManager*>();
    ASSERT_TRUE(session);
    EXPECT_EQ(runLoop([session] {
        emit qApp->commitDataRequest(*session);
        emit qApp->saveStateRequest(*session);
        QCoreApplication::exit(7);
    }), 7);
    EXPECT_FALSE(ApplicationTermination::isTerminating());
    EXPECT_TRUE(app->windowControllerProcessor()->isVisible());

    EXPECT_EQ(runLoop([] {
        QEvent sessionEnds(QEvent::Quit);
        QCoreApplication::sendEvent(qApp, &sessionEnds);
    }), 0);
    EXPECT_TRUE(ApplicationTermination::isTerminating());
    EXPECT_TRUE(defaults->boolForKey(AppDelegate::keyProcessorVisible));
}

TEST_F(RestoreTest, EveryWindowShowsTheSharedActionsAndPreferencesGoThroughTheirAction)
{
    launch();
    int opened = 0;
    app->sharedActions()->setPreferencesOpener([&] { ++opened; });
    app->showPreferences();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(app->sharedActions()->preferences()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    EXPECT_EQ(app->sharedActions()->quit()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    app->showProcessorWindow();
    app->showTemplateEditor();
    for (QWidget* window : { static_cast<QWidget*>(app->windowControllerProcessor()), app->windowControllerTemplateEditor()->window() }) {
        const QMenuBar* bar = window->findChild<QMenuBar*>();
        ASSERT_TRUE(bar);
        const QList<QAction*> first = bar->actions().first()->menu()->actions();
        EXPECT_TRUE(first.contains(app->sharedActions()->preferences()));
        EXPECT_TRUE(first.contains(app->sharedActions()->quit()));
    }
}
