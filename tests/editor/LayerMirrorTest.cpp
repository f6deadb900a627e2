#include "editor/inspector/KOVA_LayerInspector.h"

#include "../core/ImageTestPictures.h"
#include "ChangeRecorder.h"
#include "FakeCanvas.h"
#include "FileFixtures.h"
#include "StandardErrorCapture.h"
#include "TestEnvironment.h"
#include "core/foundation/KOVA_Constants.h"
#include "core/image/ZORVAK_color.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/DispatchClock.h"
#include "platform/undo/UndoManager.h"

#include <QDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

using namespace std::chrono_literals;

namespace {

using Pointer = KOVA_Template::Pointer;
using Key = KOVA_LayerInspector::Key;

double radians(double degrees)
{
    return degrees * std::numbers::pi / 180.0;
}

// A 100 x 100 text box at (100, 100) on a 1000 x 800 canvas, inspected; delays pass on a
// manual clock.
class KOVA_LayerInspectorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::DispatchClock::setCurrent(clock);
        templ = KOVA_Template::init();
        templ->setFrame({0, 0, 1000, 800});
        layer = templ->addLayerOfType(KOVA_Template::layerTypeTextbox);
        layer->setFrame({100, 100, 100, 100});
        canvas.setTemplateObject(templ);
        canvas.setUndoManager(undo);
        inspector.templateDidChange();
        inspector.setLayer(layer);
        undo->removeAllActions();
    }

    void TearDown() override
    {
        clock->advance(1s);
        kova::test::processMainQueue();
        platform::DispatchClock::setCurrent(nullptr);
    }

    // Lets `by` pass and runs what came due on the main queue.
    void pass(std::chrono::milliseconds by)
    {
        clock->advance(by);
        kova::test::processMainQueue();
    }

    double rotationDegrees() const { return layer->rotation().value_or(0) * 180.0 / std::numbers::pi; }

    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(std::chrono::hours(1));
    Pointer templ, layer;
    std::shared_ptr<platform::UndoManager> undo = std::make_shared<platform::UndoManager>();
    kova::test::FakeCanvas canvas;
    KOVA_TemplateEditorLayerCommands commands{canvas};
    KOVA_LayerInspector inspector{commands};
};

} // namespace

// Numbers alike to within rounding (a rotation travels as radians and back).
bool alike(const QVariant& a, const QVariant& b)
{
    if (a.typeId() == QMetaType::Double && b.typeId() == QMetaType::Double)
        return std::abs(a.toDouble() - b.toDouble()) < 1e-9;
    return a == b;
}

// Every property the inspector edits, through its mirror: the edit reaches the layer (or
// the canvas) as one step under its Undo menu name, and undo and redo alternate the layer's
// value, each announced by the layer and shown by the mirror. Every undoable row of the
// property table is reached.
TEST_F(KOVA_LayerInspectorTest, everyEditablePropertyIsSetUndoneAndRedoneThroughTheMirror)
{
    struct Case {
        Key key;
        QVariant edited;
        const char* property;
        QVariant set;
        const char* actionName;
    };
    const Case cases[] = {
        {Key::frameX, 20.0, "x", 20.0, "Move Layer"},
        {Key::frameY, 30.0, "y", 30.0, "Move Layer"},
        {Key::frameWidth, 150.0, "width", 150.0, "Move Layer"},
        {Key::frameHeight, 60.0, "height", 60.0, "Move Layer"},
        {Key::frameRotation, 30.0, "rotation", radians(30), "Rotation"},
        {Key::backgroundEnabled, true, "hasBackground", true, "Layer has Background"},
        {Key::backgroundColor, QColor(0x10, 0x20, 0x30), "backgroundColorCode", "#102030FF", "Background Color"},
        {Key::backgroundOpacity, 0.2, "backgroundOpacity", 0.2, "Background Opacity"},
        {Key::shadowEnabled, true, "hasShadow", true, "Layer has shadow"},
        {Key::shadowColor, QColor(0x40, 0x50, 0x60), "shadowColorCode", "#405060FF", "Shadow Color"},
        {Key::shadowBlur, 11.0, "shadowBlur", 11.0, "Shadow Blur"},
        {Key::shadowOpacity, 0.2, "shadowOpacity", 0.2, "Shadow Opacity"},
        {Key::shadowOffsetX, 4.0, "shadowOffsetX", 4.0, "Shadow Offset"},
        {Key::shadowOffsetY, -6.0, "shadowOffsetY", -6.0, "Shadow Offset"},
        {Key::borderEnabled, true, "hasBorder", true, "Layer has Border"},
        {Key::borderColor, QColor(0x70, 0x80, 0x90), "borderColorCode", "#708090FF", "Border Color"},
        {Key::borderOpacity, 0.2, "borderOpacity", 0.2, "Border Opacity"},
        {Key::borderWidth, 7.0, "borderWidth", 7.0, "Change Border Width"},
        {Key::borderClipsContent, true, "borderClipsContent", true, "Border Clips Content"},
        {Key::stampType, "Filename", "key", "Filename", "Change Stamp Type"},
        {Key::gravity, "resizeAspect", "gravity", "resizeAspect", "Change Gravity"},
        {Key::graphicPath, "/a.png", "graphicPath", "/a.png", "Change Graphic File"},
        {Key::stringValue, "new", "stringValue", "new", "Change Text"},
        {Key::stampFormat, "longDate", "stringValue", "longDate", "Change Stamp Format"},
        {Key::fontName, "Courier", "fontName", "Courier", "Change Font"},
        {Key::fontSize, 31, "fontSize", "31", "Change Font Size"},
        {Key::fontColor, QColor(0x11, 0x22, 0x33), "textColorCode", "#112233FF", "Text Color"},
        {Key::fontOpacity, 0.2, "textOpacity", 0.2, "Text Opacity"},
        {Key::textAlignment, 2, "textAlignment", KOVA_Template::textAlignmentRight, "Change Alignment"},
        // The canvas keeps its origin and the other dimension.
        {Key::canvasWidth, 700.0, "frame", QRectF(5, 7, 700, 800), "Change Canvas Width"},
        {Key::canvasHeight, 90.0, "frame", QRectF(5, 7, 1000, 90), "Change Canvas Height"},
    };
    // Switches off, opaque colours loaded with their opacities.
    inspector.setLayer(nullptr);
    for (const char* code : {"backgroundColorCode", "shadowColorCode", "borderColorCode", "textColorCode"})
        KOVA_TemplateProperty::named(code)->setter(*layer, QStringLiteral("#000000FF"));
    for (const char* flag : {"hasBackground", "hasShadow", "hasBorder", "borderClipsContent"})
        KOVA_TemplateProperty::named(flag)->setter(*layer, false);
    inspector.setLayer(layer);
    templ->setFrame({5, 7, 1000, 800});
    QStringList reached;
    for (const Case& edit : cases) {
        SCOPED_TRACE(edit.actionName);
        const Pointer target = QLatin1String(edit.property) == "frame" ? templ : layer;
        const auto layerValue = [&] { return target->valueForKey(edit.property); };
        const QVariant before = layerValue();
        const QVariant shown = inspector.value(edit.key);
        const int previews = canvas.previews;
        const auto observer = kova::test::ChangeRecorder::observing(*target, {edit.property});

        inspector.setValue(edit.key, edit.edited);
        pass(10ms);
        EXPECT_TRUE(alike(layerValue(), edit.set)) << layerValue().toString().toStdString();
        EXPECT_EQ(undo->undoMenuItemTitle(), QStringLiteral("Undo ") + edit.actionName);
        for (int pass = 0; pass < 2; ++pass) {
            undo->undo();
            EXPECT_EQ(layerValue(), before);
            EXPECT_TRUE(alike(inspector.value(edit.key), shown));
            EXPECT_EQ(undo->redoMenuItemTitle(), QStringLiteral("Redo ") + edit.actionName);
            undo->redo();
            EXPECT_TRUE(alike(layerValue(), edit.set));
            EXPECT_TRUE(alike(inspector.value(edit.key), edit.edited));
        }
        undo->undo();
        EXPECT_FALSE(undo->canUndo());
        QVariantList announced;
        for (const auto& notice : observer->changes())
            announced.append(notice.newValue);
        EXPECT_EQ(announced.size(), 6);
        EXPECT_TRUE(alike(announced.value(4), edit.set));
        EXPECT_EQ(announced.value(5), before);
        EXPECT_EQ(canvas.previews, previews + 6);
        target->removeObserver(observer.get(), edit.property, nullptr);
        undo->removeAllActions();
        reached.append(QString::fromLatin1(edit.property));
    }
    for (const KOVA_TemplateProperty& row : KOVA_TemplateProperty::all())
        if (!row.undoActionName.isEmpty())
            EXPECT_TRUE(reached.contains(row.name)) << row.name.toStdString();
}

TEST_F(KOVA_LayerInspectorTest, aRotationIsSentInWholeDegreesTenMillisecondsLater)
{
    struct Case {
        double edited, sent;
    };
    for (const Case rotation : {Case{10.4, 10}, Case{10.5, 11}, Case{-10.5, -11}, Case{179.6, 180}}) {
        SCOPED_TRACE(rotation.edited);
        inspector.setValue(Key::frameRotation, rotation.edited);
        EXPECT_EQ(inspector.value(Key::frameRotation), rotation.edited);
        pass(9ms);
        EXPECT_NE(layer->rotation(), radians(rotation.sent));
        pass(1ms);
        EXPECT_NEAR(rotationDegrees(), rotation.sent, 1e-9);
        // The layer's notice loads the sent value.
        EXPECT_NEAR(inspector.value(Key::frameRotation).toDouble(), rotation.sent, 1e-9);
    }
}

// No coalescing: each edit sends its own value to the layer it was made for.
TEST_F(KOVA_LayerInspectorTest, twoRotationEditsWithinTenMillisecondsSendTwice)
{
    const Pointer other = templ->addLayerOfType(KOVA_Template::layerTypeTextbox);
    inspector.setValue(Key::frameRotation, 20.0);
    pass(5ms);
    inspector.setLayer(other);
    inspector.setValue(Key::frameRotation, 30.0);
    pass(5ms);
    EXPECT_NEAR(rotationDegrees(), 20, 1e-9);
    EXPECT_FALSE(other->rotation());
    pass(5ms);
    EXPECT_NEAR(other->rotation().value_or(0), radians(30), 1e-9);
    EXPECT_NEAR(rotationDegrees(), 20, 1e-9);
}

TEST_F(KOVA_LayerInspectorTest, aFontSizeBelowOneIsOneAndIsSentAsText)
{
    inspector.setValue(Key::fontSize, 0);
    EXPECT_EQ(inspector.value(Key::fontSize), 1);
    EXPECT_EQ(layer->fontSize(), QStringLiteral("1"));
    inspector.setValue(Key::fontSize, 48);
    EXPECT_EQ(layer->fontSize(), QStringLiteral("48"));
    layer->setFontSize(QStringLiteral("12.7"));
    EXPECT_EQ(inspector.value(Key::fontSize), 12);
}

// The picked colour's alpha gives way to the opacity of its group.
TEST_F(KOVA_LayerInspectorTest, aColourIsSentWithItsGroupsOpacityAndLoadsOpaque)
{
    struct Case {
        Key color, opacity;
        const char* code;
    };
    const Case cases[] = {
        {Key::fontColor, Key::fontOpacity, "textColorCode"},
        {Key::backgroundColor, Key::backgroundOpacity, "backgroundColorCode"},
        {Key::borderColor, Key::borderOpacity, "borderColorCode"},
        {Key::shadowColor, Key::shadowOpacity, "shadowColorCode"},
    };
    for (const Case& group : cases) {
        SCOPED_TRACE(group.code);
        inspector.setUnboundValue(group.opacity, 0.5);
        inspector.setValue(group.color, QColor(0x11, 0x22, 0x33, 0x20));
        EXPECT_EQ(layer->valueForKey(group.code).toString(), QStringLiteral("#1122337F"));

        KOVA_TemplateProperty::named(group.code)->setter(*layer, QStringLiteral("#33445580"));
        EXPECT_EQ(inspector.value(group.color).value<QColor>(), QColor(0x33, 0x44, 0x55));
    }
    inspector.setUnboundValue(Key::fontOpacity, 0.0);
    layer->setTextOpacity(0.75);
    EXPECT_EQ(inspector.value(Key::fontOpacity), layer->textOpacity());
}

TEST_F(KOVA_LayerInspectorTest, theControlShowsRightAfterCentre)
{
    inspector.setValue(Key::textAlignment, 2); // right, as the control shows it
    EXPECT_EQ(layer->textAlignment(), KOVA_Template::textAlignmentRight);
    layer->setTextAlignment(KOVA_Template::textAlignmentCenter);
    EXPECT_EQ(inspector.value(Key::textAlignment), 1u);
    layer->setTextAlignment(KOVA_Template::textAlignmentJustified);
    EXPECT_EQ(inspector.value(Key::textAlignment), 3u);
}

// A rotated layer keeps its own left (top) side in place when its width (height) changes.
TEST_F(KOVA_LayerInspectorTest, sizeEditsOfARotatedLayerMoveItsOrigin)
{
    struct Case {
        double degrees;
        Key key;
        double size;
        QRectF frame;
    };
    const Case cases[] = {
        {90, Key::frameWidth, 120, {90, 110, 120, 100}},
        {90, Key::frameHeight, 120, {90, 90, 100, 120}},
        {0, Key::frameWidth, 120, {100, 100, 120, 100}},
        {180, Key::frameWidth, 120, {80, 100, 120, 100}},
    };
    for (const Case& edit : cases) {
        SCOPED_TRACE(edit.degrees);
        layer->setFrame({100, 100, 100, 100});
        layer->setRotation(radians(edit.degrees));
        inspector.setValue(edit.key, edit.size);
        EXPECT_EQ(layer->frame(), edit.frame);
    }
}

// A width of 0 is refused by the editor: the mirror shows the layer's width again, and
// the next edit measures from it.
TEST_F(KOVA_LayerInspectorTest, aRefusedSizeReloadsTheMirror)
{
    layer->setRotation(radians(90));
    for (const double refused : {0.0, -5.0}) {
        inspector.setValue(Key::frameWidth, refused);
        EXPECT_EQ(inspector.value(Key::frameWidth), 100.0);
        EXPECT_EQ(layer->frame(), QRectF(100, 100, 100, 100));
        EXPECT_FALSE(undo->canUndo());
    }
    inspector.setValue(Key::frameWidth, 120.0);
    EXPECT_EQ(layer->frame(), QRectF(90, 110, 120, 100));
}

// A whole rectangle is one edit of the layer's frame, undone at once.
TEST_F(KOVA_LayerInspectorTest, aRectangleEditsEveryComponentThatDiffers)
{
    inspector.setFrame({10, 20, 150, 60});
    EXPECT_EQ(layer->frame(), QRectF(10, 20, 150, 60));
    EXPECT_EQ(inspector.value(Key::frame), QRectF(10, 20, 150, 60));
    EXPECT_EQ(inspector.value(Key::frameWidth), 150.0);
    kova::test::processMainQueue();
    undo->undo();
    EXPECT_EQ(layer->frame(), QRectF(100, 100, 100, 100));
    EXPECT_EQ(inspector.value(Key::frameX), 100.0);
}

// Numbers typed as "nan" or "inf" never reach the layer.
TEST_F(KOVA_LayerInspectorTest, numbersThatAreNoNumbersAreRefused)
{
    for (const Key key : {Key::frameRotation, Key::fontOpacity, Key::shadowBlur, Key::shadowOffsetX, Key::frameWidth,
                          Key::frameX, Key::canvasWidth, Key::borderWidth, Key::fontSize, Key::textAlignment}) {
        for (const QVariant bad : {QVariant(std::nan("")), QVariant(-std::numeric_limits<double>::infinity()),
                                   QVariant(QStringLiteral("twelve"))}) {
            SCOPED_TRACE(KOVA_LayerInspector::name(key).toStdString());
            const QVariant before = inspector.value(key);
            inspector.setValue(key, bad);
            pass(10ms);
            EXPECT_EQ(inspector.value(key), before);
            EXPECT_FALSE(undo->canUndo());
        }
    }
    EXPECT_EQ(layer->frame(), QRectF(100, 100, 100, 100));
    EXPECT_EQ(templ->frame(), QRectF(0, 0, 1000, 800));
}

// A number past what its control offers is taken to the nearest end of that range,
// whole for a whole-number control; so is a layer's font size as the control shows it.
TEST_F(KOVA_LayerInspectorTest, numbersPastTheControlsRangeAreTakenIntoIt)
{
    struct Case {
        Key key;
        double edited;
        const char* layerKey;
        QVariant layerValue;
    };
    const Case cases[] = {
        {Key::fontSize, 1e300, "fontSize", "9999"},
        {Key::fontSize, -1e300, "fontSize", "1"},
        {Key::fontSize, 30.9, "fontSize", "30"},
        {Key::textAlignment, 1e300, "textAlignment", KOVA_Template::textAlignmentRight},
        {Key::shadowBlur, 1e300, "shadowBlur", 100.0},
        {Key::fontOpacity, -1e300, "textOpacity", 0.0},
        {Key::frameX, 1e300, "x", KOVA_LayerInspector::maxDouble},
        {Key::frameWidth, -1e300, "width", 100.0},
    };
    for (const Case& edit : cases) {
        SCOPED_TRACE(KOVA_LayerInspector::name(edit.key).toStdString());
        inspector.setValue(edit.key, edit.edited);
        EXPECT_EQ(layer->valueForKey(edit.layerKey), edit.layerValue);
    }
    const std::pair<const char*, int> loaded[] = {{"1e300", 9999}, {"-1e300", 1}, {"nan", 0}, {"12pt", 0}, {"0.5", 1}};
    for (const auto& [fontSize, shown] : loaded) {
        layer->setFontSize(QString::fromLatin1(fontSize));
        EXPECT_EQ(inspector.value(Key::fontSize), shown) << fontSize;
    }
}

TEST_F(KOVA_LayerInspectorTest, withoutALayerNothingIsSent)
{
    inspector.setLayer(nullptr);
    EXPECT_EQ(inspector.value(Key::frameWidth), 0.0);
    EXPECT_EQ(inspector.value(Key::borderEnabled), false);
    EXPECT_FALSE(inspector.value(Key::fontColor).isValid());
    inspector.setValue(Key::fontName, QStringLiteral("Courier"));
    inspector.setValue(Key::frameWidth, 300.0);
    inspector.setValue(Key::frameRotation, 45.0);
    inspector.fillCanvas();
    inspector.centerHorizontally();
    inspector.fitToContent();
    pass(10ms);
    EXPECT_FALSE(undo->canUndo());
    EXPECT_EQ(layer->frame(), QRectF(100, 100, 100, 100));
}

TEST_F(KOVA_LayerInspectorTest, positionLimitsKeepTheRotatedLayerOnTheCanvas)
{
    struct Case {
        double degrees, minX, maxX, minY, maxY, rotatedWidth;
    };
    const Case cases[] = {
        {0, 0, 900, 0, 700, 100},
        {45, 20.71, 879.29, 20.71, 679.29, 141.42},
        // Beyond a right angle the box is as wide as at its supplement, not narrower.
        {135, 20.71, 879.29, 20.71, 679.29, 141.42},
        {-45, 20.71, 879.29, 20.71, 679.29, 141.42},
        {90, 0, 900, 0, 700, 100},
    };
    for (const Case& limits : cases) {
        SCOPED_TRACE(limits.degrees);
        inspector.setUnboundValue(Key::frameRotation, limits.degrees);
        EXPECT_NEAR(inspector.frameMinX(), limits.minX, 0.01);
        EXPECT_NEAR(inspector.frameMaxX(), limits.maxX, 0.01);
        EXPECT_NEAR(inspector.frameMinY(), limits.minY, 0.01);
        EXPECT_NEAR(inspector.frameMaxY(), limits.maxY, 0.01);
        EXPECT_NEAR(inspector.rotatedWidth(), limits.rotatedWidth, 0.01);
    }
    int limitsChanged = 0;
    QObject::connect(&inspector, &KOVA_LayerInspector::limitsChanged, [&] { ++limitsChanged; });
    templ->setFrame({0, 0, 500, 800});
    EXPECT_EQ(inspector.value(Key::canvasWidth), 500.0);
    EXPECT_EQ(inspector.frameMaxWidth(), 500.0);
    EXPECT_EQ(limitsChanged, 1);
}

// The canvas size edited in the inspector is the template's, and follows its undo.
TEST_F(KOVA_LayerInspectorTest, theCanvasSizeIsTheTemplatesFrame)
{
    inspector.setValue(Key::canvasWidth, 700.0);
    inspector.setValue(Key::canvasHeight, -5.0);
    EXPECT_EQ(templ->frame(), QRectF(0, 0, 700, 0));
    EXPECT_EQ(inspector.value(Key::canvasHeight), 0.0);
    undo->undo();
    EXPECT_EQ(inspector.value(Key::canvasHeight), 800.0);
    undo->undo();
    EXPECT_EQ(inspector.value(Key::canvasWidth), 1000.0);

    // Another template, or none, is followed once the editor says so.
    const Pointer other = KOVA_Template::init();
    canvas.setTemplateObject(other);
    inspector.templateDidChange();
    EXPECT_EQ(inspector.value(Key::canvasWidth), 1000.0);
    templ->setFrame({0, 0, 10, 10});
    EXPECT_EQ(inspector.value(Key::canvasWidth), 1000.0);
    canvas.setTemplateObject(nullptr);
    inspector.templateDidChange();
    EXPECT_EQ(inspector.value(Key::canvasWidth), 0.0);
}

TEST_F(KOVA_LayerInspectorTest, inspectingTheSameLayerAgainObservesItOnce)
{
    inspector.setLayer(layer);
    QList<Key> changed;
    QObject::connect(&inspector, &KOVA_LayerInspector::valueChanged, [&](Key key) { changed.append(key); });
    layer->setFontName(QStringLiteral("Courier"));
    EXPECT_EQ(changed, QList<Key>{Key::fontName});

    // A layer no longer inspected is no longer heard.
    const Pointer other = templ->addLayerOfType(KOVA_Template::layerTypeStamp);
    inspector.setLayer(other);
    changed.clear();
    layer->setFontName(QStringLiteral("Helvetica"));
    EXPECT_TRUE(changed.isEmpty());
    EXPECT_EQ(inspector.value(Key::fontName), other->fontName());
}

TEST_F(KOVA_LayerInspectorTest, theStampTypeChoosesTheFormats)
{
    layer->setKey(QStringLiteral("date"));
    EXPECT_EQ(inspector.value(Key::stampType), QStringLiteral("Date"));
    EXPECT_EQ(inspector.availableStampFormats().size(), 4);
    inspector.setValue(Key::stampType, QStringLiteral("Filename"));
    EXPECT_TRUE(inspector.availableStampFormats().isEmpty());
    EXPECT_EQ(layer->key(), QStringLiteral("Filename"));
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Change Stamp Type"));

    inspector.setValue(Key::stampFormat, QStringLiteral("longDate"));
    EXPECT_EQ(layer->stringValue(), QStringLiteral("longDate"));
    EXPECT_EQ(inspector.value(Key::stringValue), QStringLiteral("longDate"));
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Change Stamp Format"));
}

TEST_F(KOVA_LayerInspectorTest, theGraphicsFolderListsItsImagesOnly)
{
    kova::test::ScratchFolder graphics;
    const QString png = graphics.path(QStringLiteral("sun.png"));
    ASSERT_TRUE(kova::test::writeFile(png, kova::test::encoded(kova::test::solid(4, 4, Qt::red), "PNG")));
    ASSERT_TRUE(kova::test::writeFile(graphics.path(QStringLiteral("notes.txt")), "not a picture"));
    ASSERT_TRUE(QDir(graphics.path()).mkdir(QStringLiteral("inner")));
    ASSERT_TRUE(kova::test::writeFile(graphics.path(QStringLiteral("inner/moon.png")),
                                      kova::test::encoded(kova::test::solid(4, 4, Qt::red), "PNG")));
    platform::UserDefaults::standardUserDefaults()->setObject(graphics.path(), key_kovaFolderGraphics);

    kova::test::StandardErrorCapture log;
    EXPECT_EQ(inspector.availableGraphics(), QStringList{png});
    const QString text = log.text();
    EXPECT_TRUE(text.contains(QStringLiteral("file that is not an image type: file://")
                              + graphics.path(QStringLiteral("notes.txt"))))
        << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("moon")));
    platform::UserDefaults::standardUserDefaults()->removeObjectForKey(key_kovaFolderGraphics);
}

// The road of an edit closes on the file: edit, undo, redo, save, read back.
TEST_F(KOVA_LayerInspectorTest, anEditUndoneAndRedoneIsSavedAsEdited)
{
    const Pointer postcard = KOVA_Template::templateWithPath(QStringLiteral(KOVA_EXAMPLES_DIR "/Templates/Postcard.xml"), QUrl());
    ASSERT_TRUE(postcard);
    const KOVA_Template::List layers = postcard->layers();
    const Pointer text = *std::find_if(layers.begin(), layers.end(), [](const Pointer& each) { return each->isTextboxType(); });
    canvas.setTemplateObject(postcard);
    inspector.templateDidChange();
    inspector.setLayer(text);
    inspector.setValue(Key::shadowEnabled, true);
    inspector.setValue(Key::shadowBlur, 6.0);
    inspector.setValue(Key::fontColor, QColor(Qt::darkBlue));
    inspector.setValue(Key::stringValue, QStringLiteral("Hello"));
    inspector.setValue(Key::frameWidth, 300.0);
    kova::test::processMainQueue();
    const Pointer edited = postcard->copy();
    undo->undo();
    EXPECT_EQ(inspector.value(Key::frameWidth), 340.0);
    EXPECT_NE(postcard->isEqual(edited.get()), true);
    undo->redo();
    EXPECT_EQ(inspector.value(Key::frameWidth), 300.0);
    EXPECT_EQ(inspector.value(Key::stringValue), QStringLiteral("Hello"));

    kova::test::ScratchFolder scratch;
    const QUrl url = QUrl::fromLocalFile(scratch.path(QStringLiteral("edited.xml")));
    bool saved = false;
    postcard->saveChangesToURL(url, [&](const QUrl& written, const auto& error) { saved = !error && written == url; });
    ASSERT_TRUE(kova::test::waitUntil([&] { return saved; }));
    const Pointer readBack = KOVA_Template::templateWithPath(url.toLocalFile(), QUrl());
    ASSERT_TRUE(readBack);
    // The layers as edited (the example's root also carries a background switch that
    // template files do not keep for the canvas).
    ASSERT_EQ(readBack->layers().size(), edited->layers().size());
    for (qsizetype index = 0; index < edited->layers().size(); ++index)
        EXPECT_TRUE(readBack->layers().at(index)->isEqual(edited->layers().at(index).get())) << index;
    EXPECT_EQ(readBack->frame(), edited->frame());
    EXPECT_EQ(readBack->layers().at(3)->stringValue(), QStringLiteral("Hello"));
}
