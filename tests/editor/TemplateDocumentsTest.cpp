#include "editor/documents/TemplateDocuments.h"
#include "editor/documents/TemplateSaveSheet.h"
#include "editor/documents/UnsavedChangesPolicy.h"

#include "platform/defaults/UserDefaults.h"
#include "platform/undo/UndoManager.h"

#include <QCheckBox>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

using Pointer = KOVA_Template::Pointer;

Pointer templateAt(const QString& path)
{
    Pointer made = KOVA_Template::init();
    made->setDocumentURL(QUrl::fromLocalFile(path));
    return made;
}

TEST(TemplateDocumentsTest, TheSameObjectKeepsItsHistoryAndANewOneStartsAfresh)
{
    TemplateDocuments documents;
    const Pointer a = templateAt(QStringLiteral("/t/a.xml"));
    const Pointer b = templateAt(QStringLiteral("/t/b.xml"));
    const auto undoA = documents.undoManagerForLoading(a);
    ASSERT_NE(undoA, nullptr);
    EXPECT_NE(documents.undoManagerForLoading(b), undoA);
    EXPECT_EQ(documents.undoManagerForLoading(a), undoA);

    // Read again from disk: a new object, a new history.
    EXPECT_NE(documents.undoManagerForLoading(templateAt(QStringLiteral("/t/a.xml"))), undoA);
    EXPECT_EQ(documents.undoManagerForLoading(KOVA_Template::init()), nullptr);
}

// An object at the address of one that is gone takes no history of it.
TEST(TemplateDocumentsTest, AGoneObjectHandsNoHistoryOn)
{
    TemplateDocuments documents;
    std::weak_ptr<platform::UndoManager> first;
    {
        const Pointer gone = templateAt(QStringLiteral("/t/a.xml"));
        first = documents.undoManagerForLoading(gone);
    }
    const Pointer next = templateAt(QStringLiteral("/t/a.xml"));
    EXPECT_NE(documents.undoManagerForLoading(next), first.lock());
}

TEST(TemplateDocumentsTest, SaveAsMovesTheHistoryAndGenerationToTheNewPath)
{
    TemplateDocuments documents;
    const Pointer a = templateAt(QStringLiteral("/t/a.xml"));
    const auto undo = documents.undoManagerForLoading(a);
    documents.setGeneration(QStringLiteral("/t/a.xml"), "1:2:3");
    documents.rekey(QStringLiteral("/t/a.xml"), QStringLiteral("/t/c.xml"));
    a->setDocumentURL(QUrl::fromLocalFile(QStringLiteral("/t/c.xml")));
    EXPECT_EQ(documents.undoManagerForLoading(a), undo);
    EXPECT_EQ(documents.generation(QStringLiteral("/t/c.xml")), "1:2:3");
    EXPECT_TRUE(documents.generation(QStringLiteral("/t/a.xml")).isEmpty());
}

// The sheet's answers and the policy each stores, with and without the box.
TEST(UnsavedChangesPolicyTest, AnswersStoreThePolicyOnlyWithTheBoxAndCancelStoresNothing)
{
    const auto defaults = platform::UserDefaults::standardUserDefaults();
    struct Case {
        UnsavedChangesPolicy::Answer answer;
        bool doNotAsk;
        qint64 before;
        qint64 stored;
    };
    const Case cases[] = {
        {UnsavedChangesPolicy::save, true, 0, 1},       {UnsavedChangesPolicy::dontSave, true, 0, 2},
        {UnsavedChangesPolicy::save, false, 2, 0},      {UnsavedChangesPolicy::dontSave, false, 1, 0},
        {UnsavedChangesPolicy::cancel, true, 5, 5},     {UnsavedChangesPolicy::cancel, false, 7, 7},
    };
    for (const Case& test : cases) {
        defaults->setInteger(test.before, UnsavedChangesPolicy::preferenceKey);
        TemplateSaveSheet sheet(QStringLiteral("Postcard"), nullptr);
        sheet.setAttribute(Qt::WA_DeleteOnClose, false);
        int answered = 99;
        QObject::connect(&sheet, &TemplateSaveSheet::answered, [&](int answer) { answered = answer; });
        sheet.doNotAskBox()->setChecked(test.doNotAsk);
        sheet.answer(test.answer);
        EXPECT_EQ(answered, test.answer);
        EXPECT_EQ(defaults->integerForKey(UnsavedChangesPolicy::preferenceKey), test.stored)
            << test.answer << " box " << test.doNotAsk;
    }
    defaults->setInteger(7, UnsavedChangesPolicy::preferenceKey);
    EXPECT_EQ(UnsavedChangesPolicy::current(), UnsavedChangesPolicy::ask);
    defaults->removeObjectForKey(UnsavedChangesPolicy::preferenceKey);
}

TEST(UnsavedChangesPolicyTest, ButtonTitlesFollowTheBox)
{
    TemplateSaveSheet sheet(QStringLiteral("Postcard"), nullptr);
    sheet.setAttribute(Qt::WA_DeleteOnClose, false);
    EXPECT_EQ(sheet.saveButton()->text(), QStringLiteral("Save"));
    EXPECT_EQ(sheet.dontSaveButton()->text(), QStringLiteral("Don't Save"));
    sheet.doNotAskBox()->setChecked(true);
    EXPECT_EQ(sheet.saveButton()->text(), QStringLiteral("Save Always"));
    EXPECT_EQ(sheet.dontSaveButton()->text(), QStringLiteral("Never Save"));
}

} // namespace
