#include "workflow/assets/KOVA_Asset.h"

#include "../core/ImageTestPictures.h"
#include "FileFixtures.h"
#include "HostileFiles.h"
#include "workflow/outputs/KOVA_Output.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <future>

namespace {

QString layoutElement(const char* element, const char* name, const char* layers, const char* size = "{400, 400}")
{
    return QStringLiteral("<%1 size=\"%4\"><name>%2</name>%3</%1>").arg(element, name, layers, size);
}

QString imageLayer(const char* frame)
{
    return QStringLiteral("<layer type=\"image\" frame=\"%1\" zindex=\"1\"><filepath>none.png</filepath></layer>").arg(frame);
}

KOVA_Asset::Pointer assetOf(const QString& children)
{
    return KOVA_Asset::initWithXML(QStringLiteral("<product>%1</product>").arg(children));
}

} // namespace

TEST(KOVA_AssetTest, ReadsValuesPricesAndTemplates)
{
    const struct {
        QString children;
        QVariantMap price;
        QString layout;
        QStringList nodes;
    } cases[] = {
        {"<price><quantity start=\"1\">9.99</quantity><quantity start=\"10\">8.99</quantity></price>",
         {{"1", "9.99"}, {"10", "8.99"}}, {}, {}},
        {"<price><quantity at=\"2\">5.00</quantity><quantity at=\"3\">4.00</quantity><quantity>3</quantity></price>",
         {{"1", "5.00"}}, {}, {}},
        {layoutElement("Layout", "L", ""), {}, "L", {"L"}},
        {layoutElement("portrait", "P", "") + layoutElement("landscape", "Q", ""), {}, "Q", {"P", "Q"}},
    };
    for (const auto& c : cases) {
        const auto asset = assetOf(c.children);
        ASSERT_TRUE(asset) << c.children.toStdString();
        EXPECT_EQ(asset->price(), c.price) << c.children.toStdString();
        const auto layout = asset->templateForKey(QStringLiteral("layout"));
        EXPECT_EQ(layout ? layout->name() : QString(), c.layout);
        EXPECT_EQ(asset->kovaNodes().keys(), c.nodes);
    }
    const auto asset = assetOf("<plucode>42</plucode><Name>Mug</Name>");
    EXPECT_EQ(asset->description(), "KOVA_Asset: {\n\tName: Mug\n\tPLU Code: 42\n\tProduct ID: ");
    EXPECT_FALSE(KOVA_Asset::initWithXML("<product>"));
    EXPECT_FALSE(KOVA_Asset::assetWithXMLObject(QVariant(3)));
}

TEST(KOVA_AssetTest, LogsUnrecognizedElementsWithTheirPlaceInTheDocument)
{
    const QString log = kova::test::loggedBy([] { assetOf("<box a=\"1\"><x/>text</box><name>N</name>"); });
    for (const char* expected : {"Found unrecognized XML element:", "Kind: Element\nName: box\n",
                                 "Next node: <x/>\nPrevious sibling: \nNext sibling: name\nAttributes: (a=\"1\")\nChildCount: 2\n",
                                 "Kind: Element\nName: x\n", "Next node: text\n",
                                 "xmlNode: text\nChildCount:0 Children:(),nextNode:<name>N</name>,next sibling:(null)"})
        EXPECT_TRUE(log.contains(QLatin1String(expected))) << expected;
}

TEST(KOVA_AssetTest, ReparsingKeepsTheOutputCount)
{
    // An output with a file destination but no template to render fails.
    const auto asset = assetOf("<output><template id=\"Photo\"/>"
                               "<destination type=\"filepath\"><filepath>/out</filepath></destination></output>");
    ASSERT_EQ(asset->outputs().size(), 1);
    EXPECT_EQ(asset->outputs().first()->asset(), asset);
    asset->setXmlDoc(asset->xmlDoc());
    EXPECT_EQ(asset->outputs().size(), 1);
    bool succeeded = true;
    asset->processToCompletion([&](bool success, const platform::Error&) { succeeded = success; });
    EXPECT_FALSE(succeeded);

    // An output without destinations reports nothing; the run still ends.
    bool completed = false;
    assetOf("<output><template id=\"Photo\"/></output>")->processToCompletion([&](bool, const platform::Error&) { completed = true; });
    EXPECT_TRUE(completed);
}

TEST(KOVA_AssetTest, ChoosesTheOutletClosestInShape)
{
    const auto asset = assetOf(layoutElement("layout", "L", imageLayer("{{0, 0}, {400, 600}}").toUtf8()));
    const auto other = assetOf(layoutElement("layout", "C", imageLayer("{{0, 0}, {600, 400}}").toUtf8()));
    asset->setTemplateForKey(QStringLiteral("canvas"), other->firstOutlet());
    const auto chosen = [&](int width, int height) {
        const auto outlet = asset->outletForImage(kova::test::encoded(kova::test::solid(width, height, kova::test::red), "PNG"));
        return outlet ? outlet->name() : QString();
    };
    EXPECT_EQ(chosen(3000, 2000), "C");
    // Equal scores: the earlier outlet key wins.
    EXPECT_EQ(chosen(1000, 1000), "L");
}

TEST(KOVA_AssetTest, DrawsCroppedPicturesButNeverStampsOrContainers)
{
    const kova::test::ScratchFolder folder;
    // Blue with its last 50 rows red: a crop of the first 50 rows counted from below shows red.
    QImage picture = kova::test::solid(100, 400, kova::test::blue);
    QPainter(&picture).fillRect(0, 350, 100, 50, kova::test::red);
    const QString path = folder.path(QStringLiteral("photo.png"));
    ASSERT_TRUE(kova::test::writeFile(path, kova::test::encoded(picture, "PNG")));
    // The picture is named relative to the document's folder.
    const QString layers = QStringLiteral(
        "<layer type=\"image\" frame=\"{{0, 0}, {100, 50}}\" zindex=\"1\"><filepath>photo.png</filepath>"
        "<croprect>{{0, 0}, {100, 50}}</croprect><gravity>resize</gravity></layer>"
        "<layer type=\"stamp\" frame=\"{{0, 50}, {100, 50}}\" zindex=\"2\"><string>X</string></layer>"
        "<layer type=\"container\" frame=\"{{0, 50}, {100, 50}}\" zindex=\"3\"/>");
    const QString document = folder.path(QStringLiteral("asset.xml"));
    ASSERT_TRUE(kova::test::writeFile(
        document, QStringLiteral("<product>%1</product>").arg(layoutElement("layout", "L", layers.toUtf8(), "{100, 100}")).toUtf8()));
    const auto asset = KOVA_Asset::assetWithXMLObject(document);
    ASSERT_TRUE(asset);
    EXPECT_EQ(asset->documentURL(), QUrl::fromLocalFile(document));
    const QImage image = asset->createProductImage();
    ASSERT_EQ(image.size(), QSize(100, 100));
    // The layer at the top of the template shows the picture's last rows; nothing else is drawn.
    EXPECT_TRUE(kova::test::near(kova::test::probe(image, 50, 75), kova::test::red));
    EXPECT_EQ(kova::test::probe(image, 50, 25).alpha(), 0);
    EXPECT_EQ(asset->imageForTemplate(asset->firstOutlet()), asset->imageForTemplate(asset->firstOutlet()));
}

TEST(KOVA_AssetTest, ReportsBadDestinationsAndEmptyRenders)
{
    platform::Error error;
    EXPECT_FALSE(KOVA_Asset::writeImage(kova::test::solid(4, 4, kova::test::red), QVariant(7), &error));
    EXPECT_EQ(error.code, 0);
    EXPECT_EQ(error.message, "Failed to create CGImageDestination for 7");

    const auto asset = assetOf("<name>Empty</name>");
    std::promise<platform::Error> reported;
    asset->processTemplateToDestination(QStringLiteral("/tmp/none.jpg"),
                                        [&](const QString&, const platform::Error& e) { reported.set_value(e); });
    EXPECT_EQ(reported.get_future().get().message, "failed to generate output image");
}

TEST(KOVA_AssetTest, CropRowsCountFromTheBottomInPixelsAndInFractions)
{
    const kova::test::ScratchFolder folder;
    // Green with its first 100 rows red: from below, the crop's rows reach the red top last.
    QImage picture = kova::test::solid(100, 400, kova::test::green);
    QPainter(&picture).fillRect(0, 0, 100, 100, kova::test::red);
    ASSERT_TRUE(kova::test::writeFile(folder.path(QStringLiteral("photo.png")), kova::test::encoded(picture, "PNG")));
    const struct {
        const char* croprect;
        QColor shown;
    } cases[] = {
        {"<croprect>{{0, 300}, {100, 100}}</croprect>", kova::test::red},
        {"<croprect normal=\"1\">{{0, 0.75}, {1, 0.25}}</croprect>", kova::test::red},
        {"<croprect normal=\"1\">{{0, 0}, {1, 0.25}}</croprect>", kova::test::green},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.croprect);
        const QString layer = QStringLiteral("<layer type=\"image\" frame=\"{{0, 0}, {100, 100}}\" zindex=\"1\">"
                                             "<filepath>%1</filepath>%2<gravity>resize</gravity></layer>")
                                  .arg(folder.path(QStringLiteral("photo.png")), QLatin1String(c.croprect));
        const auto asset = assetOf(layoutElement("layout", "L", layer.toUtf8(), "{100, 100}"));
        ASSERT_TRUE(asset);
        const QImage image = asset->createProductImage();
        ASSERT_EQ(image.size(), QSize(100, 100));
        EXPECT_TRUE(kova::test::near(kova::test::probe(image, 50, 50), c.shown));
    }
}
