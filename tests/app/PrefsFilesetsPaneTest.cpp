#include "app/preferences/FolderSetsTableView.h"
#include "app/preferences/PrefsFilesetsViewController.h"
#include "app/preferences/PrintToFileSetEditor.h"

#include "PreferencesTesting.h"
#include "core/foundation/KOVA_Constants.h"
#include "workflow/folders/KOVA_PrintToFileSet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QTableView>

using namespace std::chrono_literals;

namespace {
KOVA_FolderSetClass& printToFileSets() { return KOVA_PrintToFileSet::classSide(); }

std::shared_ptr<KOVA_PrintToFileSet> savedSet(int position)
{
    return std::static_pointer_cast<KOVA_PrintToFileSet>(printToFileSets().folderSetsFromSavedData().value(position));
}
} // namespace

class PrintToFilePane : public kova::test::PreferencesTest {
protected:
    void SetUp() override
    {
        PreferencesTest::SetUp();
        listedBefore = printToFileSets().folderSets();
        printToFileSets().setFolderSets(KOVA_PrintToFileSet::withFixedNames({}));
        pane = std::make_unique<PrefsFilesetsViewController>();
        pane->resize(773, 421);
        pane->show();
    }
    void TearDown() override
    {
        pane.reset();
        PreferencesTest::TearDown();
        printToFileSets().setFolderSets(listedBefore);
    }
    void select(int row) { pane->tableView()->selectRowAlone(row); }
    template <class T>
    T* editor(const char* name)
    {
        return pane->editor()->findChild<T*>(QString::fromLatin1(name));
    }

    std::unique_ptr<PrefsFilesetsViewController> pane;
    KOVA_FolderSetClass::FolderSets listedBefore;
};

TEST_F(PrintToFilePane, AddAndDeleteBeepAndChangeNothing)
{
    select(2);
    const auto before = printToFileSets().folderSets();
    pane->addFolderSet();
    pane->deleteFolderSets();
    advance(1s);
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(printToFileSets().folderSets(), before);
    EXPECT_FALSE(defaults()->objectForKey(printToFileSets().keyForSavedFolderSets()).isValid());
}

TEST_F(PrintToFilePane, EditedOptionsAreInTheArchiveAfterTheSave)
{
    select(1);
    ASSERT_EQ(pane->editor()->folderSet()->name(), QStringLiteral("Path 2"));
    editor<QCheckBox>("overwriteExisting")->click();
    QComboBox* fileFormat = editor<QComboBox>("fileFormat");
    EXPECT_EQ(fileFormat->currentText(), QStringLiteral("JPEG"));
    fileFormat->setCurrentIndex(2);
    emit fileFormat->activated(2);
    QComboBox* upload = editor<QComboBox>("uploadFolder");
    upload->setCurrentIndex(1);
    emit upload->activated(1);
    QLineEdit* maxBytes = editor<QLineEdit>("webUploadMaxBytes");
    maxBytes->setText(QStringLiteral("1.5 MB"));
    emit maxBytes->editingFinished();
    EXPECT_EQ(maxBytes->text(), QStringLiteral("1.5 MB"));
    advance(500ms);

    const auto saved = savedSet(1);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->name(), QStringLiteral("Path 2"));
    EXPECT_TRUE(saved->overwriteExisting());
    EXPECT_EQ(saved->fileFormat(), QStringLiteral("public.png"));
    EXPECT_EQ(saved->uploadFolder(), std::optional<QString>(QStringLiteral("fyp")));
    EXPECT_EQ(saved->webUploadMaxBytes(), std::optional<qint64>(1572864));
    EXPECT_FALSE(savedSet(0)->overwriteExisting());
}

TEST_F(PrintToFilePane, ShowingASetWritesNothing)
{
    for (int row = 0; row < 8; ++row)
        select(row);
    advance(1s);
    EXPECT_FALSE(defaults()->objectForKey(printToFileSets().keyForSavedFolderSets()).isValid());
}

// The pane's own save comes back as a notice of the list: what is being typed, the
// selection and the editor's set all outlive it.
TEST_F(PrintToFilePane, ATypedLimitAndTheSelectionOutliveTheirOwnSave)
{
    select(1);
    editor<QCheckBox>("webUploadHasMaxPixels")->click();
    QLineEdit* maxPixels = editor<QLineEdit>("webUploadMaxPixels");
    maxPixels->setText(QStringLiteral("1600"));
    const auto shown = pane->editor()->folderSet();
    saveAndNotice();
    EXPECT_EQ(maxPixels->text(), QStringLiteral("1600"));
    EXPECT_EQ(pane->editor()->folderSet(), shown);
    ASSERT_EQ(pane->tableView()->selectedFolderSets().size(), 1);
    EXPECT_EQ(pane->tableView()->selectedFolderSets().constFirst()->name(), QStringLiteral("Path 2"));
    // The grab shows the typed limit and the selected row.
    const QImage grab = grabToScreenshots(pane.get(), QStringLiteral("preferences-print-to-file-after-edit"));
    const qreal scale = grab.devicePixelRatio();
    const QRect field(maxPixels->mapTo(pane.get(), QPoint()) * scale, maxPixels->size() * scale);
    const QColor fieldBackground = grab.pixelColor(field.topLeft() + QPoint(4, 4) * scale);
    int textPixels = 0;
    for (int x = field.left(); x < field.right(); ++x)
        textPixels += grab.pixelColor(x, field.center().y()) != fieldBackground;
    EXPECT_GT(textPixels, 6);
    FolderSetsTableView* table = pane->tableView();
    const QPoint selectedCell =
        table->viewport()->mapTo(pane.get(), table->visualRect(table->model()->index(1, 2)).topLeft() + QPoint(2, 2)) * scale;
    const QColor selectedColor = grab.pixelColor(selectedCell);
    EXPECT_TRUE(selectedColor == table->palette().color(QPalette::Active, QPalette::Highlight)
                || selectedColor == table->palette().color(QPalette::Inactive, QPalette::Highlight))
        << selectedColor.name().toStdString();

    emit maxPixels->editingFinished(); // the field left for another set
    select(2);
    advance(1s);
    EXPECT_EQ(savedSet(1)->webUploadMaxPixels(), std::optional<qint64>(1600));
    EXPECT_TRUE(savedSet(1)->webUploadHasMaxPixels());
    EXPECT_EQ(pane->editor()->folderSet()->name(), QStringLiteral("Path 3"));
}

TEST_F(PrintToFilePane, TheUploadChoiceFollowsTheSelectedSet)
{
    const auto sets = printToFileSets().folderSets();
    std::static_pointer_cast<KOVA_PrintToFileSet>(sets.at(0))->setUploadFolder(QStringLiteral("fyp"));
    std::static_pointer_cast<KOVA_PrintToFileSet>(sets.at(2))->setUploadFolder(QStringLiteral("elsewhere"));
    QComboBox* upload = editor<QComboBox>("uploadFolder");
    const struct {
        int row;
        QString shown;
    } cases[] = { { 0, QStringLiteral("fyp") }, { 1, string_kova_DoNotUpload }, { 0, QStringLiteral("fyp") },
                  { 2, QString() } };
    for (const auto& c : cases) {
        select(c.row);
        EXPECT_EQ(upload->currentText(), c.shown) << c.row;
    }
}
