// The example work folder (examples/KOVA) rendered through the real path: the
// templates are loaded from their files with the preferences pointing at the
// example folders, and their layers find their pictures in its Images and
// Graphics folders. Every photo there carries coloured patches in the corners
// of its upright picture (top left red, top right green, bottom left blue,
// bottom right yellow), so the probes below can tell placement, crop and turns.
// Nothing here writes into the example folder (each test checks that).

#include "template/KOVA_Template.h"

#include "../core/ImageTestPictures.h"
#include "FileFixtures.h"
#include "FixedTimeZone.h"
#include "TestEnvironment.h"
#include "core/foundation/KOVA_Constants.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/WallClock.h"
#include "template/KOVA_EditableText.h"
#include "template/KOVA_TemplatePackage.h"
#include "template/KOVA_XML_Keys.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <functional>

namespace {

using kova::test::blue;
using kova::test::green;
using kova::test::near;
using kova::test::probe;
using kova::test::red;
using kova::test::yellow;

const QColor white(255, 255, 255);

const QString examplesFolder = QStringLiteral(KOVA_EXAMPLES_DIR);

QString examplePath(const QString& relative)
{
    return examplesFolder + QLatin1Char('/') + relative;
}

// The colour at a point given in template geometry (origin top left, y down).
QColor at(const QImage& canvas, double x, double y)
{
    return canvas.pixelColor(int(x), int(y));
}

// How many pixels of `area` (template geometry) satisfy `test`.
int countPixels(const QImage& canvas, const QRect& area, const std::function<bool(const QColor&)>& test)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += test(canvas.pixelColor(x, y));
    }
    return count;
}

// The corner patches of an example photo turned a quarter clockwise, probed
// inside the columns `left` and `right` and the rows `top` and `bottom` it
// covers: its top left (red) is now at the top right, and so on.
void expectTurnedQuarterClockwise(const QImage& canvas, double left, double right, double top, double bottom)
{
    EXPECT_TRUE(near(at(canvas, right, top), red));
    EXPECT_TRUE(near(at(canvas, right, bottom), green));
    EXPECT_TRUE(near(at(canvas, left, top), blue));
    EXPECT_TRUE(near(at(canvas, left, bottom), yellow));
}

int darkPixels(const QImage& canvas, const QRect& area)
{
    return countPixels(canvas, area, [](const QColor& c) { return c.alpha() > 128 && c.value() < 100; });
}

// Every file below the example folder with its size and modification time.
QStringList exampleFiles()
{
    QStringList files;
    QDirIterator it(examplesFolder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo file(it.next());
        files.append(QStringLiteral("%1 %2 %3").arg(file.filePath()).arg(file.size()).arg(file.lastModified().toMSecsSinceEpoch()));
    }
    files.sort();
    return files;
}

// A package as the workflow's packages name themselves.
class NamedPackage : public KOVA_XML_object, public KOVA_TemplatePackage {
public:
    QString packageName() const override { return QStringLiteral("Seaside Prints"); }
    QString pluCode() const override { return {}; }
    std::shared_ptr<KOVA_TemplateJob> job() const override { return nullptr; }
    QUrl urlJobContainer() const override { return {}; }
};

class KOVA_ExampleRenderingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::WallClock::setNow([] { return QDateTime(QDate(2026, 7, 14), QTime(10, 30), QTimeZone("Europe/Berlin")); });
        // Points the templates folder, and with it the nodes folder beside it, at the examples.
        KOVA_Template::setCurrentTemplatesFolder(QUrl::fromLocalFile(examplePath(QStringLiteral("Templates"))));
    }
    void TearDown() override
    {
        EXPECT_EQ(exampleFiles(), m_exampleFiles) << "the example folder was changed";
        platform::WallClock::setNow(nullptr);
        preferences()->removeObjectForKey(key_kovaFolderTemplates);
        preferences()->removeObjectForKey(key_kovaFolderNodes);
    }

    static std::shared_ptr<platform::UserDefaults> preferences() { return platform::UserDefaults::standardUserDefaults(); }

    // The example template of `name`, found by its bare name through the templates folder.
    static KOVA_Template::Pointer load(const QString& name)
    {
        auto loaded = KOVA_Template::templateWithPath(name + QStringLiteral(".xml"), QUrl());
        EXPECT_TRUE(loaded) << name.toStdString();
        return loaded;
    }

    static KOVA_Template::Pointer layerKeyed(const KOVA_Template::Pointer& parent, const QString& key)
    {
        for (const auto& layer : parent->layers()) {
            if (layer->key() == key)
                return layer;
        }
        ADD_FAILURE() << "no layer keyed " << key.toStdString();
        return KOVA_Template::initForCopy();
    }

    FixedTimeZone zone{"Europe/Berlin"};
    // Rendering must leave the example folder as it is.
    const QStringList m_exampleFiles = exampleFiles();
};

// Together the examples hold every layer type; the containers are the templates
// themselves and the badge node read from the nodes folder.
TEST_F(KOVA_ExampleRenderingTest, ExamplesLoadWithEveryLayerType)
{
    unsigned types = 0;
    for (const QString& name : {QStringLiteral("Photo Print 6x4"), QStringLiteral("Postcard"), QStringLiteral("Portrait Frame")}) {
        const auto loaded = load(name);
        ASSERT_TRUE(loaded);
        types |= loaded->layerType();
        for (const auto& layer : loaded->layers())
            types |= layer->layerType();
    }
    const unsigned expected = KOVA_Template::layerTypeContainer | KOVA_Template::layerTypeImage | KOVA_Template::layerTypeGraphic
        | KOVA_Template::layerTypeTextbox | KOVA_Template::layerTypeStamp;
    EXPECT_EQ(types, expected);
}

// Layer frames count from the top left; the canvas from the bottom left: the
// postcard's cropped photo (y 20, height 160 on a canvas 400 high) lies from
// 220 to 380 above the bottom. Its crop shows the bottom right quarter of the
// photo, its border runs inside its edge and its shadow falls 8 right and 8 down.
TEST_F(KOVA_ExampleRenderingTest, PhotoIsPlacedCroppedBorderedAndShadowed)
{
    const auto postcard = load(QStringLiteral("Postcard"));
    ASSERT_TRUE(postcard);
    const QImage canvas = postcard->imageUncached();
    ASSERT_EQ(canvas.size(), QSize(600, 400));

    // Bottom-left geometry: the yellow patch of the cropped quarter near the layer's bottom right.
    EXPECT_TRUE(near(probe(canvas, 240, 230), yellow));
    EXPECT_TRUE(near(probe(canvas, 180, 232), yellow));
    EXPECT_FALSE(near(probe(canvas, 240, 370), yellow)); // the layer's top right shows sky
    EXPECT_EQ(probe(canvas, 100, 385), white);          // above the layer
    // The crop leaves out the other corners of the photo.
    for (const QColor& corner : {red, green, blue})
        EXPECT_EQ(countPixels(canvas, {26, 26, 228, 148}, [&](const QColor& c) { return near(c, corner, 30); }), 0);

    const QColor border(0x20, 0x30, 0x40);
    EXPECT_TRUE(near(at(canvas, 22, 100), border, 12));
    EXPECT_TRUE(near(at(canvas, 257, 100), border, 12));
    EXPECT_TRUE(near(at(canvas, 140, 177), border, 12));

    const QColor shadow(127, 127, 127);
    EXPECT_TRUE(near(at(canvas, 264, 100), shadow, 10)); // right of the layer
    EXPECT_TRUE(near(at(canvas, 140, 184), shadow, 10)); // below it
    EXPECT_EQ(at(canvas, 16, 100), white);              // nothing to the left
    EXPECT_EQ(at(canvas, 140, 16), white);              // nor above
}

// The postcard's second photo is turned a quarter clockwise about its centre
// (420, 140): its top left corner goes to the top right, and so on.
TEST_F(KOVA_ExampleRenderingTest, RotatedPhotoTurnsClockwiseAboutItsCentre)
{
    const auto postcard = load(QStringLiteral("Postcard"));
    ASSERT_TRUE(postcard);
    const QImage canvas = postcard->imageUncached();

    expectTurnedQuarterClockwise(canvas, 356, 484, 44, 236);
    EXPECT_EQ(at(canvas, 310, 140), white); // the turned photo is narrower than the frame
}

// Every image layer of a template turns its picture to run along the layer. The
// landscape harbour in a portrait frame is turned a quarter clockwise. The
// lighthouse is stored turned a quarter clockwise with metadata orientation 8:
// read upright it already runs along its portrait frame and is shown upright
// (with the metadata ignored, autorotation would turn it upside down).
TEST_F(KOVA_ExampleRenderingTest, PhotosAreAutorotatedAndShownUpright)
{
    const auto frame = load(QStringLiteral("Portrait Frame"));
    ASSERT_TRUE(frame);
    const QImage canvas = frame->imageUncached();
    ASSERT_EQ(canvas.size(), QSize(400, 600));

    // Harbour in (20, 20, 170, 255), turned: its top left now at the top right.
    expectTurnedQuarterClockwise(canvas, 37, 173, 45, 249);

    // Lighthouse in (210, 20, 170, 255), upright.
    EXPECT_TRUE(near(at(canvas, 227, 45), red));
    EXPECT_TRUE(near(at(canvas, 363, 45), green));
    EXPECT_TRUE(near(at(canvas, 227, 249), blue));
    EXPECT_TRUE(near(at(canvas, 363, 249), yellow));
}

// The sun graphic (a PNG with transparency) is fitted into its wide frame: its
// background colour fills the fitted square and shows through the transparent
// parts; beside the square the template's white background stays. The PDF
// ribbon is rasterised over its frame.
TEST_F(KOVA_ExampleRenderingTest, GraphicsShowTheirTransparencyAndBackground)
{
    const auto frame = load(QStringLiteral("Portrait Frame"));
    const auto postcard = load(QStringLiteral("Postcard"));
    ASSERT_TRUE(frame && postcard);
    const QImage framed = frame->imageUncached();

    const QColor seaGreen(0x2E, 0x8B, 0x57);
    EXPECT_TRUE(near(at(framed, 144, 294), seaGreen, 8));     // transparent corner of the fitted square
    EXPECT_TRUE(near(at(framed, 200, 350), QColor(255, 220, 0), 50)); // the sun's disc
    EXPECT_EQ(at(framed, 60, 350), white);
    EXPECT_EQ(at(framed, 340, 350), white);

    const QImage card = postcard->imageUncached();
    const QColor ribbon(32, 96, 192);
    EXPECT_TRUE(near(at(card, 60, 282), ribbon, 12));
    EXPECT_TRUE(near(at(card, 570, 276), ribbon, 12));
    EXPECT_EQ(at(card, 300, 267), white);
}

// The badge node from the nodes folder is drawn in its frame (20, 430, 150, 150):
// a gold border inside the edge, purple within and white ink of its text.
TEST_F(KOVA_ExampleRenderingTest, NestedNodeIsDrawnInItsFrame)
{
    const auto frame = load(QStringLiteral("Portrait Frame"));
    ASSERT_TRUE(frame);
    const auto badge = layerKeyed(frame, QStringLiteral("badge"));
    EXPECT_TRUE(badge->isTypeContainer());
    const QImage canvas = frame->imageUncached();

    EXPECT_TRUE(near(at(canvas, 22, 505), QColor(0xFF, 0xD7, 0x00), 12));
    EXPECT_TRUE(near(at(canvas, 167, 505), QColor(0xFF, 0xD7, 0x00), 12));
    EXPECT_TRUE(near(at(canvas, 30, 570), QColor(0x70, 0x30, 0xA0), 12));
    EXPECT_EQ(at(canvas, 15, 505), white);
    const int whiteInk = countPixels(canvas, {26, 436, 138, 138}, [](const QColor& c) { return near(c, white, 30); });
    EXPECT_GT(whiteInk, 30);
}

// Text layers draw ink inside their frame and wrap a long text onto further
// lines; the text layer's background fills its frame.
TEST_F(KOVA_ExampleRenderingTest, TextLayersDrawWrappedTextOnTheirBackground)
{
    const auto postcard = load(QStringLiteral("Postcard"));
    ASSERT_TRUE(postcard);
    const QImage canvas = postcard->imageUncached();

    // The message (20, 305, 340, 80): a first line and at least a second one.
    EXPECT_GT(darkPixels(canvas, {20, 305, 340, 20}), 40);
    EXPECT_GT(darkPixels(canvas, {20, 327, 340, 20}), 40);
    EXPECT_TRUE(near(at(canvas, 357, 382), QColor(0xFF, 0xF2, 0xCC), 6));
    EXPECT_EQ(darkPixels(canvas, {20, 386, 340, 14}), 0); // nothing spills below

    const auto print = load(QStringLiteral("Photo Print 6x4"));
    ASSERT_TRUE(print);
    const QImage printed = print->imageUncached();
    EXPECT_GT(darkPixels(printed, {440, 800, 640, 60}), 200);
    EXPECT_GT(darkPixels(printed, {440, 870, 640, 60}), 200);
}

// Stamps show their texts: what each draws equals what a text layer with the
// expected text draws in the same place with the same font.
TEST_F(KOVA_ExampleRenderingTest, StampsShowTheFileNameThePackageAndTheDate)
{
    const auto postcard = load(QStringLiteral("Postcard"));
    const auto frame = load(QStringLiteral("Portrait Frame"));
    ASSERT_TRUE(postcard && frame);
    postcard->setFilepathCustomImage(examplePath(QStringLiteral("Images/Harbour.jpg")));
    const auto package = std::make_shared<NamedPackage>();
    postcard->setPackage(package);

    const auto showsText = [](const KOVA_Template::Pointer& root, const QString& key, const QString& expected) {
        const auto stamp = layerKeyed(root, key);
        const QRect area = stamp->frame().toRect();
        const QImage stamped = root->imageUncached().copy(area);
        stamp->setLayerType(KOVA_Template::layerTypeTextbox);
        stamp->setStringValue(expected);
        const QImage lettered = root->imageUncached().copy(area);
        EXPECT_GT(darkPixels(stamped, stamped.rect()), 20) << key.toStdString();
        EXPECT_EQ(stamped, lettered) << key.toStdString() << " does not show " << expected.toStdString();
    };
    showsText(postcard, QStringLiteral("filename"), QStringLiteral("Harbour.jpg"));
    showsText(postcard, QStringLiteral("packagename"), QStringLiteral("Seaside Prints"));
    showsText(frame, QStringLiteral("date"), QStringLiteral("07-14-2026"));

    const std::optional<QString> earlier = KOVA_EditableText::editableTextForKey(QStringLiteral("1"));
    KOVA_EditableText::setEditableText(QStringLiteral("Hello"), QStringLiteral("1"));
    showsText(postcard, QStringLiteral("edittextbox"), QStringLiteral("Hello"));
    KOVA_EditableText::setEditableText(earlier, QStringLiteral("1"));
}

// A stamp without a text of its own (its key alone says what it shows) keeps its
// font and colour.
TEST_F(KOVA_ExampleRenderingTest, StampWithoutItsOwnTextKeepsItsColour)
{
    const auto postcard = load(QStringLiteral("Postcard"));
    ASSERT_TRUE(postcard);
    postcard->setPackage(std::make_shared<NamedPackage>());
    const auto stamp = layerKeyed(postcard, QStringLiteral("packagename"));
    stamp->removeValue(KOVA_XML_Key_string);
    ASSERT_TRUE(stamp->stringValue().isNull());
    stamp->setTextColorCode(QStringLiteral("#FF0000"));
    const QImage stamped = postcard->imageUncached().copy(stamp->frame().toRect());
    const int redPixels = countPixels(stamped, stamped.rect(), [](const QColor& c) {
        return c.red() > 200 && c.green() < 80 && c.blue() < 80;
    });
    EXPECT_GT(redPixels, 20);
}

// The 6x4 print renders at its print size with every layer in place; its photo
// layers, found by their keys, take other pictures by path (as a benchmark
// substitutes large photos).
TEST_F(KOVA_ExampleRenderingTest, PhotoPrintRendersItsLayersAndTakesOtherPhotos)
{
    const auto print = load(QStringLiteral("Photo Print 6x4"));
    ASSERT_TRUE(print);
    const QImage canvas = print->imageUncached();
    ASSERT_EQ(canvas.size(), QSize(1800, 1200));
    EXPECT_TRUE(near(at(canvas, 100, 100), red));              // harbour's top left
    EXPECT_TRUE(near(at(canvas, 1700, 900), yellow));          // lighthouse's bottom right
    EXPECT_TRUE(near(at(canvas, 1143, 500), QColor(0x30, 0x30, 0x30), 12)); // its border
    EXPECT_TRUE(near(at(canvas, 230, 970), QColor(255, 220, 0), 50));       // the sun
    EXPECT_EQ(at(canvas, 70, 810), white);                     // transparent corner of the sun
    EXPECT_GT(darkPixels(canvas, {1140, 1020, 600, 80}), 100); // the date

    kova::test::ScratchFolder scratch;
    const QString magenta = scratch.path(QStringLiteral("magenta.jpg"));
    const QString cyan = scratch.path(QStringLiteral("cyan.jpg"));
    ASSERT_TRUE(kova::test::writeFile(magenta, kova::test::encoded(kova::test::solid(300, 200, QColor(255, 0, 255)), "JPEG")));
    ASSERT_TRUE(kova::test::writeFile(cyan, kova::test::encoded(kova::test::solid(200, 300, QColor(0, 255, 255)), "JPEG")));
    layerKeyed(print, QStringLiteral("image1"))->setGraphicPath(magenta);
    layerKeyed(print, QStringLiteral("image2"))->setGraphicPath(cyan);
    const QImage substituted = print->imageUncached();
    EXPECT_TRUE(near(at(substituted, 100, 100), QColor(255, 0, 255)));
    EXPECT_TRUE(near(at(substituted, 1700, 900), QColor(0, 255, 255)));
}

// Thumbnails fit the thumbnail size with the template's proportions.
TEST_F(KOVA_ExampleRenderingTest, ThumbnailsFitTheThumbnailSize)
{
    const QList<std::pair<QString, QSize>> expected{{QStringLiteral("Photo Print 6x4"), {192, 128}},
                                                    {QStringLiteral("Postcard"), {192, 128}},
                                                    {QStringLiteral("Portrait Frame"), {128, 192}}};
    for (const auto& [name, size] : expected) {
        const auto loaded = load(name);
        ASSERT_TRUE(loaded);
        EXPECT_TRUE(loaded->thumbnail().isNull()); // the first call starts the render
        ASSERT_TRUE(kova::test::waitUntil([&] { return !loaded->thumbnail().isNull(); })) << name.toStdString();
        EXPECT_EQ(loaded->thumbnail().size(), size) << name.toStdString();
    }
}

// One save keeps what the page draws: a template edited, saved and read back is the
// same template and renders the same pixels, its page's background included (white
// at the corner, where no layer lies). The coloured page is saved over its own file.
TEST_F(KOVA_ExampleRenderingTest, SavedTemplatesReadBackAndRenderTheSamePixels)
{
    kova::test::ScratchFolder scratch;
    // A work folder of the same shape, whose pictures are the examples' own.
    const QString templates = scratch.path(QStringLiteral("KOVA/Templates"));
    ASSERT_TRUE(QDir().mkpath(templates));
    for (const QString& folder : {QStringLiteral("Images"), QStringLiteral("Graphics")})
        ASSERT_TRUE(QFile::link(examplePath(folder), scratch.path(QStringLiteral("KOVA/") + folder)));
    const QString coloured = templates + QStringLiteral("/Coloured Page.xml");
    ASSERT_TRUE(kova::test::writeFile(coloured, R"(<data version="1.0"><layout size="{300, 200}">
        <backgroundcolor>#3366CC</backgroundcolor><backgroundEnabled>yes</backgroundEnabled>
        <layer type="textbox" frame="{{40, 40}, {200, 60}}" zindex="1"><string>Hello</string></layer>
        </layout></data>)"));
    for (const QString& name : {QStringLiteral("Photo Print 6x4"), QStringLiteral("Postcard"),
                                QStringLiteral("Portrait Frame"), QStringLiteral("Coloured Page")}) {
        const QString file = templates + QLatin1Char('/') + name + QStringLiteral(".xml");
        const auto edited = QFileInfo::exists(file) ? KOVA_Template::templateWithPath(file, QUrl()) : load(name);
        ASSERT_TRUE(edited);
        const auto layer = edited->layers().last();
        layer->setFrame(layer->frame().translated(5, 0));
        const QUrl saved = QUrl::fromLocalFile(file);
        std::optional<platform::Error> failure;
        edited->saveChangesToURL(saved, [&](const QUrl&, const auto& error) { failure = error; });
        ASSERT_FALSE(failure) << name.toStdString();
        const auto reread = KOVA_Template::templateWithPath(saved, QUrl());
        ASSERT_TRUE(reread);
        EXPECT_TRUE(reread->isEqual(edited.get())) << reread->description().toStdString();
        const QImage picture = reread->imageUncached();
        EXPECT_TRUE(picture == edited->imageUncached()) << name.toStdString();
        EXPECT_EQ(at(picture, 2, 2).name(QColor::HexArgb), white.name(QColor::HexArgb)) << name.toStdString();
    }
    EXPECT_EQ(KOVA_Template::templateWithPath(coloured, QUrl())->backgroundColorCode(), QStringLiteral("#3366CC"));
}

// A rendering of one example kept as a picture: a change that alters how
// templates render shows up here. To make the reference anew (after a wanted
// change), run this test with KOVA_UPDATE_REFERENCE=1 in the environment
// (KOVA_UPDATE_REFERENCE=1 build/tests/template/template_tests
// --gtest_filter='*MatchesTheReferenceRendering') and commit tests/data/reference/Portrait Frame.png.
TEST_F(KOVA_ExampleRenderingTest, PortraitFrameMatchesTheReferenceRendering)
{
    const QString referencePath = QStringLiteral(KOVA_TEST_DATA_DIR "/reference/Portrait Frame.png");
    const auto frame = load(QStringLiteral("Portrait Frame"));
    ASSERT_TRUE(frame);
    const QImage rendered = frame->imageUncached().convertToFormat(QImage::Format_RGBA8888);
    if (qEnvironmentVariableIntValue("KOVA_UPDATE_REFERENCE") == 1) {
        QDir().mkpath(QFileInfo(referencePath).path());
        ASSERT_TRUE(rendered.save(referencePath, "PNG"));
        GTEST_SKIP() << "reference written to " << referencePath.toStdString();
    }
    const QImage reference = QImage(referencePath).convertToFormat(QImage::Format_RGBA8888);
    ASSERT_FALSE(reference.isNull()) << "no reference at " << referencePath.toStdString();
    ASSERT_EQ(rendered.size(), reference.size());

    // Mean absolute difference per channel over every pixel; text drawn with
    // another machine's fonts moves a few hundred pixels, far below the limit.
    double difference[4] = {};
    for (int y = 0; y < rendered.height(); ++y) {
        const uchar* a = rendered.constScanLine(y);
        const uchar* b = reference.constScanLine(y);
        for (int x = 0; x < rendered.width() * 4; ++x)
            difference[x % 4] += std::abs(int(a[x]) - int(b[x]));
    }
    const double pixels = double(rendered.width()) * rendered.height();
    for (int channel = 0; channel < 4; ++channel)
        EXPECT_LT(difference[channel] / pixels, 2.0) << "channel " << channel;
}

} // namespace
