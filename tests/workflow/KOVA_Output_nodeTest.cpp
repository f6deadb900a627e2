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
        R"(<frame>{{5, 5}, {10, 10}}</frame><!--c--><Origin>{10, 20}</Origin><FRAME>junk</FRAME>)"
        R"(<Gravity>resize</Gravity><backgroundColor>#FFF</backgroundColor><TIFFORIENTATION>6</TIFFORIENTATION>)"
        R"(<shadowcolor blur="4" offset="{2, 3}" spread="9">#000</shadowcolor><unknown/></Portrait>)");
    EXPECT_EQ(node.name(), "Portrait");
    // The attribute's frame first, each in the canonical form; an origin is a frame without area.
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

TEST(KOVA_Output_node, refusesFramesNoCanvasCanHold)
{
    const KOVA_Output_node node = nodeFrom(
        R"(<n type="node"><frame>{{0, 0}, {1e999, 5}}</frame><frame>{{-2e6, 0}, {5, 5}}</frame><frame>{{1, 2}, {3, 4}}</frame></n>)");
    EXPECT_EQ(node.frames(), QStringList({"{{1, 2}, {3, 4}}"}));
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

TEST(KOVA_Output_node, archiveKeepsEveryProperty)
{
    const struct {
        const char* xml;
    } cases[] = {
        {R"(<Sheet croprect="{{1, 2}, {3, 4}}"><frame>{{0, 0}, {10, 20}}</frame><origin>{5, 6}</origin><gravity>resizeAspect</gravity>)"
         R"(<backgroundcolor>#FFF</backgroundcolor><tiffOrientation>8</tiffOrientation><shadowcolor blur="2" offset="{1, 1}">#000</shadowcolor></Sheet>)"},
        {R"(<Bare/>)"},
    };
    for (const auto& c : cases) {
        const KOVA_Output_node node = nodeFrom(c.xml);
        platform::Error error;
        const auto copy = unarchived(platform::KeyedArchiver::archivedDataWithRootObject(node), &error);
        ASSERT_TRUE(copy) << error.message.toStdString();
        EXPECT_EQ(copy->name(), node.name());
        EXPECT_EQ(copy->frames(), node.frames());
        for (const auto text : {&KOVA_Output_node::cropRectString, &KOVA_Output_node::offsetPointString, &KOVA_Output_node::gravity,
                                &KOVA_Output_node::shadowColor, &KOVA_Output_node::shadowBlur, &KOVA_Output_node::backgroundColor}) {
            EXPECT_EQ(((*copy).*text)(), (node.*text)()) << c.xml;
            EXPECT_EQ(((*copy).*text)().isNull(), (node.*text)().isNull()) << c.xml;
        }
        EXPECT_EQ(copy->tiffOrientation(), node.tiffOrientation());
    }
}

TEST(KOVA_Output_node, foreignArchivesKeepTheFrameFormAndTheirValueKinds)
{
    const struct {
        const char* what;
        QVariant name;
        QVariantList frames;
        QStringList expectedFrames; // empty when the archive is refused
    } cases[] = {
        {"loose frame texts", "n", {"{{1,2},{3,4}}", "{{0, 0}, {1e999, 1}}"}, {"{{1, 2}, {3, 4}}"}},
        {"number for a name", qint64(5), {"{{1, 2}, {3, 4}}"}, {}},
        {"number among the frames", "n", {qint64(5)}, {}},
    };
    for (const auto& c : cases) {
        kova::test::FoundationArchive archive;
        QVariantList frames;
        for (const QVariant& frame : c.frames)
            frames.append(archive.plain(frame));
        const QVariant root = archive.object(
            KOVA_Output_node::ClassName, {{QStringLiteral("self.name"), archive.plain(c.name)},
                                          {QStringLiteral("self.frames"), archive.array(frames, QStringLiteral("NSMutableArray"))},
                                          {QStringLiteral("self.gravity"), archive.plain(QStringLiteral("bogus"))}});
        platform::Error error;
        const auto node = unarchived(archive.data(root), &error);
        EXPECT_EQ(bool(node), !c.expectedFrames.isEmpty()) << c.what;
        if (!node)
            continue;
        EXPECT_EQ(node->frames(), c.expectedFrames) << c.what;
        EXPECT_EQ(node->gravity(), "resizeAspectFill") << c.what;
    }
}
