#include "app/preferences/FolderSetsTableView.h"
#include "app/preferences/PrefsFilesetsViewController.h"
#include "app/preferences/PrintToFileSetEditor.h"

#include "PreferencesTesting.h"
#include "workflow/folders/KOVA_PrintToFileSet.h"

#include <QCheckBox>
#include <QComboBox>
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
