#include "workflow/outputs/KOVA_Output_node.h"

#include "FoundationArchive.h"
#include "XmlElements.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

KOVA_Output_node nodeFrom(const char* xml)
{
    return KOVA_Output_node(kova::test::rootElement(xml));
}

std::vector<QRectF> enumerated(const KOVA_Output_node& node, const QSizeF& canvas, const QSizeF& nodeSize,
                               qsizetype stopAfter = -1)
{
    std::vector<QRectF> frames;
    node.canvasSize(canvas, nodeSize, [&](qsizetype index, bool& stop, const QRectF& frame) {
        EXPECT_EQ(index, qsizetype(frames.size()));
        frames.push_back(frame);
        stop = index == stopAfter;
    });
    return frames;
}

} // namespace

TEST(KOVA_Output_node, readsFramesAndDrawingSettings)
{
    const KOVA_Output_node node = nodeFrom(
        R"(<Portrait type="node" FRAME="{{0,0},{10,20}}" croprect="{{1, 2}, {3, 4}}">)"
        R"(<frame>{{5, 5}, {10, 10}}</frame><!--c--><Origin>{10, 20}</Origin><FRAME>junk</FRAME><frame>{{-2e6, 0}, {5, 5}}</frame>)"
        R"(<Gravity>resize</Gravity><backgroundColor>#FFF</backgroundColor><TIFFORIENTATION>6</TIFFORIENTATION>)"
        R"(<shadowcolor blur="4" offset="{2, 3}" spread="9">#000</shadowcolor><unknown/></Portrait>)");
    EXPECT_EQ(node.name(), "Portrait");
    // The attribute's frame first, each in the canonical form; an origin is a frame without area;
    // a frame beyond any canvas is left out.
    EXPECT_EQ(node.frames(), QStringList({"{{0, 0}, {10, 20}}", "{{5, 5}, {10, 10}}", "{{10, 20}, {0, 0}}", "{{0, 0}, {0, 0}}"}));
    EXPECT_EQ(node.cropRectString(), "{{1, 2}, {3, 4}}");
    EXPECT_EQ(node.gravity(), "resize");
    EXPECT_EQ(node.backgroundColor(), "#FFF");
    EXPECT_EQ(node.tiffOrientation(), 6);
    EXPECT_EQ(node.shadowColor(), "#000");
    EXPECT_EQ(node.shadowBlur(), "4");
    EXPECT_EQ(node.offsetPointString(), "{2, 3}");

    const KOVA_Output_node bare = nodeFrom(R"(<n type="node"><gravity>sideways</gravity></n>)");
    EXPECT_EQ(bare.gravity(), "resizeAspectFill");
    const KOVA_Output_node plain = nodeFrom(R"(<n type="node"/>)");
    EXPECT_TRUE(plain.gravity().isNull());
    EXPECT_TRUE(plain.shadowColor().isNull());
    EXPECT_FALSE(plain.tiffOrientation());
    EXPECT_EQ(KOVA_Output_node::gravityDefault(), "resizeAspectFill");
}

TEST(KOVA_Output_node, enumeratesFramesInTheCanvasBottomLeftOrigin)
{
    const struct {
        const char* xml;
        QSizeF nodeSize;
        double canvasHeight;
        std::vector<QRectF> frames;
    } cases[] = {
        {R"(<n><origin>{10, 20}</origin></n>)", {300, 200}, 1000, {{10, 780, 300, 200}}},
        {R"(<n><frame>{{0, 0}, {600, 400}}</frame></n>)", {1, 1}, 1000, {{0, 600, 600, 400}}},
        {R"(<n><frame>{{50, 0}, {100, 0}}</frame><frame>{{0, 10}, {20, 30}}</frame></n>)", {7, 8}, 100,
         {{50, 92, 7, 8}, {0, 60, 20, 30}}},
        {R"(<n/>)", {1, 1}, 100, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(enumerated(nodeFrom(c.xml), {5000, c.canvasHeight}, c.nodeSize), c.frames) << c.xml;

    const KOVA_Output_node three = nodeFrom(R"(<n><frame>{{0, 0}, {1, 1}}</frame><frame>{{1, 0}, {1, 1}}</frame><frame>{{2, 0}, {1, 1}}</frame></n>)");
    EXPECT_EQ(enumerated(three, {3, 1}, {1, 1}, 1).size(), 2u);
    three.canvasSize({3, 1}, {1, 1}, nullptr); // no visitor, nothing to do
}

TEST(KOVA_Output_node, matchesAnOutputOnlyWithOneExactFrame)
{
    const struct {
        const char* xml;
        QSizeF size;
        bool matches;
    } cases[] = {
        {R"(<n/>)", {123, 45}, true},
        {R"(<n frame="{{0, 0}, {1200, 1800}}"/>)", {1200, 1800}, true},
        {R"(<n frame="{{0, 0}, {1200, 1800}}"/>)", {1800, 1200}, false},
        {R"(<n frame="{{1, 0}, {1200, 1800}}"/>)", {1200, 1800}, false},
        {R"(<n frame="{{0, 0}, {1200, 1800}}"><frame>{{0, 0}, {1200, 1800}}</frame></n>)", {1200, 1800}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nodeFrom(c.xml).matchesOutputSize(c.size), c.matches) << c.xml;
}

TEST(KOVA_Output_node, writesOnlyNameTypeAndFramesAndDescribesItself)
{
    const KOVA_Output_node node = nodeFrom(
        R"(<Wallet type="node" croprect="{{0, 0}, {5, 5}}" frame="{{0,0},{1,2}}"><frame>{{3,4},{5,6}}</frame><gravity>resize</gravity></Wallet>)");
    EXPECT_EQ(node.asXMLElement().xmlString(),
              R"(<Wallet type="node"><frame>{{0, 0}, {1, 2}}</frame><frame>{{3, 4}, {5, 6}}</frame></Wallet>)");
    EXPECT_EQ(node.description(), "Wallet{{0, 0}, {5, 5}}:(\n    \"{{0, 0}, {1, 2}}\",\n    \"{{3, 4}, {5, 6}}\"\n)");

    const KOVA_Output_node empty = nodeFrom(R"(<Empty type="node"/>)");
    EXPECT_EQ(empty.asXMLElement().xmlString(), R"(<Empty type="node"/>)");
    EXPECT_EQ(empty.description(), "Empty:(\n)");
}

namespace {

std::shared_ptr<KOVA_Output_node> unarchived(const QByteArray& archive, platform::Error* error = nullptr)
{
    return platform::Archivable::fromVariant<KOVA_Output_node>(
        platform::KeyedUnarchiver::unarchivedObjectOfClasses(archive, {KOVA_Output_node::ClassName}, error));
}

} // namespace

// Read back and archived again, a node gives the same archive: nothing was lost or changed.
TEST(KOVA_Output_node, archiveKeepsEveryProperty)
{
    for (const char* xml : {R"(<Sheet croprect="{{1, 2}, {3, 4}}"><frame>{{0, 0}, {10, 20}}</frame><origin>{5, 6}</origin>)"
                            R"(<gravity>resizeAspect</gravity><backgroundcolor>#FFF</backgroundcolor><tiffOrientation>8</tiffOrientation>)"
                            R"(<shadowcolor blur="2" offset="{1, 1}">#000</shadowcolor></Sheet>)",
                            R"(<Bare/>)"}) {
        const QByteArray archive = platform::KeyedArchiver::archivedDataWithRootObject(nodeFrom(xml));
        platform::Error error;
        const auto copy = unarchived(archive, &error);
        ASSERT_TRUE(copy) << error.message.toStdString();
        EXPECT_EQ(platform::KeyedArchiver::archivedDataWithRootObject(*copy), archive) << xml;
    }
}

// Archives come from outside: frames get the canonical form and the bounds again, gravity its
// normalisation, and a value of the wrong kind stops the archive.
TEST(KOVA_Output_node, foreignArchivesAreChecked)
{
    const struct {
        QVariant name;
        QVariant frame;
        QStringList expectedFrames; // empty when the archive is refused
    } cases[] = {
        {"n", "{{1,2},{3,4}}", {"{{1, 2}, {3, 4}}"}},
        {qint64(5), "{{1, 2}, {3, 4}}", {}},
        {"n", qint64(5), {}},
    };
    for (const auto& c : cases) {
        kova::test::FoundationArchive archive;
        const QVariantList frames{archive.plain(c.frame), archive.plain("{{0, 0}, {1e999, 1}}")};
        const QVariant root = archive.object(KOVA_Output_node::ClassName, {{"self.name", archive.plain(c.name)},
                                                                           {"self.frames", archive.array(frames, "NSMutableArray")},
                                                                           {"self.gravity", archive.plain("bogus")}});
        const auto node = unarchived(archive.data(root));
        ASSERT_EQ(bool(node), !c.expectedFrames.isEmpty()) << c.frame.toString().toStdString();
        if (node) {
            EXPECT_EQ(node->frames(), c.expectedFrames);
            EXPECT_EQ(node->gravity(), "resizeAspectFill");
        }
    }
}
