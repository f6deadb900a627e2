#include "app/preferences/PrefsEditableTextViewController.h"
#include "app/preferences/PrefsGeneralViewController.h"

#include "PreferencesTesting.h"
#include "core/foundation/KOVA_Constants.h"
#include "template/KOVA_EditableText.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

class GeneralPane : public kova::test::PreferencesTest {};

TEST_F(GeneralPane, ThePolicySetBackFromNeverSaveIsStored)
{
    defaults()->setInteger(2, key_kovaConfirmBeforeSavingTemplate);
    PrefsGeneralViewController pane;
    auto* policy = pane.findChild<QComboBox*>(QStringLiteral("templateChangesPolicy"));
    ASSERT_NE(policy, nullptr);
    EXPECT_EQ(policy->currentText(), QStringLiteral("Never Save"));
    policy->setCurrentIndex(0);
    emit policy->activated(0);
    EXPECT_EQ(defaults()->integerForKey(key_kovaConfirmBeforeSavingTemplate), 0);
    // A change made elsewhere shows.
    defaults()->setInteger(1, key_kovaConfirmBeforeSavingTemplate);
    kova::test::processMainQueue();
    EXPECT_EQ(policy->currentText(), QStringLiteral("Save Always"));
}

TEST_F(GeneralPane, TheSaveAsPNGBoxSetsOnlyItsBitAndTheCountersReset)
{
    defaults()->setInteger(0x41, PrefsGeneralViewController::templateOutputOptionsKey);
    defaults()->setInteger(7, key_kovaProcessorJobsCompleted);
    defaults()->setInteger(3, key_kovaProcessorJobsFailed);
    PrefsGeneralViewController pane;
    EXPECT_EQ(pane.findChild<QLabel*>(QStringLiteral("jobsCompleted"))->text(), QStringLiteral("7"));
    auto* png = pane.findChild<QCheckBox*>(QStringLiteral("saveAsPNG"));
    EXPECT_FALSE(png->isChecked());
    png->click();
    EXPECT_EQ(defaults()->integerForKey(PrefsGeneralViewController::templateOutputOptionsKey), 0x241);
    png->click();
    EXPECT_EQ(defaults()->integerForKey(PrefsGeneralViewController::templateOutputOptionsKey), 0x41);
    pane.findChild<QPushButton*>(QStringLiteral("resetJobStats"))->click();
    kova::test::processMainQueue();
    EXPECT_EQ(defaults()->integerForKey(key_kovaProcessorJobsCompleted), 0);
    EXPECT_EQ(defaults()->integerForKey(key_kovaProcessorJobsFailed), 0);
    EXPECT_EQ(pane.findChild<QLabel*>(QStringLiteral("jobsFailed"))->text(), QStringLiteral("0"));
}

TEST_F(GeneralPane, ShowingThePaneWritesNothing)
{
    PrefsGeneralViewController pane;
    kova::test::processMainQueue();
    EXPECT_TRUE(defaults()->dictionaryRepresentation().isEmpty());
}

class EditableTextPane : public kova::test::PreferencesTest {};

TEST_F(EditableTextPane, AnEditReachesThePreferences)
{
    PrefsEditableTextViewController pane;
    QAbstractItemModel* texts = pane.tableView()->model();
    ASSERT_EQ(texts->rowCount(), KOVA_EditableText::numberOfTexts);
    EXPECT_EQ(texts->index(1, 0).data().toString(), QStringLiteral("2"));
    ASSERT_TRUE(texts->setData(texts->index(1, 1), QStringLiteral("Happy Birthday"), Qt::EditRole));
    EXPECT_EQ(KOVA_EditableText::editableTextForKey(QStringLiteral("2")), std::optional<QString>(QStringLiteral("Happy Birthday")));
    const QVariantMap stored = defaults()->dictionaryForKey(key_KOVA_EditableText);
    EXPECT_EQ(stored.value(QStringLiteral("2")).toString(), QStringLiteral("Happy Birthday"));
}
