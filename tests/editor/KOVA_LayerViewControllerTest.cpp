#include "editor/inspector/KOVA_LayerViewController.h"

#include "../core/ImageTestPictures.h"
#include "TestEnvironment.h"
#include "core/queues/ZORVAK_Coalesce.h"
#include "editor/canvas/KOVA_TemplateEditorView.h"
#include "editor/edits/CanvasViewEdits.h"
#include "editor/inspector/InspectorPanels.h"
#include "editor/inspector/InspectorTextField.h"
#include "editor/inspector/TextboxTableCellView.h"
#include "platform/dispatch/DispatchClock.h"
#include "platform/undo/UndoManager.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

using Pointer = KOVA_Template::Pointer;
using Key = KOVA_LayerInspector::Key;

// The example postcard in a canvas, its inspector and the inspector's panels; delays
// pass on a manual clock.
class KOVA_LayerViewControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::DispatchClock::setCurrent(clock);
        postcard = KOVA_Template::templateWithPath(QStringLiteral(KOVA_EXAMPLES_DIR "/Templates/Postcard.xml"), QUrl());
        ASSERT_TRUE(postcard);
        edits.setUndoManager(undo);
        edits.setTemplateObject(postcard);
        view.resize(400, 300);
        inspector.templateDidChange();
        panels.resize(320, 1200);
    }

    void TearDown() override
    {
        clock->advance(1h);
        settle();
        EXPECT_TRUE(kova::test::waitUntil([&] { return !view.isRenderingPreview(); }));
        platform::DispatchClock::setCurrent(nullptr);
    }

    Pointer layerOfType(unsigned type) const
    {
        for (const Pointer& layer : postcard->layers())
            if (layer->layerType() == type)
                return layer;
        return nullptr;
    }

    void settle()
    {
        ZORVAK_Coalesce::coalescingQueue()->sync([] {});
        kova::test::processMainQueue();
    }

    void pass(std::chrono::milliseconds by)
    {
        clock->advance(by);
        settle();
    }

    int rowHeight(const QString& identifier) const
    {
        return panels.tableView()->rowHeight(static_cast<int>(panels.panels().indexOf(identifier)));
    }

    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(std::chrono::hours(1));
    Pointer postcard;
    std::shared_ptr<platform::UndoManager> undo = std::make_shared<platform::UndoManager>();
    KOVA_TemplateEditorView view;
    CanvasViewEdits edits{view};
    KOVA_TemplateEditorLayerCommands commands{edits};
    KOVA_LayerInspector inspector{commands};
    KOVA_LayerViewController panels{inspector};
};

const QStringList sharedPanels = {InspectorPanels::background, InspectorPanels::shadow, InspectorPanels::border,
                                  InspectorPanels::layout, InspectorPanels::canvas};

} // namespace

TEST_F(KOVA_LayerViewControllerTest, theFirstRowFollowsTheLayerType)
{
    EXPECT_EQ(panels.panels(), QStringList{InspectorPanels::empty} + sharedPanels);
    const std::pair<unsigned, QString> cases[] = {
        {KOVA_Template::layerTypeImage, InspectorPanels::image},
        {KOVA_Template::layerTypeTextbox, InspectorPanels::textbox},
        {KOVA_Template::layerTypeGraphic, InspectorPanels::graphic},
        {KOVA_Template::layerTypeStamp, InspectorPanels::stamp},
    };
    for (const auto& [type, identifier] : cases) {
        inspector.setLayer(layerOfType(type));
        EXPECT_EQ(panels.panels(), QStringList{identifier} + sharedPanels);
        EXPECT_EQ(panels.viewForRow(0)->objectName(), identifier);
    }
    inspector.setLayer(nullptr);
    EXPECT_EQ(panels.identifierForRow(0), InspectorPanels::empty);
    EXPECT_TRUE(panels.identifierForRow(6).isNull());
    EXPECT_TRUE(panels.identifierForRow(-1).isNull());
}

TEST_F(KOVA_LayerViewControllerTest, rowHeightsFollowTheSwitchesAndTheDesign)
{
    struct Case {
        const char* identifier;
        std::optional<bool> enabled;
        std::optional<double> designed, textCell;
        double height;
    };
    const Case cases[] = {
        {"shadow", false, 200, std::nullopt, 18},   {"shadow", true, 200, std::nullopt, 200},
        {"textbox", std::nullopt, 150, 170, 170},   {"border", true, 120, 999, 120},
        {"image", std::nullopt, std::nullopt, std::nullopt, 80},
    };
    for (const Case& row : cases)
        EXPECT_EQ(KOVA_LayerViewController::heightOfRow(row.identifier, row.enabled, row.designed, row.textCell),
                  row.height)
            << row.identifier;
}

// The switch collapses its panel and the edit reaches the layer, in both directions.
TEST_F(KOVA_LayerViewControllerTest, aSwitchedOffShadowPanelIs18High)
{
    const Pointer text = layerOfType(KOVA_Template::layerTypeTextbox);
    inspector.setLayer(text);
    EXPECT_EQ(rowHeight(InspectorPanels::shadow), 18);
    auto* shadowSwitch = panels.viewForRow(2)->findChild<QCheckBox*>(QStringLiteral("shadowEnabled"));
    ASSERT_TRUE(shadowSwitch);
    shadowSwitch->click();
    EXPECT_TRUE(text->hasShadow());
    EXPECT_GT(rowHeight(InspectorPanels::shadow), 100);
    undo->undo();
    EXPECT_FALSE(text->hasShadow());
    EXPECT_FALSE(shadowSwitch->isChecked());
    EXPECT_EQ(rowHeight(InspectorPanels::shadow), 18);
}

// A field's edit is one step; a change of the layer made elsewhere shows in the field
// and sends nothing back.
TEST_F(KOVA_LayerViewControllerTest, aFieldEditsTheLayerAndShowsItsChangesWithoutEcho)
{
    const Pointer stamp = layerOfType(KOVA_Template::layerTypeStamp);
    inspector.setLayer(stamp);
    auto* x = panels.viewForRow(4)->findChild<QDoubleSpinBox*>(QStringLiteral("stepperFrameX"));
    ASSERT_TRUE(x);
    EXPECT_EQ(x->minimum(), KOVA_LayerInspector::minDouble);
    x->setValue(50);
    EXPECT_EQ(stamp->x(), 50);
    settle();
    undo->removeAllActions();
    stamp->setX(70);
    EXPECT_EQ(x->value(), 70);
    settle();
    EXPECT_FALSE(undo->canUndo());
    auto* width = panels.viewForRow(4)->findChild<QDoubleSpinBox*>(QStringLiteral("stepperFrameWidth"));
    ASSERT_TRUE(width);
    EXPECT_EQ(width->minimum(), 0.0);
}

TEST_F(KOVA_LayerViewControllerTest, fiveLinesOfTextGiveOneHeightNoticeAfterTheLast)
{
    inspector.setLayer(layerOfType(KOVA_Template::layerTypeTextbox));
    panels.show();
    settle();
    pass(1s);
    TextboxTableCellView* cell = panels.textboxCellView();
    ASSERT_TRUE(cell);
    const int before = rowHeight(InspectorPanels::textbox);
    int notices = 0;
    QObject::connect(cell, &TextboxTableCellView::heightChanged, [&] { ++notices; });
    QString text = QStringLiteral("one");
    for (const char* line : {"two", "three", "four", "five"}) {
        text += QStringLiteral("\n") + QLatin1String(line);
        cell->textField()->setPlainText(text);
        settle();
        pass(100ms);
    }
    pass(99ms);
    EXPECT_EQ(notices, 0);
    pass(1ms);
    EXPECT_EQ(notices, 1);
    EXPECT_GT(rowHeight(InspectorPanels::textbox), before);
    pass(1s);
    EXPECT_EQ(notices, 1);
}

// What is typed reaches the layer as one step once the edit ends; a tab is typed only
// with Ctrl, a line break with Shift or Ctrl.
TEST_F(KOVA_LayerViewControllerTest, aTypedWordIsOneUndoStepAndTabLeavesTheField)
{
    const Pointer text = layerOfType(KOVA_Template::layerTypeTextbox);
    const Pointer other = layerOfType(KOVA_Template::layerTypeStamp);
    const QString original = text->stringValue();
    struct Case {
        const char* name;
        std::function<void(InspectorTextField*)> typeAndEnd;
        QString entered;
        // Whether the field still has the focus, where it is still shown.
        std::optional<bool> keepsFocus;
    };
    const Case cases[] = {
        {"Tab", [](InspectorTextField* f) { QTest::keyClicks(f, "Hello"); QTest::keyClick(f, Qt::Key_Tab); },
         "Hello", false},
        {"Shift+Tab",
         [](InspectorTextField* f) { QTest::keyClicks(f, "Hi"); QTest::keyClick(f, Qt::Key_Tab, Qt::ShiftModifier); },
         "Hi", false},
        {"Ctrl+Tab, Return",
         [](InspectorTextField* f) {
             QTest::keyClicks(f, "a");
             QTest::keyClick(f, Qt::Key_Tab, Qt::ControlModifier);
             QTest::keyClicks(f, "b");
             QTest::keyClick(f, Qt::Key_Return);
         },
         "a\tb", true},
        {"Shift+Return, Enter",
         [](InspectorTextField* f) {
             QTest::keyClicks(f, "a");
             QTest::keyClick(f, Qt::Key_Return, Qt::ShiftModifier);
             QTest::keyClicks(f, "b");
             QTest::keyClick(f, Qt::Key_Enter, Qt::KeypadModifier);
         },
         "a\nb", true},
        {"another layer inspected",
         [&](InspectorTextField* f) { QTest::keyClicks(f, "Bye"); inspector.setLayer(other); }, "Bye", std::nullopt},
        {"the editor commits", [&](InspectorTextField* f) { QTest::keyClicks(f, "Saved"); inspector.commitEditing(); },
         "Saved", true},
    };
    panels.show();
    QApplication::setActiveWindow(&panels);
    for (const Case& edit : cases) {
        SCOPED_TRACE(edit.name);
        text->setStringValue(original);
        inspector.setLayer(text);
        settle();
        undo->removeAllActions();
        InspectorTextField* field = panels.textboxCellView()->textField();
        field->setFocus();
        ASSERT_TRUE(field->hasFocus());
        field->clear();
        QTest::keyClicks(field, "x");
        EXPECT_EQ(text->stringValue(), original);
        QTest::keyClick(field, Qt::Key_Backspace);
        edit.typeAndEnd(field);
        settle();
        EXPECT_EQ(text->stringValue(), edit.entered);
        if (edit.keepsFocus)
            EXPECT_EQ(field->hasFocus(), *edit.keepsFocus);
        EXPECT_EQ(undo->undoActionName(), QStringLiteral("Change Text"));
        undo->undo();
        EXPECT_EQ(text->stringValue(), original);
        EXPECT_FALSE(undo->canUndo());
        EXPECT_NE(other->stringValue(), edit.entered);
    }
}

TEST_F(KOVA_LayerViewControllerTest, aPanelShownTwiceHasOneSeparator)
{
    QWidget* border = panels.viewForRow(3);
    KOVA_LayerViewController::addBoxSeparatorToView(border);
    EXPECT_EQ(border->findChildren<QWidget*>(QStringLiteral("panelSeparator")).size(), 1);
}

// Grabs of the inspector for each layer type of the postcard, checked for drawn panels.
TEST_F(KOVA_LayerViewControllerTest, screenshotsOfEachLayerType)
{
    QDir().mkpath(QStringLiteral(KOVA_SCREENSHOT_FOLDER));
    panels.show();
    const std::pair<unsigned, QString> types[] = {
        {KOVA_Template::layerTypeImage, "image"},
        {KOVA_Template::layerTypeGraphic, "graphic"},
        {KOVA_Template::layerTypeTextbox, "textbox"},
        {KOVA_Template::layerTypeStamp, "stamp"},
    };
    for (const auto& [type, name] : types) {
        SCOPED_TRACE(name.toStdString());
        const Pointer layer = layerOfType(type);
        inspector.setLayer(layer);
        settle();
        const QImage grab = panels.grab().toImage();
        ASSERT_TRUE(grab.save(QStringLiteral(KOVA_SCREENSHOT_FOLDER "/inspector-%1.png").arg(name)));
        QSet<QRgb> colors;
        for (int y = 0; y < grab.height(); y += 3)
            for (int x = 0; x < grab.width(); x += 3)
                colors.insert(grab.pixel(x, y));
        EXPECT_GT(colors.size(), 8);
        // A background switched on shows the layer's background colour in its well.
        auto* well = panels.viewForRow(1)->findChild<QPushButton*>(QStringLiteral("backgroundColor"));
        ASSERT_TRUE(well);
        const QPoint centre = well->mapTo(&panels, well->rect().center());
        const QColor expected(layer->backgroundColorCode().left(7));
        if (layer->hasBackground())
            EXPECT_TRUE(kova::test::near(grab.pixelColor(centre * grab.devicePixelRatio()), expected, 12))
                << grab.pixelColor(centre).name().toStdString();
    }
}

// Previews render in the background while the inspector edits the layer they show.
TEST_F(KOVA_LayerViewControllerTest, previewsRenderWhileTheInspectorEdits)
{
    const Pointer text = layerOfType(KOVA_Template::layerTypeTextbox);
    view.show();
    postcard->selectLayers({text}, false);
    inspector.setLayer(text);
    for (int step = 1; step <= 8; ++step) {
        inspector.setValue(Key::shadowEnabled, step % 2 == 0);
        inspector.setValue(Key::shadowBlur, double(step));
        inspector.setValue(Key::fontSize, 12 + step);
        inspector.setValue(Key::frameX, 20.0 + step);
        inspector.setValue(Key::frameRotation, double(step));
        pass(10ms);
    }
    EXPECT_TRUE(kova::test::waitUntil([&] { return !view.isRenderingPreview(); }));
    EXPECT_EQ(text->frame().x(), 28);
    EXPECT_EQ(text->fontSize(), QStringLiteral("20"));
}
