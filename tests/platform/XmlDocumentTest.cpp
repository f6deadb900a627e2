#include "platform/xml/XmlDocument.h"

#include "../common/TestEnvironment.h"

#include <QElapsedTimer>
#include <QFile>
#include <QUrl>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <random>
#include <thread>
#include <vector>

using platform::Error;
using platform::XmlDocument;
using platform::XmlFormatting;
using platform::XmlNode;
using platform::XmlNodeKind;

namespace {

const XmlDocument::ParseOptions Strict = XmlDocument::PreserveAll;
const XmlDocument::ParseOptions Tidy = XmlDocument::TidyXML;

std::vector<XmlNodeKind> kindsOfChildren(const XmlNode& node)
{
    std::vector<XmlNodeKind> kinds;
    for (const XmlNode& child : node.children())
        kinds.push_back(child.kind());
    return kinds;
}

// Touches every node the way the readers do, so a broken tree shows up as a crash.
void walk(const XmlNode& node)
{
    (void)node.kind();
    (void)node.name();
    (void)node.stringValue();
    (void)node.xmlString();
    for (const XmlNode& attribute : node.attributes())
        (void)attribute.stringValue();
    for (const XmlNode& child : node.children())
        walk(child);
}

QByteArray billionLaughs()
{
    QByteArray xml = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol0 \"lol\">";
    for (int level = 1; level <= 9; ++level) {
        xml += "<!ENTITY lol" + QByteArray::number(level) + " \"";
        for (int i = 0; i < 10; ++i)
            xml += "&lol" + QByteArray::number(level - 1) + ";";
        xml += "\">";
    }
    return xml + "]><lolz>&lol9;</lolz>";
}

} // namespace

TEST(XmlDocumentParse, PreserveAllKeepsEveryNodeWithThePlatformsKind)
{
    const QString ticket = QStringLiteral("<?xml version=\"1.0\"?>\n<data type=\"kova_job\">\n"
                                          "    <!-- order 42 -->\n"
                                          "    <image1><![CDATA[a<b & c]]></image1>\n"
                                          "    <name>Tom<b>!</b></name>\n</data>\n");
    Error error;
    const auto doc = XmlDocument::parse(ticket, Strict, &error);
    ASSERT_TRUE(doc) << error.description().toStdString();
    const XmlNode root = doc->rootElement();

    using K = XmlNodeKind;
    EXPECT_EQ(kindsOfChildren(root), (std::vector{K::Text, K::Comment, K::Text, K::Element, K::Text, K::Element, K::Text}));
    EXPECT_EQ(root.childCount(), 7);
    EXPECT_EQ(static_cast<unsigned>(root.childAt(0).kind()), 7u);
    EXPECT_EQ(root.childAt(0).stringValue(), QStringLiteral("\n    "));
    EXPECT_EQ(root.childAt(1).stringValue(), QStringLiteral(" order 42 "));

    const XmlNode cdata = root.childAt(3).childAt(0);
    EXPECT_EQ(cdata.kind(), K::Text);
    EXPECT_EQ(cdata.stringValue(), QStringLiteral("a<b & c"));
    EXPECT_EQ(root.childAt(3).xmlString(), QStringLiteral("<image1><![CDATA[a<b & c]]></image1>"));

    // An element's text is all its descendants' text, comments left out.
    EXPECT_EQ(root.childAt(5).stringValue(), QStringLiteral("Tom!"));
    EXPECT_EQ(root.stringValue(), QStringLiteral("\n    \n    a<b & c\n    Tom!\n"));
    EXPECT_TRUE(root.childAt(42).isNull());
}

TEST(XmlDocumentParse, WithoutPreserveAllDropsWhitespaceBetweenElements)
{
    const QString text = QStringLiteral("<data>\n  <a><![CDATA[x<y]]></a>\n  <!--c-->\n  <b>  </b>\n</data>");
    const auto doc = XmlDocument::parse(text, Tidy);
    ASSERT_TRUE(doc);
    const XmlNode root = doc->rootElement();
    using K = XmlNodeKind;
    EXPECT_EQ(kindsOfChildren(root), (std::vector{K::Element, K::Comment, K::Element}));
    EXPECT_EQ(root.childAt(0).xmlString(), QStringLiteral("<a>x&lt;y</a>"));
    // Whitespace that is an element's only content is content, not layout.
    EXPECT_EQ(root.childAt(2).stringValue(), QStringLiteral("  "));
}

TEST(XmlDocumentParse, AttributesAndNamesKeepDocumentOrderAndCase)
{
    const QString text =
        QStringLiteral("<package Type=\"KOVA_Package\"><layer zindex=\"3\" type=\"image\" frame=\"{{0, 0}, {10, 10}}\" "
                       "Key=\"k\"/><Template id=\"a\"/><output/><template id=\"b\"/></package>");
    const auto doc = XmlDocument::parse(text, Strict);
    ASSERT_TRUE(doc);
    const XmlNode layer = doc->rootElement().childAt(0);

    QStringList names;
    for (const XmlNode& attribute : layer.attributes())
        names << attribute.name();
    EXPECT_EQ(names, (QStringList{"zindex", "type", "frame", "Key"}));
    EXPECT_EQ(layer.attributes().at(2).kind(), XmlNodeKind::Attribute);
    EXPECT_EQ(layer.attributes().at(2).index(), 2);
    EXPECT_EQ(layer.attributes().at(2).level(), 3);
    EXPECT_EQ(layer.attributes().at(2).parent(), layer);

    EXPECT_TRUE(layer.attributeForName(QStringLiteral("key")).isNull());
    EXPECT_EQ(layer.attributeForName(QStringLiteral("key"), Qt::CaseInsensitive).stringValue(), QStringLiteral("k"));

    const XmlNode root = doc->rootElement();
    EXPECT_EQ(root.elementsForName(QStringLiteral("template")).size(), 1);
    const QList<XmlNode> templates = root.elementsForName(QStringLiteral("TEMPLATE"), Qt::CaseInsensitive);
    ASSERT_EQ(templates.size(), 2);
    EXPECT_EQ(templates.at(0).attributeForName(QStringLiteral("id")).stringValue(), QStringLiteral("a"));
    EXPECT_EQ(templates.at(1).index(), 3);

    // Written back, the attributes keep their order and the element its empty form.
    EXPECT_EQ(doc->xmlString(), text + QLatin1Char('\n'));
}

TEST(XmlDocumentParse, DetectsTheEncodingOfBytesAndIgnoresItForText)
{
    const auto latin1 = XmlDocument::parse(
        QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xe9</a>"), Strict);
    ASSERT_TRUE(latin1);
    EXPECT_EQ(latin1->rootElement().stringValue(), QStringLiteral("café"));
    EXPECT_EQ(latin1->characterEncoding(), QStringLiteral("ISO-8859-1"));
    // Output is UTF-8 and says so.
    EXPECT_EQ(latin1->xmlData(), QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a>caf\xc3\xa9</a>\n"));

    const QString text = QStringLiteral("<a>café</a>");
    QByteArray utf16("\xff\xfe");
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    const auto fromUtf16 = XmlDocument::parse(utf16, Strict);
    ASSERT_TRUE(fromUtf16);
    EXPECT_EQ(fromUtf16->rootElement().stringValue(), QStringLiteral("café"));

    const auto undeclared = XmlDocument::parse(QByteArray("<a>caf\xc3\xa9</a>"), Strict);
    ASSERT_TRUE(undeclared);
    EXPECT_EQ(undeclared->rootElement().stringValue(), QStringLiteral("café"));

    // Text is already decoded: what its declaration claims does not apply any more.
    const auto decoded = XmlDocument::parse(
        QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>café</a>"), Strict);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->rootElement().stringValue(), QStringLiteral("café"));
}

TEST(XmlDocumentParse, StrictParseReportsTheFirstErrorWithItsLine)
{
    Error error;
    EXPECT_FALSE(XmlDocument::parse(QStringLiteral("<data>\n  <a>\n  </b>\n</data>"), Strict, &error));
    EXPECT_EQ(error.domain, XmlDocument::ErrorDomain);
    EXPECT_EQ(error.code, 76);
    EXPECT_TRUE(error.message.startsWith(QStringLiteral("Line 3: Opening and ending tag mismatch")))
        << error.message.toStdString();

    error = {};
    EXPECT_FALSE(XmlDocument::parse(QString(), Strict, &error));
    EXPECT_TRUE(error.message.endsWith(QStringLiteral("Document is empty"))) << error.message.toStdString();

    error = {};
    EXPECT_FALSE(XmlDocument::parse(QByteArray("<a>x & y</a>"), Strict, &error));
    EXPECT_TRUE(error.message.startsWith(QStringLiteral("Line 1:")));
}

TEST(XmlDocumentRepair, ClosesTagsAndKeepsStrayAmpersandsAsText)
{
    Error error;
    const QString unclosed = QStringLiteral("<data><name>Tom</data>");
    ASSERT_FALSE(XmlDocument::parse(unclosed, Strict));
    const auto repaired = XmlDocument::parse(unclosed, Tidy, &error);
    ASSERT_TRUE(repaired) << error.description().toStdString();
    EXPECT_EQ(repaired->rootElement().childAt(0).name(), QStringLiteral("name"));
    EXPECT_EQ(repaired->rootElement().childAt(0).stringValue(), QStringLiteral("Tom"));

    const QString ampersands = QStringLiteral(
        "<data name=\"Smith & Sons\"><title>Tom & Jerry &amp; co &#65;&#x42; &<![CDATA[x & y]]><!-- a & b --></title></data>");
    const auto doc = XmlDocument::parse(ampersands, Tidy);
    ASSERT_TRUE(doc);
    const XmlNode root = doc->rootElement();
    EXPECT_EQ(root.attributeForName(QStringLiteral("name")).stringValue(), QStringLiteral("Smith & Sons"));
    EXPECT_EQ(root.childAt(0).stringValue(), QStringLiteral("Tom & Jerry & co AB &x & y"));
    const XmlNode title = root.childAt(0);
    EXPECT_EQ(title.childAt(title.childCount() - 1).stringValue(), QStringLiteral(" a & b "));
}

TEST(XmlDocumentRepair, ReadsBytesThatAreNotUtf8AsLatin1)
{
    const QByteArray mixed("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a>caf\xe9 cr\xe8me \xc3\xa9t\xc3\xa9 \xed\xa0\x80</a>");
    Error error;
    EXPECT_FALSE(XmlDocument::parse(mixed, Strict, &error));
    EXPECT_TRUE(error.message.startsWith(QStringLiteral("Line 2:"))) << error.message.toStdString();

    const auto doc = XmlDocument::parse(mixed, Tidy);
    ASSERT_TRUE(doc);
    // Valid UTF-8 stays as it is; an encoded surrogate is not UTF-8 either.
    EXPECT_EQ(doc->rootElement().stringValue(), QStringLiteral("café crème été \u00ed\u00a0\u0080"));
}

TEST(XmlDocumentRepair, FailsWhenNoRootElementResults)
{
    Error error;
    EXPECT_FALSE(XmlDocument::parse(QStringLiteral("just words"), Tidy, &error));
    EXPECT_EQ(error.domain, XmlDocument::ErrorDomain);
    EXPECT_FALSE(error.message.isEmpty());
}

TEST(XmlDocumentSecurity, NeverLoadsExternalEntitiesOrDtds)
{
    const QString secretPath = kova::test::sandboxRoot() + QStringLiteral("/secret.txt");
    QFile secret(secretPath);
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("TOP-SECRET");
    secret.close();
    const QString url = QUrl::fromLocalFile(secretPath).toString();

    const QStringList attacks{
        QStringLiteral("<!DOCTYPE a [<!ENTITY e SYSTEM \"%1\">]><a>&e;</a>").arg(url),
        QStringLiteral("<!DOCTYPE a [<!ENTITY e SYSTEM \"%1\">]><a><b>&e;</b><c x=\"&e;\"/></a>").arg(url),
        QStringLiteral("<!DOCTYPE a [<!ENTITY % p SYSTEM \"%1\"> %p;]><a>x</a>").arg(url),
        QStringLiteral("<!DOCTYPE a SYSTEM \"%1\"><a>&secret;</a>").arg(url),
        QStringLiteral("<a xmlns:xi=\"http://www.w3.org/2001/XInclude\"><xi:include href=\"%1\" parse=\"text\"/></a>").arg(url),
    };
    for (const QString& attack : attacks) {
        for (const auto options : {Strict, Tidy}) {
            const auto doc = XmlDocument::parse(attack, options);
            if (!doc)
                continue;
            EXPECT_FALSE(doc->rootElement().stringValue().contains(QStringLiteral("TOP-SECRET"))) << attack.toStdString();
            EXPECT_FALSE(doc->xmlString().contains(QStringLiteral("TOP-SECRET"))) << attack.toStdString();
        }
    }
}

TEST(XmlDocumentSecurity, RefusesEntityExpansionBombsQuickly)
{
    QElapsedTimer timer;
    timer.start();
    Error error;
    EXPECT_FALSE(XmlDocument::parse(billionLaughs(), Strict, &error));
    EXPECT_EQ(error.domain, XmlDocument::ErrorDomain);
    // The repairing parse drops the reference instead of expanding it.
    if (const auto repaired = XmlDocument::parse(billionLaughs(), Tidy)) {
        EXPECT_LT(repaired->rootElement().stringValue().size(), 1000);
    }

    // Few bytes naming one large entity many times: cheap to parse, a gigabyte to read.
    QByteArray quadratic = "<!DOCTYPE a [<!ENTITY e \"" + QByteArray(50000, 'x') + "\">]><a>";
    for (int i = 0; i < 20000; ++i)
        quadratic += "&e;";
    quadratic += "</a>";
    for (const auto options : {Strict, Tidy}) {
        error = {};
        EXPECT_FALSE(XmlDocument::parse(quadratic, options, &error));
        EXPECT_TRUE(error.message.contains(QStringLiteral("expand"))) << error.message.toStdString();
    }
    EXPECT_LT(timer.elapsed(), 2000);

    // An ordinary internal entity still reads as its text.
    const auto modest = XmlDocument::parse(
        QStringLiteral("<!DOCTYPE a [<!ENTITY co \"Morvanta &amp; Co\">]><a>&co;, &co; <b t=\"&co;\"/></a>"), Strict);
    ASSERT_TRUE(modest);
    EXPECT_EQ(modest->rootElement().stringValue(), QStringLiteral("Morvanta & Co, Morvanta & Co "));
    EXPECT_EQ(modest->rootElement().childAt(0).kind(), XmlNodeKind::Text);
    EXPECT_EQ(modest->rootElement().childAt(0).xmlString(), QStringLiteral("&co;"));
    EXPECT_EQ(modest->rootElement().childAt(4).attributeForName(QStringLiteral("t")).stringValue(),
              QStringLiteral("Morvanta & Co"));
}

TEST(XmlDocumentSecurity, BoundsInputSizeAndNesting)
{
    Error error;
    EXPECT_FALSE(XmlDocument::parse(QByteArray(XmlDocument::MaximumInputSize + 1, ' '), Tidy, &error));
    EXPECT_EQ(error.domain, Error::POSIXDomain);
    EXPECT_EQ(error.code, EFBIG);

    const QByteArray deep = QByteArray("<a>").repeated(100000) + "x";
    EXPECT_FALSE(XmlDocument::parse(deep, Strict));
    if (const auto repaired = XmlDocument::parse(deep, Tidy)) {
        EXPECT_LE(repaired->rootElement().stringValue().size(), 1);
    }
}

// A bound on same-named siblings refuses the document at the first element past it,
// whatever the case of its name, while other names and other parents count apart; a
// refused parse is not repaired into a fragment.
TEST(XmlDocumentSecurity, BoundsSameNamedSiblingsWhileParsing)
{
    const struct {
        const char* name;
        QByteArray text;
        const char* refusal; // empty when the document is taken
    } cases[] = {
        {"at the bound", "<o>" + QByteArray("<d/>").repeated(3) + "<n/><n/><n/></o>", ""},
        {"names fold case", "<o><d/><D/><d></d><D/></o>", "\"o\" holds more than 3 \"D\" elements"},
        {"each parent counts apart", "<p><o><d/><d/><d/></o><o><d/><d/><d/></o></p>", ""},
        {"deep inside", "<p><o>" + QByteArray("<d>x</d>").repeated(100000) + "</o></p>", "\"o\" holds more than 3 \"d\" elements"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto options : {Strict, Tidy}) {
            Error error;
            const auto document = XmlDocument::parse(c.text, options, &error, 3);
            const QString refusal = QString::fromUtf8(c.refusal);
            EXPECT_EQ(document == nullptr, !refusal.isEmpty());
            if (!refusal.isEmpty()) {
                EXPECT_EQ(error.code, EFBIG);
                EXPECT_EQ(error.message, refusal);
            }
        }
    }
    EXPECT_TRUE(XmlDocument::parse(cases[3].text, Strict)); // no bound asked: read whole
}

TEST(XmlDocumentRobustness, DamagedBytesNeverCrash)
{
    const QByteArray ticket =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<data type=\"kova\" version=\"1.0\">\n"
        "  <!-- c --><package name=\"P100\"><image1 croprect=\"{{0, 0}, {1, 1}}\">a.jpg</image1>"
        "<![CDATA[<x>]]></package>\n  <allimages><filepath>b&amp;c.jpg</filepath></allimages>\n</data>\n";
    std::mt19937 random(20240611);
    static const char noiseBytes[] = "<>&;\"'/!?[]-=\x00\xff\xc3\xe9 aZ";
    const QByteArray noise(noiseBytes, sizeof noiseBytes - 1);
    auto parseAndWalk = [](const QByteArray& bytes) {
        for (const auto options : {Strict, Tidy}) {
            if (const auto doc = XmlDocument::parse(bytes, options)) {
                walk(doc->node());
                (void)doc->xmlString(XmlFormatting::PrettyPrint);
            }
        }
    };
    for (qsizetype length = 0; length <= ticket.size(); ++length)
        parseAndWalk(ticket.left(length));
    for (int round = 0; round < 1000; ++round) {
        QByteArray damaged = ticket;
        for (int change = 0; change < 4; ++change) {
            const qsizetype at = std::uniform_int_distribution<qsizetype>(0, damaged.size() - 1)(random);
            damaged[at] = noise[std::uniform_int_distribution<qsizetype>(0, noise.size() - 1)(random)];
        }
        parseAndWalk(damaged);
    }
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes(std::uniform_int_distribution<int>(0, 300)(random), '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random());
        parseAndWalk(bytes);
        parseAndWalk("<a>" + bytes + "</a>");
    }
}

TEST(XmlDocumentThreads, ParsesAndWritesOnSeveralThreadsAtOnce)
{
    std::atomic<int> failures = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 200; ++i) {
                const QString value = QStringLiteral("thread %1 item %2 & more").arg(t).arg(i);
                const QString text = QStringLiteral("<data>\n  <name>%1</name>\n</data>").arg(value.toHtmlEscaped());
                const auto doc = XmlDocument::parse(text, i % 2 ? Strict : Tidy);
                const bool ok = doc && doc->rootElement().elementsForName(QStringLiteral("name")).value(0).stringValue() == value
                    && XmlDocument::parse(doc->xmlString(XmlFormatting::PrettyPrint), Strict);
                failures += ok ? 0 : 1;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
}

namespace {

// Local damage is repaired; a document that lost part of itself, or reached a limit, is not.
TEST(XmlDocumentRepair, OnlyLocalDamageIsRepairable)
{
    const QByteArray package = "<?xml version=\"1.0\"?>\n<package plucode=\"INDEX\">\n    <template name=\"Frame\">\n"
                               "        <filepath>Frame.xml</filepath>\n    </template>\n    <output size=\"{600, 400}\">\n"
                               "        <destination type=\"filepath\"/>\n    </output>\n</package>\n";
    const QByteArray deep = "<a>" + QByteArray("<b>").repeated(100000) + QByteArray("</b>").repeated(100000) + "</a>";
    const struct {
        const char* what;
        QByteArray text;
        bool repairable;
    } cases[] = {
        {"stray ampersand", "<data><name>Smith & Sons</name></data>", true},
        {"end tags that do not match", "<data><a><b></a></b></data>", true},
        {"a tag left open inside", "<data><layout><layer></layout>", true},
        {"cut inside a tag", package.left(package.indexOf("<output") + 4), false},
        {"cut inside a text", package.left(package.indexOf("Frame.xml") + 3), false},
        {"cut after an end tag", package.left(package.indexOf("</template>") + 11) + "\n    ", false},
        {"cut inside a comment", package.left(package.indexOf("<output")) + "<!-- one print", false},
        {"nested past the limit", deep, false},
        {"entities that loop", billionLaughs(), false},
        {"no XML at all", "just words", false},
    };
    for (const auto& each : cases) {
        const QString text = QString::fromLatin1(each.text);
        Error error;
        ASSERT_FALSE(XmlDocument::parse(text, Strict, &error)) << each.what;
        EXPECT_EQ(XmlDocument::isRepairable(text, error), each.repairable) << each.what << ": " << error.description().toStdString();
    }
}

} // namespace
