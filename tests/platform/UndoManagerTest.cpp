#include "platform/undo/UndoManager.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <functional>

using namespace platform;

namespace {

// An edit in the style of the editor's: names the step, registers a handler that
// re-enters with the old value, then applies the new one.
struct Colour {
    UndoManager* undo = nullptr;
    QString value = QStringLiteral("#000000FF");

    void set(const QString& code, const QString& name = QStringLiteral("Text Color"))
    {
        undo->setActionName(name);
        undo->registerUndo(this, [this, old = value, name] { set(old, name); });
        value = code;
    }
};

struct UndoManagerTest : ::testing::Test {
    UndoManager undo;
    Colour colour{&undo};

    void endTurn() { kova::test::processMainQueue(); }
};

TEST_F(UndoManagerTest, UndoAndRedoAlternateWithTheirNamesAcrossTurns)
{
    colour.set(QStringLiteral("#FF0000FF"));
    endTurn();
    EXPECT_EQ(undo.undoMenuItemTitle(), QStringLiteral("Undo Text Color"));
    EXPECT_EQ(undo.redoMenuItemTitle(), QStringLiteral("Redo"));

    const QStringList expected{QStringLiteral("#000000FF"), QStringLiteral("#FF0000FF"),
                               QStringLiteral("#000000FF"), QStringLiteral("#FF0000FF")};
    for (int pass = 0; pass < expected.size(); ++pass) {
        const bool undoing = pass % 2 == 0;
        undoing ? undo.undo() : undo.redo();
        endTurn();
        EXPECT_EQ(colour.value, expected[pass]) << "pass " << pass;
        EXPECT_EQ(undo.canUndo(), !undoing);
        EXPECT_EQ(undo.canRedo(), undoing);
        EXPECT_EQ(undoing ? undo.redoActionName() : undo.undoActionName(), QStringLiteral("Text Color"));
    }
}

TEST_F(UndoManagerTest, OneTurnIsOneStepUndoneNewestFirst)
{
    QStringList order;
    undo.registerUndo(this, [&] { order << "first"; });
    undo.setActionName(QStringLiteral("Move Layer"));
    undo.registerUndo(this, [&] { order << "second"; });
    EXPECT_TRUE(undo.canUndo()) << "an open step can be undone";
    endTurn();
    undo.registerUndo(this, [&] { order << "next turn"; });
    endTurn();

    undo.undo();
    undo.undo();
    EXPECT_EQ(order, (QStringList{"next turn", "second", "first"}));
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo()) << "handlers that register nothing leave no redo step";
}

TEST_F(UndoManagerTest, UndoClosesTheOpenTurnFirst)
{
    colour.set(QStringLiteral("#FF0000FF"));
    undo.undo(); // same turn
    EXPECT_EQ(colour.value, QStringLiteral("#000000FF"));
    EXPECT_TRUE(undo.canRedo());
    endTurn();
    EXPECT_FALSE(undo.canUndo());
}

TEST_F(UndoManagerTest, APlainRegistrationClearsRedoButRedoingKeepsIt)
{
    colour.set(QStringLiteral("#111111FF"));
    endTurn();
    colour.set(QStringLiteral("#222222FF"));
    endTurn();
    undo.undo();
    undo.undo();
    undo.redo();
    EXPECT_TRUE(undo.canRedo()) << "the registration made while redoing keeps the rest";
    EXPECT_EQ(colour.value, QStringLiteral("#111111FF"));

    colour.set(QStringLiteral("#333333FF"), QStringLiteral("Shadow Color"));
    endTurn();
    EXPECT_FALSE(undo.canRedo());
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Shadow Color"));
}

TEST_F(UndoManagerTest, ExplicitGroupsNestAndEmptyOnesVanish)
{
    undo.beginUndoGrouping();
    undo.endUndoGrouping();
    EXPECT_FALSE(undo.canUndo());

    int runs = 0;
    undo.beginUndoGrouping();
    undo.registerUndo(this, [&] { ++runs; });
    undo.beginUndoGrouping();
    undo.registerUndo(this, [&] { ++runs; });
    undo.endUndoGrouping();
    EXPECT_EQ(undo.groupingLevel(), 1);
    undo.endUndoGrouping();
    undo.undo();
    EXPECT_EQ(runs, 2);
    EXPECT_FALSE(undo.canUndo());
}

// An edit that groups its own registration: undoing it records the redo step as usual.
TEST_F(UndoManagerTest, AGroupOpenedWhileUndoingBelongsToTheRedoStep)
{
    int value = 0;
    std::function<void(int)> set;
    set = [&](int next) {
        undo.beginUndoGrouping();
        undo.registerUndo(this, [&, old = value] { set(old); });
        undo.endUndoGrouping();
        value = next;
    };
    set(1);
    undo.undo();
    undo.redo();
    EXPECT_EQ(value, 1);
    undo.undo();
    EXPECT_EQ(value, 0);
}

TEST_F(UndoManagerTest, RemovingATargetsActionsDropsStepsLeftEmpty)
{
    int other = 0;
    colour.set(QStringLiteral("#FF0000FF"));
    endTurn();
    undo.registerUndo(&other, [&] { other = 1; });
    colour.set(QStringLiteral("#00FF00FF"));
    endTurn();

    undo.removeAllActions(&colour);
    undo.undo();
    EXPECT_EQ(other, 1);
    EXPECT_EQ(colour.value, QStringLiteral("#00FF00FF"));
    EXPECT_FALSE(undo.canUndo()) << "the first step held only the removed target's action";
}

TEST(UndoManagerLifetime, AHandlerMayLetGoOfTheManager)
{
    auto undo = std::make_unique<UndoManager>();
    undo->registerUndo(nullptr, [&] { undo.reset(); });
    undo->undo();
    EXPECT_EQ(undo, nullptr);
}

} // namespace
