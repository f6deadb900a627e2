#include "editor/commands/KOVA_TemplateEditorLayerCommands.h"

#include "../core/ImageTestPictures.h"
#include "FakeCanvas.h"
#include "FileFixtures.h"
#include "TestEnvironment.h"
#include "core/foundation/KOVA_Constants.h"
#include "core/ui/Beeper.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/undo/UndoManager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

using Pointer = KOVA_Template::Pointer;
using Commands = KOVA_TemplateEditorLayerCommands;

// A 1000 x 800 canvas with one layer of each type the commands treat apart.
class TemplateEditorLayerCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        templ = KOVA_Template::init();
        templ->setFrame({0, 0, 1000, 800});
        text = addLayer(KOVA_Template::layerTypeTextbox, {100, 100, 50, 50});
        text->setStringValue(QStringLiteral("Greetings from the coast"));
        text->setFontSize(QStringLiteral("24"));
        picture = addLayer(KOVA_Template::layerTypeImage, {10, 10, 200, 100});
        graphic = addLayer(KOVA_Template::layerTypeGraphic, {300, 300, 10, 10});
        canvas.setTemplateObject(templ);
        canvas.setUndoManager(undo);
        Beeper::setHook([this] { ++beeps; });
    }

    void TearDown() override { Beeper::setHook(nullptr); }

    Pointer addLayer(unsigned type, const QRectF& frame)
    {
        const Pointer layer = templ->addLayerOfType(type);
        layer->setFrame(frame);
        return layer;
    }

    // The frame after the command, and whether it recorded a step.
    std::pair<QRectF, bool> after(const Pointer& layer, const std::function<void()>& command)
    {
        undo->removeAllActions();
        command();
        kova::test::processMainQueue();
        return {layer->frame(), undo->canUndo()};
    }

    Pointer templ, text, picture, graphic;
    std::shared_ptr<platform::UndoManager> undo = std::make_shared<platform::UndoManager>();
    kova::test::FakeCanvas canvas;
    Commands commands{canvas};
    int beeps = 0;
};

} // namespace

TEST_F(TemplateEditorLayerCommandsTest, movesOnlyToFramesOfPositiveSize)
{
    EXPECT_EQ(after(picture, [&] { commands.moveTemplateLayer(picture, {1, 2, 30, 40}); }),
              std::pair(QRectF(1, 2, 30, 40), true));
    for (const QRectF& refused : {QRectF(5, 5, 0, 40), QRectF(5, 5, 30, -1), QRectF(5, 5, 30, std::nan(""))})
        EXPECT_EQ(after(picture, [&] { commands.moveTemplateLayer(picture, refused); }),
                  std::pair(QRectF(1, 2, 30, 40), false));
}

TEST_F(TemplateEditorLayerCommandsTest, canvasSizeOfZeroIsTakenAndANegativeOneBeeps)
{
    commands.setCanvasWidth(0);
    EXPECT_EQ(templ->frame(), QRectF(0, 0, 0, 800));
    EXPECT_EQ(beeps, 0);
    commands.setCanvasHeight(600);
    EXPECT_EQ(templ->frame(), QRectF(0, 0, 0, 600));
    commands.setCanvasWidth(-1);
    commands.setCanvasHeight(std::nan(""));
    EXPECT_EQ(templ->frame(), QRectF(0, 0, 0, 600));
    EXPECT_EQ(beeps, 2);
}

TEST_F(TemplateEditorLayerCommandsTest, centringRoundsAndRecordsNoStepWhenAlreadyCentred)
{
    struct Case {
        unsigned axis;
        QRectF frame, centred;
        bool step;
    };
    const Case cases[] = {
        {Commands::axisHorizontal, {10, 10, 201, 100}, {400, 10, 201, 100}, true}, // 399.5 away from zero
        {Commands::axisVertical, {10, 10, 200, 101}, {10, 350, 200, 101}, true},
        {Commands::axisHorizontal | Commands::axisVertical, {0, 0, 200, 100}, {400, 350, 200, 100}, true},
        {Commands::axisHorizontal | Commands::axisVertical, {400, 350, 200, 100}, {400, 350, 200, 100}, false},
        {Commands::axisHorizontal, {400, 10, 200, 100}, {400, 10, 200, 100}, false},
    };
    for (const Case& centring : cases) {
        picture->setFrame(centring.frame);
        EXPECT_EQ(after(picture, [&] { commands.centerTemplateLayer(picture, centring.axis); }),
                  std::pair(centring.centred, centring.step));
    }
    EXPECT_EQ(after(picture, [&] { commands.centerTemplateLayer(nullptr, Commands::axisVertical); }).second, false);
}

// The border around a text that it does not clip is part of the fitted size.
TEST_F(TemplateEditorLayerCommandsTest, fittingATextTakesItsSizeAndAnUnclippedBorder)
{
    commands.resizeLayerToFitContent(text);
    const QRectF fitted = text->frame();
    EXPECT_EQ(fitted.topLeft(), QPointF(100, 100));
    EXPECT_GT(fitted.width(), 100);
    EXPECT_GT(fitted.height(), 10);

    text->setFrame({100, 100, 50, 50});
    text->setHasBorder(true);
    text->setBorderWidth(5);
    text->setBorderClipsContent(false);
    commands.resizeLayerToFitContent(text);
    EXPECT_NEAR(text->width(), fitted.width() + 10, 1.0);
    EXPECT_NEAR(text->height(), fitted.height() + 10, 1.0);

    text->setBorderClipsContent(true);
    commands.resizeLayerToFitContent(text);
    EXPECT_EQ(text->frame(), fitted);
    // Fitted already: no step.
    EXPECT_EQ(after(text, [&] { commands.resizeLayerToFitContent(text); }), std::pair(fitted, false));
}

// No room right of or below the origin: nothing is measured against a negative box.
TEST_F(TemplateEditorLayerCommandsTest, fittingALayerAtTheCanvasEdgeDoesNothing)
{
    for (const QRectF& frame : {QRectF(1000, 100, 50, 50), QRectF(100, 900, 50, 50)}) {
        text->setFrame(frame);
        EXPECT_EQ(after(text, [&] { commands.resizeLayerToFitContent(text); }), std::pair(frame, false));
    }
}

TEST_F(TemplateEditorLayerCommandsTest, fittingAGraphicTakesItsPictureSizeAndAnImageLayerKeepsItsOwn)
{
    kova::test::ScratchFolder scratch;
    const QString path = scratch.path(QStringLiteral("mark.png"));
    ASSERT_TRUE(kova::test::writeFile(path, kova::test::encoded(kova::test::solid(30, 20, Qt::red), "PNG")));
    graphic->setGraphicPath(path);
    EXPECT_EQ(after(graphic, [&] { commands.resizeLayerToFitContent(graphic); }),
              std::pair(QRectF(300, 300, 30, 20), true));
    graphic->setGraphicPath(scratch.path(QStringLiteral("missing.png")));
    EXPECT_EQ(after(graphic, [&] { commands.resizeLayerToFitContent(graphic); }).second, false);

    picture->setGraphicPath(path);
    EXPECT_EQ(after(picture, [&] { commands.resizeLayerToFitContent(picture); }),
              std::pair(QRectF(10, 10, 200, 100), false));
}

TEST_F(TemplateEditorLayerCommandsTest, fillingGivesTheLayerTheCanvasOnce)
{
    EXPECT_EQ(after(picture, [&] { commands.fillTemplateWithLayer(picture); }),
              std::pair(QRectF(0, 0, 1000, 800), true));
    EXPECT_EQ(after(picture, [&] { commands.fillTemplateWithLayer(picture); }).second, false);
}

TEST_F(TemplateEditorLayerCommandsTest, choosingAGraphicAsksForAnImageInTheGraphicsFolder)
{
    kova::test::ScratchFolder graphics;
    platform::UserDefaults::standardUserDefaults()->setObject(graphics.path(), key_kovaFolderGraphics);
    QVariantMap asked;
    Commands::OpenPanelReply answer;
    commands.setOpenPanel([&](const QVariantMap& options, const Commands::OpenPanelReply& reply) {
        asked = options;
        answer = reply;
    });
    commands.chooseGraphicPathForLayer(graphic);
    EXPECT_EQ(asked.value("title"), QStringLiteral("Select a graphic image"));
    EXPECT_EQ(asked.value("message"), QStringLiteral("Select a graphic image"));
    EXPECT_EQ(asked.value("allowedFileTypes"), QStringList{QStringLiteral("public.image")});
    EXPECT_EQ(asked.value("canChooseDirectories"), false);
    EXPECT_EQ(asked.value("directoryURL").toUrl(), QUrl::fromLocalFile(graphics.path()));

    answer(0, {QUrl::fromLocalFile("/cancelled.png")});
    EXPECT_TRUE(graphic->graphicPath().isEmpty());
    answer(1, {QUrl::fromLocalFile("/chosen.png"), QUrl::fromLocalFile("/second.png")});
    EXPECT_EQ(graphic->graphicPath(), QStringLiteral("/chosen.png"));
    platform::UserDefaults::standardUserDefaults()->removeObjectForKey(key_kovaFolderGraphics);
}
