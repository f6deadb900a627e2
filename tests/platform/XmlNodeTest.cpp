#include "platform/xml/XmlDocument.h"

#include <gtest/gtest.h>

using platform::XmlDocument;
using platform::XmlFormatting;
using platform::XmlNode;
using platform::XmlNodeKind;

namespace {

// A template document as the writer builds it: element by element, each added to its
// parent after it was filled or before, in any order.
XmlNode templateRoot()
{
    XmlNode root = XmlNode::element(QStringLiteral("data"));
    root.setAttribute(QStringLiteral("type"), QStringLiteral("KOVA_Template"));
    root.setAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
    XmlNode layout = XmlNode::element(QStringLiteral("layout"));
    layout.setAttribute(QStringLiteral("size"), QStringLiteral("{100, 200}"));
    root.addChild(layout);
    XmlNode layer = XmlNode::element(QStringLiteral("layer"));
    layer.setAttribute(QStringLiteral("type"), QStringLiteral("textbox"));
    layer.setAttribute(QStringLiteral("frame"), QStringLiteral("{{0, 0}, {100, 50}}"));
    layout.addChild(layer);
    layer.setAttribute(QStringLiteral("zindex"), QStringLiteral("100"));
    layer.addChild(XmlNode::element(QStringLiteral("key"), QStringLiteral("text1")));
    layer.addChild(XmlNode::element(QStringLiteral("string"), QStringLiteral("Tom & Jerry <3")));
    return root;
}

} // namespace

TEST(XmlNodeNavigation, ReportsLevelIndexParentAndNeighbours)
{
    const auto doc = XmlDocument::parse(QStringLiteral("<a><b/>text<c><d/></c><!--e--></a>"), XmlDocument::PreserveAll);
    ASSERT_TRUE(doc);
    const XmlNode root = doc->rootElement();
    const XmlNode c = root.childAt(2);
    const XmlNode d = c.childAt(0);

    EXPECT_EQ(doc->node().kind(), XmlNodeKind::Document);
    EXPECT_EQ(doc->node().level(), 0);
    EXPECT_EQ(root.parent(), doc->node());
    EXPECT_TRUE(doc->node().parent().isNull());
    EXPECT_EQ(root.level(), 1);
    EXPECT_EQ(d.level(), 3);
    EXPECT_EQ(c.index(), 2);
    EXPECT_EQ(d.parent(), c);

    EXPECT_EQ(c.previousSibling().stringValue(), QStringLiteral("text"));
    EXPECT_EQ(c.nextSibling().kind(), XmlNodeKind::Comment);
    EXPECT_TRUE(root.childAt(3).nextSibling().isNull());
    EXPECT_EQ(c.nextNode(), d);
    EXPECT_EQ(d.nextNode(), root.childAt(3));
    EXPECT_TRUE(root.childAt(3).nextNode().isNull());

    EXPECT_EQ(root.childAt(1).name(), QString());
    EXPECT_TRUE(root.childAt(1).children().isEmpty());
    EXPECT_TRUE(XmlNode().parent().isNull());
    EXPECT_EQ(XmlNode().kind(), XmlNodeKind::Invalid);
}

TEST(XmlNodeBuilding, WritesADocumentPrettyPrintedWithItsDeclaration)
{
    const XmlNode root = templateRoot();
    const auto doc = XmlDocument::create(root);
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->xmlString(), QStringLiteral("<data type=\"KOVA_Template\" version=\"1.0\"><layout size=\"{100, 200}\">"
                                              "<layer type=\"textbox\" frame=\"{{0, 0}, {100, 50}}\" zindex=\"100\">"
                                              "<key>text1</key><string>Tom &amp; Jerry &lt;3</string>"
                                              "</layer></layout></data>\n"));

    doc->setVersion(QStringLiteral("1.0"));
    doc->setCharacterEncoding(QStringLiteral("UTF-8"));
    doc->setStandalone(true);
    const QString expected = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<data type=\"KOVA_Template\" version=\"1.0\">\n"
        "    <layout size=\"{100, 200}\">\n"
        "        <layer type=\"textbox\" frame=\"{{0, 0}, {100, 50}}\" zindex=\"100\">\n"
        "            <key>text1</key>\n"
        "            <string>Tom &amp; Jerry &lt;3</string>\n"
        "        </layer>\n"
        "    </layout>\n"
        "</data>\n");
    EXPECT_EQ(doc->xmlString(XmlFormatting::PrettyPrint), expected);
    EXPECT_EQ(doc->xmlData(XmlFormatting::PrettyPrint), expected.toUtf8());

    // Read back, the indentation is whitespace text between the elements.
    const auto reread = XmlDocument::parse(expected, XmlDocument::PreserveAll);
    ASSERT_TRUE(reread);
    EXPECT_TRUE(reread->isStandalone());
    const XmlNode layer = reread->rootElement().childAt(1).childAt(1);
    EXPECT_EQ(layer.childCount(), 5);
    EXPECT_EQ(layer.childAt(3).stringValue(), QStringLiteral("Tom & Jerry <3"));
}

TEST(XmlNodeBuilding, HandlesFollowTheirNodesAndKeepTheDocumentAlive)
{
    XmlNode root = XmlNode::element(QStringLiteral("job"));
    XmlNode package = XmlNode::element(QStringLiteral("package"));
    XmlNode output = XmlNode::element(QStringLiteral("output"), QStringLiteral("o"));
    package.addChild(output);
    root.addChild(package);
    EXPECT_EQ(output.level(), 2);
    EXPECT_EQ(output.parent().parent(), root);

    XmlNode rootFromDocument;
    {
        const auto doc = XmlDocument::create(root);
        ASSERT_TRUE(doc);
        EXPECT_EQ(output.level(), 3);
        doc->rootElement().setName(QStringLiteral("data"));
        rootFromDocument = doc->rootElement();
    }
    EXPECT_EQ(root.name(), QStringLiteral("data"));
    EXPECT_EQ(rootFromDocument.xmlString(), QStringLiteral("<data><package><output>o</output></package></data>"));
    EXPECT_EQ(output.parent().parent().parent().kind(), XmlNodeKind::Document);

    // A node added to a parsed document lives on in it.
    XmlNode destination = XmlNode::element(QStringLiteral("destination"));
    {
        const auto parsed = XmlDocument::parse(QStringLiteral("<outputs>\n</outputs>"), XmlDocument::PreserveAll);
        ASSERT_TRUE(parsed);
        EXPECT_TRUE(parsed->rootElement().addChild(destination));
    }
    destination.setAttribute(QStringLiteral("type"), QStringLiteral("printer"));
    EXPECT_EQ(destination.parent().xmlString(), QStringLiteral("<outputs>\n<destination type=\"printer\"/></outputs>"));
}

TEST(XmlNodeBuilding, AddChildTakesOnlyStandaloneElements)
{
    XmlNode parent = XmlNode::element(QStringLiteral("parent"));
    XmlNode child = XmlNode::element(QStringLiteral("child"));
    EXPECT_FALSE(parent.addChild(parent));
    EXPECT_FALSE(parent.addChild(XmlNode()));
    EXPECT_FALSE(XmlNode().addChild(child));
    EXPECT_TRUE(parent.addChild(child));
    EXPECT_FALSE(parent.addChild(child)) << "already placed";
    EXPECT_FALSE(child.addChild(parent)) << "would contain itself";
    EXPECT_EQ(parent.childCount(), 1);

    const auto doc = XmlDocument::parse(QStringLiteral("<a><b/></a>"), XmlDocument::PreserveAll);
    ASSERT_TRUE(doc);
    EXPECT_FALSE(parent.addChild(doc->rootElement().childAt(0)));
    EXPECT_FALSE(XmlDocument::create(doc->rootElement()));
    EXPECT_FALSE(XmlDocument::create(child));

    // Children an element gave up by taking a new text stay readable but take no new children.
    const XmlNode old = doc->rootElement().childAt(0);
    doc->rootElement().setStringValue(QStringLiteral("text"));
    EXPECT_TRUE(old.parent().isNull());
    EXPECT_EQ(old.name(), QStringLiteral("b"));
    EXPECT_FALSE(XmlNode(old).addChild(XmlNode::element(QStringLiteral("c"))));
    EXPECT_EQ(doc->rootElement().xmlString(), QStringLiteral("<a>text</a>"));
}

TEST(XmlNodeBuilding, EditsKeepTheOutputWellFormed)
{
    const auto doc = XmlDocument::parse(QStringLiteral("<root a=\"1\" b=\"2\" c=\"3\"><!--note-->text</root>"),
                                        XmlDocument::PreserveAll);
    ASSERT_TRUE(doc);
    XmlNode root = doc->rootElement();
    XmlNode b = root.attributes().at(1);
    EXPECT_TRUE(root.setAttribute(QStringLiteral("b"), QStringLiteral("two")));
    EXPECT_TRUE(root.setAttribute(QStringLiteral("d"), QStringLiteral("4")));
    b.setStringValue(QStringLiteral("\"2\" & <2>"));
    root.childAt(0).setStringValue(QStringLiteral("new note"));
    root.childAt(1).setStringValue(QStringLiteral("bell\a tab\t"));
    EXPECT_EQ(b.stringValue(), QStringLiteral("\"2\" & <2>"));
    EXPECT_EQ(b.xmlString(), QStringLiteral("b=\"&quot;2&quot; &amp; &lt;2&gt;\""));
    EXPECT_EQ(root.xmlString(), QStringLiteral("<root a=\"1\" b=\"&quot;2&quot; &amp; &lt;2&gt;\" c=\"3\" d=\"4\">"
                                               "<!--new note-->bell tab\t</root>"));

    // Names that XML cannot carry are refused rather than written unreadable.
    EXPECT_TRUE(XmlNode::element(QStringLiteral("1st")).isNull());
    EXPECT_TRUE(XmlNode::element(QString()).isNull());
    EXPECT_FALSE(root.setName(QStringLiteral("two words")));
    EXPECT_FALSE(root.setAttribute(QStringLiteral("a=b"), QStringLiteral("x")));
    EXPECT_FALSE(root.childAt(1).setName(QStringLiteral("text")));
    EXPECT_TRUE(root.setName(QStringLiteral("renamed")));

    const auto reread = XmlDocument::parse(root.xmlString(), XmlDocument::PreserveAll);
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->rootElement().name(), QStringLiteral("renamed"));
    EXPECT_EQ(reread->rootElement().attributeForName(QStringLiteral("b")).stringValue(), QStringLiteral("\"2\" & <2>"));
}
