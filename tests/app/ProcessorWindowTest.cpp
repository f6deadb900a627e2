#include "app/SharedActions.h"
#include "app/processor/JobPreviewDialog.h"
#include "app/processor/PendingJobsModel.h"
#include "app/processor/PendingJobsTable.h"
#include "app/processor/ProcessorWindow.h"
#include "app/processor/PreviewSplitter.h"
#include "core/foundation/KOVA_Constants.h"
#include "core/image/ImageProperties.h"
#include "core/ui/Beeper.h"
#include "platform/files/StandardPaths.h"
#include "platform/undo/UndoManager.h"
#include "workflow/folders/KOVA_JobFolders.h"

#include "HostileFiles.h"
#include "JobFixtures.h"
#include "ShellFixture.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QSplitterHandle>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using namespace kova::test;

namespace {

QMessageBox* shownAlert()
{
    QMessageBox* found = nullptr;
    waitUntil([&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            for (QMessageBox* box : window->findChildren<QMessageBox*>())
                found = box->isVisible() ? box : found;
        }
        return found != nullptr;
    });
    return found;
}

void answer(QMessageBox* alert, const QString& title)
{
    for (QAbstractButton* button : alert->buttons()) {
        if (button->text() == title)
            button->click();
    }
}

QStringList titles(const QMenu* menu)
{
    QStringList shown;
    for (const QAction* action : menu->actions()) {
        if (!action->isSeparator())
            shown << action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (off)"));
    }
    return shown;
}

// Pixels that differ from the most common one, on a coarse grid.
int detailedPixels(const QImage& image)
{
    const QRgb background = image.pixel(image.width() - 2, image.height() / 2);
    int detailed = 0;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            detailed += image.pixel(x, y) != background ? 1 : 0;
    return detailed;
}

// A JPEG stored landscape, its left half `left` and right half `right`, whose
// metadata turns it a quarter clockwise (orientation 6): upright it is portrait,
// `left` on top.
QByteArray turnedPhoto(const QColor& left, const QColor& right)
{
    QImage stored(80, 40, QImage::Format_RGB32);
    stored.fill(right);
    QPainter(&stored).fillRect(0, 0, 40, 40, left);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    stored.save(&buffer, "JPEG", 95);
    return ImageProperties::rewrite(jpeg, { { ImageProperties::orientationKey, 6 } }).value_or(QByteArray());
}

// A photo of `size`, its top half red and its bottom half blue.
bool writeRedOverBluePhoto(const QString& path, const QSize& size)
{
    QImage photo(size, QImage::Format_RGB32);
    photo.fill(Qt::blue);
    QPainter(&photo).fillRect(0, 0, size.width(), size.height() / 2, Qt::red);
    return photo.save(path, "JPEG", 90);
}

bool near(const QColor& probe, const QColor& expected)
{
    return std::abs(probe.red() - expected.red()) < 60 && std::abs(probe.green() - expected.green()) < 60
        && std::abs(probe.blue() - expected.blue()) < 60;
}

} // namespace

class ProcessorWindowTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        jobs = makeBundles(scratch.path(), { "Order 1", "Order 2", "Order 3" });
        window = std::make_unique<ProcessorWindow>(actions.actions(), [this] { return jobs; });
        window->setFrameAutosaveName(ProcessorWindow::frameAutosaveName);
        window->showWindow();
        settle();
    }
    void TearDown() override
    {
        window.reset();
        ShellFixture::TearDown();
    }
    void select(const QList<int>& rows)
    {
        window->table()->selectionModel()->clear();
        for (const int row : rows)
            window->table()->selectionModel()->select(window->model()->index(row, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    void grab(const QString& name)
    {
        const QImage image = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QDir().mkpath(KOVA_SCREENSHOT_FOLDER);
        EXPECT_TRUE(image.save(QStringLiteral(KOVA_SCREENSHOT_FOLDER "/processor-%1.png").arg(name)));
        EXPECT_GT(detailedPixels(image), 200) << name.toStdString();
        lastGrab = image;
    }
    QString path(const QString& name) const { return scratch.path(name); }

    ScratchFolder scratch;
    QList<std::shared_ptr<KOVA_Job>> jobs;
    SharedActions actions;
    std::unique_ptr<ProcessorWindow> window;
    QImage lastGrab;
};

TEST_F(ProcessorWindowTest, TheSwitchStartsProcessingAndTheTitleFollows)
{
    QPushButton* button = window->buttonProcessorState();
    EXPECT_EQ(button->text(), "Paused");
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(defaults->boolForKey(key_kovaProcessorIsRunning));
    EXPECT_TRUE(waitUntil([&] { return button->text() == "Idle (waiting for jobs…)"; })) << button->text().toStdString();
    defaults->setBool(false, key_kovaProcessorIsRunning);
    EXPECT_TRUE(waitUntil([&] { return button->text() == "Paused"; }));
}

TEST_F(ProcessorWindowTest, ScreenshotsEmptyWithJobsAndProcessing)
{
    auto kept = jobs;
    jobs.clear();
    window->model()->reload();
    settle();
    grab(QStringLiteral("empty"));
    jobs = kept;
    window->model()->reload();
    select({ 1 });
    settle();
    grab(QStringLiteral("jobs"));
    // The grey dot of the paused switch.
    const QPoint dot = window->buttonProcessorState()->mapTo(window.get(), QPoint(12, window->buttonProcessorState()->height() / 2));
    defaults->setBool(true, key_kovaProcessorIsRunning);
    KOVA_JobFolders::setIsProcessing(true);
    EXPECT_TRUE(waitUntil([&] { return window->buttonProcessorState()->text() == "Processing jobs…"; }));
    EXPECT_TRUE(window->findChild<QProgressBar*>()->isVisible());
    grab(QStringLiteral("processing"));
    bool green = false;
    for (int dx = -6; dx <= 12 && !green; ++dx) {
        const QColor probe = lastGrab.pixelColor(dot + QPoint(dx, 0));
        green = probe.green() > 150 && probe.red() < 120 && probe.blue() < 140;
    }
    EXPECT_TRUE(green) << "the running switch shows a green dot";
    KOVA_JobFolders::setIsProcessing(false);
    defaults->setBool(false, key_kovaProcessorIsRunning);
}

TEST_F(ProcessorWindowTest, ContextMenuTitlesFollowTheClickAndTheModifiers)
{
    select({ 0, 1 });
    std::unique_ptr<QMenu> menu(window->contextMenu(2, Qt::NoModifier));
    EXPECT_EQ(titles(menu.get()), QStringList({ "Reveal \"Order 3\" in File Manager …", "Move \"Order 3\" to the Trash …" }));
    menu.reset(window->contextMenu(1, Qt::ControlModifier | Qt::AltModifier));
    EXPECT_EQ(titles(menu.get()),
        QStringList({ "Reveal \"selected items\" in File Manager …", "Move \"selected items\" to the Trash …",
            "Move \"selected items\" to the Completed Folder …" }));
    menu.reset(window->contextMenu(1, Qt::NoModifier));
    EXPECT_EQ(titles(menu.get()).size(), 2) << "the completed entry needs the modifiers at each opening";
    menu.reset(window->contextMenu(-1, Qt::NoModifier));
    EXPECT_EQ(titles(menu.get()),
        QStringList({ "Reveal \"selected items\" in File Manager … (off)", "Move \"selected items\" to the Trash … (off)" }));
}

TEST_F(ProcessorWindowTest, CompletedTakesWholeBundlesAndReplacesNothing)
{
    const QString completed = path("Completed");
    QDir().mkpath(completed + "/Order 3.kovajob");
    writeFile(completed + "/Order 3.kovajob/other", "kept");
    defaults->setObject(completed, key_kovaFolderJobsCompleted);
    int beeps = 0;
    Beeper::setHook([&] { ++beeps; });
    select({ 0, 1, 2 });
    std::unique_ptr<QMenu> menu(window->contextMenu(0, Qt::ControlModifier | Qt::AltModifier));
    const QString logged = loggedBy([&] { menu->actions().last()->trigger(); });
    Beeper::setHook(nullptr);
    EXPECT_EQ(beeps, 1);
    // The operator is told which item stayed and why.
    QMessageBox* alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->text(), "Not moved to the Completed Folder; these items stayed where they were:");
    EXPECT_EQ(alert->informativeText(), "Order 3.kovajob: File exists");
    EXPECT_TRUE(alert->isVisible());
    alert->close();
    // The two free names took their bundles whole; the taken one replaced nothing, and its
    // bundle is still in its hot folder, ticket and all.
    for (const char* moved : { "Order 1.kovajob", "Order 2.kovajob" }) {
        EXPECT_EQ(readFile(completed + "/" + moved + "/job.xml"), smallTicket) << moved;
        EXPECT_FALSE(QFileInfo::exists(path(moved))) << moved;
    }
    EXPECT_EQ(readFile(completed + "/Order 3.kovajob/other"), "kept");
    EXPECT_FALSE(QFileInfo::exists(completed + "/Order 3.kovajob/job.xml"));
    EXPECT_EQ(readFile(path("Order 3.kovajob/job.xml")), smallTicket);
    EXPECT_TRUE(logged.contains("Failed to move file from " + path("Order 3.kovajob"))) << logged.toStdString();
}

TEST_F(ProcessorWindowTest, TrashAsksFirstAndUndoAndRedoFollow)
{
    const QString trash = platform::StandardPaths::path(platform::StandardPaths::Folder::Trash);
    QDir(trash).removeRecursively();
    select({ 0, 2 });
    window->deleteSelectedOrders();
    QMessageBox* alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->text(), "Really Move Selected Job files to the Trash?");
    EXPECT_EQ(alert->windowModality(), Qt::WindowModal);
    answer(alert, QStringLiteral("Move to Trash"));
    ASSERT_TRUE(waitUntil([&] { return window->undoManager()->canUndo(); }));
    EXPECT_EQ(window->undoManager()->undoActionName(), "Move Files to Trash");
    for (const char* name : { "Order 1.kovajob", "Order 3.kovajob" }) {
        EXPECT_FALSE(QFileInfo::exists(path(name))) << name;
        EXPECT_TRUE(QFileInfo::exists(trash + "/files/" + name + "/job.xml")) << name;
        EXPECT_TRUE(QFileInfo::exists(trash + "/info/" + name + ".trashinfo")) << name;
    }
    EXPECT_TRUE(QFileInfo::exists(path("Order 2.kovajob/job.xml")));

    QApplication::setActiveWindow(window.get());
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    for (const char* name : { "Order 1.kovajob", "Order 3.kovajob" }) {
        EXPECT_TRUE(QFileInfo::exists(path(name) + "/job.xml")) << name;
        EXPECT_FALSE(QFileInfo::exists(trash + "/info/" + name + ".trashinfo")) << name;
    }
    ASSERT_TRUE(window->undoManager()->canRedo());
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QMessageBox* again = shownAlert();
    ASSERT_TRUE(again);
    answer(again, QStringLiteral("Cancel"));
    settle();
    EXPECT_TRUE(QFileInfo::exists(path("Order 1.kovajob/job.xml")));
}

TEST_F(ProcessorWindowTest, ATrashMoveThatLeavesAnItemBehindBeepsAndNamesIt)
{
    int beeps = 0;
    Beeper::setHook([&] { ++beeps; });
    select({ 1 });
    window->deleteSelectedOrders();
    QMessageBox* confirm = shownAlert();
    ASSERT_TRUE(confirm);
    QDir(path("Order 2.kovajob")).removeRecursively(); // gone before it could be trashed
    answer(confirm, QStringLiteral("Move to Trash"));
    QMessageBox* told = nullptr;
    EXPECT_TRUE(waitUntil([&] {
        told = shownAlert();
        return told && told->text().startsWith("Not moved to the Trash");
    }));
    Beeper::setHook(nullptr);
    ASSERT_TRUE(told);
    EXPECT_TRUE(told->informativeText().startsWith("Order 2.kovajob: ")) << told->informativeText().toStdString();
    EXPECT_EQ(beeps, 1);
    told->close();
}

TEST_F(ProcessorWindowTest, DropsAreTakenFromMovingSourcesAndReportedAsCopies)
{
    const QString pending = KOVA_JobFolders::defaultJobFolder()->jobsFolderURL().toLocalFile();
    ASSERT_TRUE(QDir().mkpath(pending));
    makeBundles(path("drops"), { "Dropped on the list" });
    writeFile(path("drops/flyer.pdf"), "%PDF-1.4");
    struct Case {
        const char* name;
        QString item;
        Qt::DropActions offered;
        bool accepted;
    };
    const Case cases[] {
        { "a PDF", path("drops/flyer.pdf"), Qt::MoveAction | Qt::CopyAction, false },
        { "a bundle", path("drops/Dropped on the list.kovajob"), Qt::MoveAction | Qt::CopyAction, true },
    };
    QWidget* viewport = window->table()->viewport();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QMimeData data;
        data.setUrls({ QUrl::fromLocalFile(c.item) });
        QDragEnterEvent move(QPoint(10, 10), c.offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        EXPECT_TRUE(move.isAccepted());
        EXPECT_EQ(move.dropAction(), Qt::MoveAction);
        QDropEvent drop(QPointF(10, 10), c.offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        EXPECT_EQ(drop.isAccepted(), c.accepted);
        EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    }
    EXPECT_TRUE(QFileInfo::exists(pending + "/Dropped on the list.kovajob/job.xml"));
    EXPECT_TRUE(QFileInfo::exists(path("drops/flyer.pdf")));
    // Nothing is left for the hot-folder watchers to read while the test ends.
    QDir(pending + "/Dropped on the list.kovajob").removeRecursively();

    QMimeData copyOnly;
    copyOnly.setUrls({ QUrl::fromLocalFile(path("drops/flyer.pdf")) });
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &copyOnly, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(ProcessorWindowTest, SpaceTogglesThePreviewOnlyWithASelection)
{
    window->table()->setFocus();
    QTest::keyClick(window->table(), Qt::Key_Space);
    EXPECT_FALSE(window->previewPanel() && window->previewPanel()->isVisible());
    select({ 1 });
    QTest::keyClick(window->table(), Qt::Key_Space);
    ASSERT_TRUE(window->previewPanel());
    EXPECT_TRUE(window->previewPanel()->isVisible());
    EXPECT_FALSE(window->previewPanel()->isModal());
    QTest::keyClick(window->table(), Qt::Key_Space);
    EXPECT_FALSE(window->previewPanel()->isVisible());
}

TEST_F(ProcessorWindowTest, ThePreviewStepsThroughTheItemsOfTheJobTheListSelects)
{
    const QString bundle = path("Order 1.kovajob");
    for (const char* name : { "photo-a.png", "photo-b.png" }) {
        QImage photo(40, 30, QImage::Format_RGB32);
        photo.fill(Qt::red);
        ASSERT_TRUE(photo.save(bundle + QLatin1Char('/') + QLatin1String(name)));
    }
    jobs[0] = KOVA_Job::instanceWithXMLObject(bundle);
    ASSERT_EQ(jobs[0]->previewItemsCount(), 3);
    window->model()->reload();
    select({ 0 });
    window->toggleQuickLookPreviewPanel();
    JobPreviewDialog* panel = window->previewPanel();
    ASSERT_TRUE(panel && panel->isVisible());
    EXPECT_EQ(panel->currentItemURL(), jobs[0]->documentURL());

    // Page keys step through the job's items and stop at its ends; the job keeps its place.
    const QList<std::pair<Qt::Key, int>> steps = {
        { Qt::Key_PageDown, 1 }, { Qt::Key_PageDown, 2 }, { Qt::Key_PageDown, 2 },
        { Qt::Key_PageUp, 1 },
    };
    for (const auto& [key, index] : steps) {
        QTest::keyClick(panel, key);
        EXPECT_EQ(panel->currentItemIndex(), index);
        EXPECT_EQ(jobs[0]->previewItemIndex(), index);
        EXPECT_EQ(panel->currentItemURL(), jobs[0]->previewItems().at(index).toUrl());
    }
    EXPECT_FALSE(JobPreviewDialog::picture(panel->currentItemURL().toLocalFile()).isNull());

    // Arrow keys move the list's selection, and the panel follows it.
    window->table()->setCurrentIndex(window->model()->index(0, 0));
    QTest::keyClick(panel, Qt::Key_Down);
    ASSERT_EQ(window->table()->selectedRows(), QList<int>{ 1 });
    EXPECT_EQ(panel->currentItemURL(), jobs[1]->documentURL());
    QTest::keyClick(panel, Qt::Key_Up);
    ASSERT_EQ(window->table()->selectedRows(), QList<int>{ 0 });
    EXPECT_EQ(panel->currentItemURL(), jobs[0]->previewItems().at(1).toUrl());

    // With several jobs selected the first one is previewed; with none, nothing.
    select({ 1, 2 });
    EXPECT_EQ(panel->currentItemURL(), jobs[1]->documentURL());
    select({});
    EXPECT_TRUE(panel->currentItemURL().isEmpty());
}

TEST_F(ProcessorWindowTest, ClosedByTheUserItIsRecordedClosedButNotWhileQuitting)
{
    EXPECT_TRUE(defaults->boolForKey(ProcessorWindow::keyVisible));
    ApplicationTermination::markTerminating();
    window->close();
    EXPECT_TRUE(defaults->boolForKey(ProcessorWindow::keyVisible));
    ApplicationTermination::clear();
    window->showWindow();
    window->close();
    EXPECT_FALSE(defaults->boolForKey(ProcessorWindow::keyVisible));
    EXPECT_FALSE(defaults->objectForKey(ProcessorWindow::frameAutosaveName).toByteArray().isEmpty());
}

// A bare ticket's picture named next to it, and a bundle's photo turned by its EXIF
// orientation, preview as they print: found, and upright.
TEST_F(ProcessorWindowTest, ThePreviewShowsABareTicketsPictureAndATurnedPhotoUpright)
{
    QImage green(60, 40, QImage::Format_RGB32);
    green.fill(QColor(0, 200, 0));
    ASSERT_TRUE(green.save(path("photo.png")));
    writeFile(path("bare.xml"), "<data type=\"kova_job\" version=\"1.0\"><image1>photo.png</image1></data>");
    QDir().mkpath(path("Turned.kovajob/Images"));
    writeFile(path("Turned.kovajob/job.xml"), "<data type=\"kova_job\" version=\"1.0\"><image1>turned.jpg</image1></data>");
    writeFile(path("Turned.kovajob/Images/turned.jpg"), turnedPhoto(Qt::red, Qt::blue));
    jobs = { KOVA_Job::instanceWithXMLObject(path("bare.xml")), KOVA_Job::instanceWithXMLObject(path("Turned.kovajob")) };
    window->model()->reload();
    const struct {
        int row;
        QColor top, bottom;
        bool portrait;
    } cases[] { { 0, QColor(0, 200, 0), QColor(0, 200, 0), false }, { 1, Qt::red, Qt::blue, true } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        select({ c.row });
        const QImage shown = window->imageViewPending()->pixmap().toImage();
        ASSERT_FALSE(shown.isNull());
        EXPECT_EQ(shown.height() > shown.width(), c.portrait) << shown.width() << "x" << shown.height();
        EXPECT_TRUE(near(shown.pixelColor(shown.width() / 2, shown.height() / 8), c.top));
        EXPECT_TRUE(near(shown.pixelColor(shown.width() / 2, shown.height() * 7 / 8), c.bottom));
    }
}

// The preview dialog, its frame included, stays inside the available screen: a photo
// far taller than the screen is shown smaller, whole, upright and in its proportions,
// with the buttons below it on the screen; a small picture keeps its size.
TEST_F(ProcessorWindowTest, ThePreviewKeepsTheDialogAndItsButtonsInsideTheScreen)
{
    const struct {
        const char* name;
        QSize photo;
        bool shrinks;
    } cases[] { { "tall-photo", { 3000, 6000 }, true }, { "small-picture", { 60, 40 }, false } };
    const QString bundle = path("Order 1.kovajob");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(writeRedOverBluePhoto(bundle + QStringLiteral("/photo.jpg"), c.photo));
        jobs[0] = KOVA_Job::instanceWithXMLObject(bundle);
        window->model()->reload();
        select({ 0 });
        if (!window->previewPanel() || !window->previewPanel()->isVisible())
            window->toggleQuickLookPreviewPanel();
        JobPreviewDialog* panel = window->previewPanel();
        ASSERT_TRUE(panel && panel->isVisible());
        const QVariantList items = jobs[0]->previewItems();
        const auto photoItem = std::find_if(items.begin(), items.end(),
            [](const QVariant& item) { return item.toUrl().fileName() == QStringLiteral("photo.jpg"); });
        ASSERT_NE(photoItem, items.end());
        panel->setCurrentItemIndex(int(photoItem - items.begin()));
        settle();

        const QRect available = panel->screen()->availableGeometry();
        EXPECT_TRUE(available.contains(panel->frameGeometry()))
            << panel->frameGeometry().y() << "+" << panel->frameGeometry().height() << " on " << available.height();
        const QList<QPushButton*> buttons = panel->findChildren<QPushButton*>();
        ASSERT_EQ(buttons.size(), 2);
        for (const QPushButton* button : buttons) {
            EXPECT_TRUE(available.contains(QRect(button->mapToGlobal(QPoint()), button->size())));
            EXPECT_TRUE(panel->rect().contains(QRect(button->mapTo(panel, QPoint()), button->size())));
        }
        const QLabel* image = panel->findChild<QLabel*>();
        ASSERT_TRUE(image);
        const QSize shown = image->pixmap().deviceIndependentSize().toSize();
        if (c.shrinks) {
            EXPECT_LT(shown.height(), c.photo.height());
            EXPECT_NEAR(shown.height(), 2 * shown.width(), 2) << shown.width() << "x" << shown.height();
        } else {
            EXPECT_EQ(shown, c.photo);
        }

        const QImage grab = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QDir().mkpath(KOVA_SCREENSHOT_FOLDER);
        // Named by the screen too: the test also runs on screens of other sizes.
        EXPECT_TRUE(grab.save(QStringLiteral(KOVA_SCREENSHOT_FOLDER "/preview-%1-%2x%3.png")
                                  .arg(c.name).arg(available.width()).arg(available.height())));
        const qreal ratio = grab.devicePixelRatio();
        const QPoint centre = image->mapTo(panel, image->rect().center());
        const QPoint quarter(0, shown.height() / 4);
        EXPECT_TRUE(near(grab.pixelColor((centre - quarter) * ratio), Qt::red)) << "the top half on top";
        EXPECT_TRUE(near(grab.pixelColor((centre + quarter) * ratio), Qt::blue)) << "the bottom half below";
        for (const QPushButton* button : buttons) {
            const QRect drawn(button->mapTo(panel, QPoint()) * ratio, button->size() * ratio);
            ASSERT_TRUE(grab.rect().contains(drawn));
            EXPECT_GT(detailedPixels(grab.copy(drawn)), 3) << "a button is drawn";
        }
    }
}

// The list keeps the operator's place while tickets arrive and leave: the selected
// job, its preview and the scroll position stay; a double click on the divider
// folds the preview away and brings it back.
TEST_F(ProcessorWindowTest, SelectionPreviewAndScrollSurviveArrivalsAndAFiling)
{
    QImage photo(60, 40, QImage::Format_RGB32);
    photo.fill(QColor(0, 200, 0));
    ASSERT_TRUE(photo.save(path("photo.png")));
    writeFile(path("bare.xml"), "<data type=\"kova_job\" version=\"1.0\"><image1>photo.png</image1></data>");
    const auto bare = KOVA_Job::instanceWithXMLObject(path("bare.xml"));
    jobs << bare << makeBundles(path("many"), { "M1", "M2", "M3", "M4", "M5", "M6", "M7", "M8", "M9", "M10", "M11", "M12",
                                                  "M13", "M14", "M15", "M16", "M17", "M18", "M19", "M20", "M21", "M22" });
    window->model()->reload();
    select({ 3 });
    settle();
    QScrollBar* scroll = window->table()->verticalScrollBar();
    scroll->setValue(scroll->maximum() / 2);
    const int scrolled = scroll->value();
    const qint64 preview = window->imageViewPending()->pixmap().cacheKey();
    ASSERT_FALSE(window->imageViewPending()->pixmap().isNull());
    const auto arrivals = makeBundles(path("arrivals"), { "Late 1", "Late 2", "Late 3" });
    for (const auto& arrival : arrivals) {
        jobs.append(arrival);
        window->model()->reload();
    }
    jobs.removeFirst(); // "Order 1" filed
    window->model()->reload();
    settle();
    const QList<int> selected = window->table()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(window->model()->job(selected.first()), bare);
    EXPECT_EQ(window->imageViewPending()->pixmap().cacheKey(), preview);
    EXPECT_EQ(scroll->value(), scrolled);
    window->table()->scrollTo(window->model()->index(selected.first(), 0));
    settle();
    grab(QStringLiteral("selected-preview"));
    const QPoint middle = window->imageViewPending()->mapTo(window.get(), window->imageViewPending()->rect().center());
    EXPECT_TRUE(near(lastGrab.pixelColor(middle), QColor(0, 200, 0))) << "the selected ticket's picture";
    const QRect row = window->table()->visualRect(window->model()->index(selected.first(), 0));
    const QPoint inRow = window->table()->viewport()->mapTo(window.get(), row.center() + QPoint(row.width() / 3, 0));
    const QPalette colours = window->table()->palette();
    EXPECT_TRUE(near(lastGrab.pixelColor(inRow), colours.color(QPalette::Active, QPalette::Highlight))
        || near(lastGrab.pixelColor(inRow), colours.color(QPalette::Inactive, QPalette::Highlight)))
        << "the selected row is highlighted";

    QSplitterHandle* divider = window->splitter()->handle(1);
    QTest::mouseDClick(divider, Qt::LeftButton, Qt::NoModifier, divider->rect().center());
    EXPECT_EQ(window->splitter()->sizes().value(1), 0);
    QTest::mouseDClick(divider, Qt::LeftButton, Qt::NoModifier, divider->rect().center());
    EXPECT_GT(window->splitter()->sizes().value(1), 0);
}

// Also run on X under a window manager by the application's smoke test: the preview of
// a photo far taller than the screen is placed, frame and title bar included, inside it.
TEST(ApplicationProcess, ThePreviewOfATallPhotoLiesInsideTheScreen)
{
    ScratchFolder scratch;
    const auto bundles = makeBundles(scratch.path(), { "Tall" });
    ASSERT_TRUE(writeRedOverBluePhoto(scratch.path("Tall.kovajob/photo.jpg"), { 3000, 6000 }));
    const QList<std::shared_ptr<KOVA_Job>> jobs { KOVA_Job::instanceWithXMLObject(scratch.path("Tall.kovajob")) };
    SharedActions actions;
    ProcessorWindow window(actions.actions(), [&] { return jobs; });
    window.showWindow();
    window.table()->selectionModel()->select(window.model()->index(0, 0),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window.toggleQuickLookPreviewPanel();
    JobPreviewDialog* panel = window.previewPanel();
    ASSERT_TRUE(panel);
    panel->setCurrentItemIndex(int(jobs[0]->previewItemsCount()) - 1);
    ASSERT_TRUE(panel->currentItemURL().fileName() == QStringLiteral("photo.jpg"));
    EXPECT_TRUE(QTest::qWaitForWindowExposed(panel));
    const QRect available = panel->screen()->availableGeometry();
    EXPECT_TRUE(waitUntil([&] { return available.contains(panel->frameGeometry()); }))
        << panel->frameGeometry().y() << "+" << panel->frameGeometry().height() << " on " << available.height();
    panel->close();
}
