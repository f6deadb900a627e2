#include "app/preferences/FolderSetsTableView.h"
#include "app/preferences/PrefsFoldersViewController.h"

#include "HostileFiles.h"
#include "JobFixtures.h"
#include "PreferencesTesting.h"
#include "core/foundation/KOVA_Constants.h"
#include "workflow/folders/KOVA_JobFolders.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLabel>
#include <QTest>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>

using namespace std::chrono_literals;

namespace {
KOVA_FolderSetClass& jobFolders() { return KOVA_JobFolders::classSide(); }

std::shared_ptr<KOVA_JobFolders> jobFolder(const QString& name, bool fixedName = false)
{
    auto folder = std::make_shared<KOVA_JobFolders>(name, QUrl::fromLocalFile(QStringLiteral("/nonexistent/") + name));
    QVariantMap properties { { KOVA_JobFolders::EnabledKey, false }, { KOVA_JobFolders::HasFixedNameKey, fixedName } };
    folder->setProperties(properties);
    return folder;
}

// The alert the pane shows on its window.
QMessageBox* shownAlert(QWidget* window)
{
    QMessageBox* alert = nullptr;
    kova::test::waitUntil([&] { return (alert = window->findChild<QMessageBox*>()) && alert->isVisible(); });
    return alert;
}

void answer(QMessageBox* alert, const QString& button)
{
    for (QAbstractButton* candidate : alert->buttons()) {
        if (candidate->text() == button)
            candidate->click();
    }
    kova::test::processMainQueue();
}
} // namespace

class FoldersPane : public kova::test::PreferencesTest {
protected:
    void SetUp() override
    {
        PreferencesTest::SetUp();
        listedBefore = jobFolders().folderSets();
        jobFolders().setFolderSets({});
        pane = std::make_unique<PrefsFoldersViewController>();
        pane->resize(700, 426);
        pane->show();
    }
    void TearDown() override
    {
        pane.reset();
        PreferencesTest::TearDown();
        // The other suites find the job folders as they were.
        jobFolders().setFolderSets(listedBefore);
    }

    void list(const KOVA_FolderSetClass::FolderSets& sets)
    {
        jobFolders().setFolderSets(sets);
        jobFolders().updateFolderSets();
        advance(100ms);
    }
    void selectRows(const QList<int>& rows)
    {
        QItemSelectionModel* selection = pane->tableView()->selectionModel();
        selection->clear();
        for (int row : rows)
            selection->select(pane->tableView()->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    std::unique_ptr<PrefsFoldersViewController> pane;
    KOVA_FolderSetClass::FolderSets listedBefore;
};

TEST_F(FoldersPane, AddGivesADisabledPendingJobsFolderAtHomeSelectedAlone)
{
    list({ jobFolder("Lab") });
    selectRows({ 0 });
    pane->addFolderSet();
    advance(100ms);
    const auto sets = jobFolders().folderSets();
    ASSERT_EQ(namesOf(sets), QStringList({ "Lab", "Pending Jobs" }));
    const auto added = std::static_pointer_cast<KOVA_JobFolders>(sets.at(1));
    EXPECT_EQ(added->URL(), QUrl::fromLocalFile(QDir::homePath()));
    EXPECT_FALSE(added->enabled());
    EXPECT_FALSE(added->hasFileEvent());
    EXPECT_EQ(added->jobFileUTType(), QStringLiteral("public.xml")) << "as it is read back at the next start";
    saveAndNotice();
    EXPECT_EQ(pane->tableView()->selectedFolderSets(), QList<std::shared_ptr<KOVA_FolderSet>>({ added }));
}

// Changes of the list are announced row by row: a kept set's row follows it and
// nothing is reset.
TEST_F(FoldersPane, ListChangesMoveInsertAndRemoveRowsWithoutAReset)
{
    const auto a = jobFolder("A"), b = jobFolder("B"), c = jobFolder("C"), d = jobFolder("D");
    const struct {
        KOVA_FolderSetClass::FolderSets listed;
        const char* rows;
    } changes[] = {
        { { a, b, c }, "A|B|C" }, { { a, c }, "A|C" }, { { a, b, c, d }, "A|B|C|D" }, { { d, c, a }, "D|C|A" },
    };
    list(changes[0].listed);
    QAbstractItemModel* model = pane->tableView()->model();
    QSignalSpy resets(model, &QAbstractItemModel::modelReset);
    const QPersistentModelIndex cRow = model->index(2, 0);
    for (const auto& change : changes) {
        list(change.listed);
        QStringList rows;
        for (int row = 0; row < model->rowCount(); ++row)
            rows.append(model->index(row, 0).data().toString());
        EXPECT_EQ(rows.join(u'|'), QString::fromLatin1(change.rows));
        EXPECT_EQ(cRow.data().toString(), QStringLiteral("C")) << change.rows;
    }
    EXPECT_EQ(resets.count(), 0);
}

TEST_F(FoldersPane, DeletingThreeAsksOnceAndKeepsTheFixedName)
{
    list({ jobFolder("Old", true), jobFolder("Lab"), jobFolder("Shop"), jobFolder("Kiosk") });
    selectRows({ 0, 1, 2 });
    pane->deleteSelectedFolderSets();
    QMessageBox* alert = shownAlert(pane->window());
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), QStringLiteral("DELETE Selected Folders ???"));
    EXPECT_EQ(alert->informativeText(), QStringLiteral("Are you sure you want to delete the selected folder paths?"));
    answer(alert, QStringLiteral("Delete"));
    EXPECT_EQ(namesOf(jobFolders().folderSets()), QStringList({ "Old", "Kiosk" }));
}

TEST_F(FoldersPane, DeletingOneNamesItAndCancelKeepsIt)
{
    list({ jobFolder("Lab") });
    selectRows({ 0 });
    pane->deleteSelectedFolderSets();
    QMessageBox* alert = shownAlert(pane->window());
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), QStringLiteral("DELETE \"Lab\" ???"));
    EXPECT_EQ(alert->informativeText(), QStringLiteral("Are you sure you want to delete the selected folder path?"));
    answer(alert, QStringLiteral("Cancel"));
    EXPECT_EQ(namesOf(jobFolders().folderSets()), QStringList({ "Lab" }));
}

TEST_F(FoldersPane, DeletingWithoutASelectionOnlyBeeps)
{
    list({ jobFolder("Lab") });
    pane->tableView()->clearSelection();
    pane->deleteSelectedFolderSets();
    kova::test::processMainQueue();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(pane->window()->findChild<QMessageBox*>(), nullptr);
    EXPECT_EQ(namesOf(jobFolders().folderSets()), QStringList({ "Lab" }));
}

TEST_F(FoldersPane, AChosenFolderFillsTheFieldAndReachesTheApplication)
{
    QTemporaryDir chosen;
    pane->chooseFolder(0);
    QFileDialog* panel = nullptr;
    ASSERT_TRUE(kova::test::waitUntil([&] { return (panel = pane->window()->findChild<QFileDialog*>()) && panel->isVisible(); }));
    EXPECT_EQ(panel->windowTitle(), QStringLiteral("Choose the Templates folder"));
    panel->selectFile(chosen.path());
    panel->setDirectory(chosen.path());
    QMetaObject::invokeMethod(panel, "accept");
    ASSERT_TRUE(kova::test::waitUntil([&] { return delegate->received.contains(key_kovaFolderTemplates); }));
    EXPECT_EQ(delegate->received.value(key_kovaFolderTemplates).toString(), chosen.path());
    EXPECT_EQ(defaults()->stringForKey(key_kovaFolderTemplates), chosen.path());
    EXPECT_EQ(pane->field(0)->text(), chosen.path());
    EXPECT_EQ(pane->field(0)->toolTip(), chosen.path());
}

TEST_F(FoldersPane, RevealingAMissingFolderBeepsOnceAndLogs)
{
    defaults()->setObject(QStringLiteral("/nonexistent/Nodes"), key_kovaFolderNodes);
    pane->hide();
    pane->show();
    const QString logged = kova::test::loggedBy([&] {
        pane->revealFile(1);
        kova::test::waitUntil([&] { return beeps > 0; });
        kova::test::processMainQueue();
    });
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(logged.contains(QStringLiteral("no file available at /nonexistent/Nodes"))) << logged.toStdString();
}

TEST_F(FoldersPane, ThePendingFieldShowsTheChosenFolderOverTheTree)
{
    defaults()->setObject(QStringLiteral("/srv/pending"), key_kovaFolderJobsPending);
    pane->hide();
    pane->show();
    EXPECT_EQ(pane->field(3)->text(), QStringLiteral("/srv/pending"));
}

TEST_F(FoldersPane, AClickOnAFolderSelectsItsRowAndADoubleClickChoosesItsFolder)
{
    QTemporaryDir chosen;
    list({ jobFolder("Lab"), jobFolder("Shop") });
    FolderSetsTableView* table = pane->tableView();
    const QPoint shopFolder = table->visualRect(table->model()->index(1, 1)).center();
    selectRows({ 0 });
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, shopFolder);
    ASSERT_EQ(table->selectedFolderSets().size(), 1);
    EXPECT_EQ(table->selectedFolderSets().constFirst()->name(), QStringLiteral("Shop"));

    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, shopFolder);
    QFileDialog* panel = nullptr;
    ASSERT_TRUE(kova::test::waitUntil([&] { return (panel = pane->window()->findChild<QFileDialog*>()) && panel->isVisible(); }));
    QStringList texts;
    for (const QLabel* label : panel->findChildren<QLabel*>())
        texts.append(label->text());
    EXPECT_TRUE(texts.contains(QStringLiteral("Choose a Folder for 'Shop'"))) << texts.join(u'|').toStdString();
    EXPECT_EQ(panel->fileMode(), QFileDialog::Directory);
    panel->selectFile(chosen.path());
    panel->setDirectory(chosen.path());
    QMetaObject::invokeMethod(panel, "accept");
    EXPECT_TRUE(kova::test::waitUntil([&] { return jobFolders().folderSets().at(1)->URL() == QUrl::fromLocalFile(chosen.path()); }));
    EXPECT_EQ(jobFolders().folderSets().at(0)->URL(), QUrl::fromLocalFile(QStringLiteral("/nonexistent/Lab")));
}

TEST_F(FoldersPane, TheJobCountFollowsThePendingList)
{
    const QString hot = QDir::home().filePath(QStringLiteral("pane-hot"));
    ASSERT_TRUE(QDir().mkpath(hot));
    // A folder added with "+", pointed at the hot folder and enabled, takes XML tickets.
    pane->addFolderSet();
    const auto folder = std::static_pointer_cast<KOVA_JobFolders>(jobFolders().folderSets().constLast());
    folder->setURL(QUrl::fromLocalFile(hot));
    QAbstractItemModel* model = pane->tableView()->model();
    model->setData(model->index(0, 2), Qt::Checked, Qt::CheckStateRole);
    ASSERT_TRUE(folder->hasFileEvent());
    const QModelIndex count = model->index(0, 3);
    QSignalSpy shown(model, &QAbstractItemModel::dataChanged);
    const auto pendingBecomes = [&](qsizetype jobs) {
        return kova::test::waitUntil([&] {
            advance(1s);
            return KOVA_JobFolders::jobsPending().size() == jobs;
        });
    };

    ASSERT_TRUE(kova::test::writeFile(hot + QStringLiteral("/order.xml"), kova::test::smallTicket));
    ASSERT_TRUE(pendingBecomes(1));
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.constLast().at(1).toModelIndex().column(), count.column());
    EXPECT_EQ(count.data().toInt(), 1);

    shown.clear();
    ASSERT_TRUE(QFile::remove(hot + QStringLiteral("/order.xml")));
    ASSERT_TRUE(pendingBecomes(0));
    EXPECT_FALSE(shown.isEmpty());
    EXPECT_EQ(count.data().toInt(), 0);
    folder->setEnabled(false);
    QDir(hot).removeRecursively();
}

// The editor stays open, with what is typed, through the save of another row.
TEST_F(FoldersPane, AFolderRenamedInPlaceIsSavedUnderItsNewName)
{
    list({ jobFolder("Lab"), jobFolder("Shop") });
    FolderSetsTableView* table = pane->tableView();
    const QModelIndex name = table->model()->index(1, 0);
    table->setCurrentIndex(name);
    table->edit(name);
    const QPointer<QLineEdit> editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("Shop Front"));
    table->model()->setData(table->model()->index(0, 0), QStringLiteral("Lab 2"), Qt::EditRole);
    saveAndNotice();
    ASSERT_TRUE(editor && editor->isVisible());
    EXPECT_EQ(editor->text(), QStringLiteral("Shop Front"));
    EXPECT_EQ(table->selectedFolderSets(), KOVA_FolderSetClass::FolderSets({ jobFolders().folderSets().at(1) }));
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(kova::test::waitUntil([] { return jobFolders().folderSets().at(1)->name() == QStringLiteral("Shop Front"); }));
    // The save the rename asked for, written at once as on quitting.
    KOVA_FolderSetClass::saveFolderSetsNow();

    const QByteArray saved = defaults()->objectForKey(jobFolders().keyForSavedFolderSets()).toByteArray();
    jobFolders().setFolderSets({});
    reloadFrom(jobFolders(), saved);
    EXPECT_EQ(namesOf(jobFolders().folderSets()).join(u'|'), QStringLiteral("Lab 2|Shop Front"));
}
