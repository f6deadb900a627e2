#include "template/KOVA_Template.h"

#include "FileFixtures.h"
#include "core/foundation/KOVA_Constants.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/xml/XmlDocument.h"
#include "template/KOVA_TemplateReader.h"
#include "template/KOVA_XML_Keys.h"

#include <QDir>
#include <QSet>

#include <gtest/gtest.h>

#include <thread>

namespace {

using kova::test::readFile;
using kova::test::ScratchFolder;
using kova::test::writeFile;
using Pointer = KOVA_Template::Pointer;

QString fixture(const QString& name)
{
    return QStringLiteral(KOVA_TEST_DATA_DIR "/templates/") + name;
}

QStringList templateFixtures()
{
    return QDir(fixture({})).entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name);
}

// A template file of one layout holding `layers` (layer elements).
QByteArray templateText(const QString& layoutAttributes, const QString& layers = {})
{
    return QStringLiteral("<data version=\"1.0\"><layout %1>%2</layout></data>").arg(layoutAttributes, layers).toUtf8();
}

QString nodeLayer(const QString& file)
{
    return QStringLiteral("<layer type=\"node\" frame=\"{{0, 0}, {10, 10}}\" zindex=\"1\"><filepath>%1</filepath></layer>")
        .arg(file);
}

// Equal but for their versions: a file saved in the current form reads back as version
// 1.0 while the template in memory keeps the version it was read with.
bool isEqualButForVersion(const KOVA_Template& a, const KOVA_Template& b)
{
    const Pointer first = a.copy();
    const Pointer second = b.copy();
    first->removeValue(KOVA_XML_Key_version);
    second->removeValue(KOVA_XML_Key_version);
    return first->isEqual(second.get());
}

struct SaveResult {
    QUrl url;
    std::optional<platform::Error> error;
};

SaveResult saveChangesToURL(KOVA_Template& templ, const QUrl& url)
{
    SaveResult result;
    templ.saveChangesToURL(url, [&](const QUrl& written, const auto& error) { result = {written, error}; });
    return result;
}

// Element names anywhere in the document.
QSet<QString> elementNames(const platform::XmlNode& node)
{
    QSet<QString> names{node.name()};
    for (const auto& child : node.children()) {
        if (child.kind() == platform::XmlNodeKind::Element)
            names.unite(elementNames(child));
    }
    return names;
}

// Node files are found in the fixtures' Nodes folder through the preference; no
// templates folder is configured.
class KOVA_TemplateFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        preferences()->setURL(QUrl::fromLocalFile(fixture(QStringLiteral("Nodes"))), key_kovaFolderNodes);
        preferences()->removeObjectForKey(key_kovaFolderTemplates);
    }
    void TearDown() override
    {
        preferences()->removeObjectForKey(key_kovaFolderNodes);
        preferences()->removeObjectForKey(key_kovaFolderTemplates);
    }
    static std::shared_ptr<platform::UserDefaults> preferences() { return platform::UserDefaults::standardUserDefaults(); }

    // A copy of the fixture in the scratch folder (saving writes beside it).
    QString scratchCopy(const QString& name) const
    {
        const QString path = scratch.path(name);
        EXPECT_TRUE(QFile::copy(fixture(name), path)) << path.toStdString();
        return path;
    }

    ScratchFolder scratch;
};

// ---- Reading ----

TEST_F(KOVA_TemplateFilesTest, EveryFixtureLoadsWithoutUnsavedChanges)
{
    const QStringList fixtures = templateFixtures();
    ASSERT_GE(fixtures.size(), 18);
    testing::internal::CaptureStderr();
    for (const QString& name : fixtures) {
        const Pointer loaded = KOVA_Template::instanceWithXMLObject(fixture(name));
        ASSERT_TRUE(loaded) << name.toStdString();
        EXPECT_FALSE(loaded->hasUnsavedChanges()) << name.toStdString();
        EXPECT_EQ(loaded->documentURL(), QUrl::fromLocalFile(fixture(name)));
    }
    testing::internal::GetCapturedStderr();
}

TEST_F(KOVA_TemplateFilesTest, CurrentFormReadsEveryLayerType)
{
    const Pointer card = KOVA_Template::templateWithPath(fixture(QStringLiteral("current-every-layer-type.xml")), {});
    ASSERT_TRUE(card);
    EXPECT_EQ(card->name(), QStringLiteral("Holiday card"));
    EXPECT_EQ(card->versionXML(), QStringLiteral("1.0"));
    EXPECT_EQ(card->frame(), QRectF(0, 0, 1800, 1200));
    const auto layers = card->layers();
    ASSERT_EQ(layers.size(), 5);

    const Pointer image = layers[0];
    EXPECT_TRUE(image->isImageType());
    EXPECT_EQ(image->unflippedCropRect(), QRectF(0.1, 0.05, 0.8, 0.9));
    EXPECT_TRUE(image->isNormalizedCropRect());
    EXPECT_EQ(image->value(KOVA_XML_Key_shadowBlur), QVariant(4.0));
    EXPECT_EQ(image->shadowOffset(), QSizeF(3, -4));
    EXPECT_TRUE(image->hasShadow() && image->hasBorder() && image->borderClipsContent());
    EXPECT_EQ(image->borderWidth(), 5.0);

    const Pointer text = layers[2];
    EXPECT_EQ(text->fontName(), QStringLiteral("Helvetica"));
    EXPECT_EQ(text->fontSize(), QStringLiteral("64"));
    EXPECT_EQ(text->textAlignment(), KOVA_Template::textAlignmentCenter);
    EXPECT_TRUE(text->hasBackground());
    EXPECT_EQ(text->backgroundColorCode(), QStringLiteral("#FFFFFF80"));
    EXPECT_EQ(text->value(KOVA_XML_Key_borderShadowColor), QVariant(QStringLiteral("#00000040")));
    EXPECT_EQ(text->value(KOVA_XML_Key_borderShadowBlur), QVariant(QStringLiteral("2")));

    EXPECT_EQ(layers[3]->stampFormat(), QStringLiteral("shortDate"));

    // The node-type layer became the node file, placed and keyed as the layer was.
    const Pointer badge = layers[4];
    EXPECT_TRUE(badge->isTypeContainer());
    EXPECT_EQ(badge->name(), QStringLiteral("Badge"));
    EXPECT_EQ(badge->layers().size(), 2);
    EXPECT_EQ(badge->graphicPath(), QStringLiteral("badge.xml"));
    EXPECT_EQ(badge->frame(), QRectF(1200, 100, 500, 500));
    EXPECT_EQ(badge->zLevelString(), QStringLiteral("500"));
    EXPECT_EQ(badge->key(), QStringLiteral("badge"));
    EXPECT_EQ(badge->parent(), card);
}

TEST_F(KOVA_TemplateFilesTest, ContainersAndOrdering)
{
    // The last container wins; of name, id and key the last attribute names it.
    const Pointer square = KOVA_Template::instanceWithXMLObject(fixture(QStringLiteral("several-containers-last-wins.xml")));
    EXPECT_EQ(square->name(), QStringLiteral("B"));
    EXPECT_EQ(square->frame(), QRectF(0, 0, 1200, 1200));
    EXPECT_EQ(square->versionXML(), QStringLiteral("1.0"));

    // Sorted by z index, equal indexes in file order, renumbered.
    const Pointer ordered = KOVA_Template::instanceWithXMLObject(fixture(QStringLiteral("layers-out-of-z-order.xml")));
    QStringList texts;
    for (const Pointer& layer : ordered->layers())
        texts.append(layer->stringValue());
    EXPECT_EQ(texts, (QStringList{"one", "three", "three again", "five"}));
    EXPECT_EQ(ordered->zLevelStrings(), (QStringList{"100", "200", "300", "400"}));
}

TEST_F(KOVA_TemplateFilesTest, MalformedFilesAreRepairedOrYieldTheBareDocument)
{
    testing::internal::CaptureStderr();
    const auto load = [](const char* name) { return KOVA_Template::instanceWithXMLObject(fixture(QString::fromLatin1(name))); };
    EXPECT_EQ(load("malformed-stray-ampersand.xml")->layers().value(0)->stringValue(), QStringLiteral("Smith & Sons"));
    EXPECT_EQ(load("malformed-latin1-bytes.xml")->layers().value(0)->stringValue(), QStringLiteral("Café crème"));
    EXPECT_TRUE(load("malformed-unclosed-layer.xml")->isTypeContainer());
    EXPECT_FALSE(load("malformed-unclosed-layer.xml")->unreadableReason());
    EXPECT_FALSE(KOVA_Template::init()->unreadableReason());
    // A bare document says why, and is never written over the file it could not read.
    for (const char* bare : {"malformed-no-container.xml", "malformed-garbage.xml"}) {
        const QString path = scratchCopy(QString::fromLatin1(bare));
        const Pointer document = KOVA_Template::instanceWithXMLObject(path);
        EXPECT_EQ(document->type(), KOVA_Template::ClassName) << bare;
        EXPECT_TRUE(document->layers().isEmpty()) << bare;
        const auto reason = document->unreadableReason();
        ASSERT_TRUE(reason) << bare;
        document->addLayerOfType(KOVA_Template::layerTypeTextbox);
        SaveResult result;
        document->saveChanges([&](const QUrl& url, const auto& error) { result = {url, error}; });
        ASSERT_TRUE(result.error) << bare;
        EXPECT_TRUE(result.error->message.contains(reason->message)) << result.error->message.toStdString();
        EXPECT_EQ(readFile(path), readFile(fixture(QString::fromLatin1(bare)))) << bare;
    }
    testing::internal::GetCapturedStderr();
}

// A file that reads only once repaired says so, naming the file and what strict reading
// found, until the template is written over it: the operator is told before a save
// replaces the file with the repaired form. A file that reads strictly says nothing, nor
// one beyond repair (that one has its unreadable reason).
TEST_F(KOVA_TemplateFilesTest, ARepairedFileSaysWhatStrictReadingFoundUntilItIsWritten)
{
    testing::internal::CaptureStderr();
    const struct {
        const char* file;
        const char* strictReading;
    } faults[] = {
        {"malformed-unclosed-layer.xml", "Opening and ending tag mismatch: layer line 4 and layout"},
        {"malformed-stray-ampersand.xml", "xmlParseEntityRef: no name"},
        {"malformed-mistyped-closing-tag.xml", "Opening and ending tag mismatch: string line 5 and strnig"},
    };
    for (const auto& fault : faults) {
        const QString path = scratchCopy(QString::fromLatin1(fault.file));
        const Pointer repaired = KOVA_Template::instanceWithXMLObject(path);
        ASSERT_TRUE(repaired->isTypeContainer()) << fault.file;
        EXPECT_FALSE(repaired->unreadableReason()) << fault.file;
        const auto reason = repaired->repairedReason();
        ASSERT_TRUE(reason) << fault.file;
        EXPECT_TRUE(reason->message.startsWith(path + QStringLiteral(" is not well-formed XML: Line ")))
            << reason->message.toStdString();
        EXPECT_TRUE(reason->message.contains(QLatin1String(fault.strictReading))) << reason->message.toStdString();

        const qsizetype layers = repaired->layers().size();
        repaired->addLayerOfType(KOVA_Template::layerTypeTextbox);
        SaveResult result;
        repaired->saveChanges([&](const QUrl& url, const auto& error) { result = {url, error}; });
        ASSERT_FALSE(result.error) << result.error->description().toStdString();
        EXPECT_FALSE(repaired->repairedReason()) << fault.file;
        const Pointer reread = KOVA_Template::instanceWithXMLObject(path);
        EXPECT_FALSE(reread->repairedReason()) << fault.file;
        EXPECT_EQ(reread->layers().size(), layers + 1) << fault.file;
    }
    for (const char* strict : {"current-every-layer-type.xml", "layers-out-of-z-order.xml", "malformed-garbage.xml"})
        EXPECT_FALSE(KOVA_Template::instanceWithXMLObject(fixture(QString::fromLatin1(strict)))->repairedReason()) << strict;
    testing::internal::GetCapturedStderr();
}

TEST_F(KOVA_TemplateFilesTest, ElementsReadOnTheirOwn)
{
    const auto read = [](const char* xml) {
        const auto document = platform::XmlDocument::parse(QByteArray(xml), platform::XmlDocument::PreserveAll);
        return KOVA_Template::initWithNode(document->rootElement(), {});
    };
    const Pointer canvas = read("<canvas size=\"{100, 50}\"><node name=\"n\" frame=\"{{1, 2}, {3, 4}}\"/></canvas>");
    EXPECT_EQ(canvas->type(), QStringLiteral("canvas"));
    EXPECT_EQ(canvas->frame(), QRectF(1, 2, 3, 4));

    testing::internal::CaptureStderr();
    const Pointer layer = read("<layer type=\"Image\" frame=\"{{0, 0}, {0, 50}}\" opacity=\"1\">"
                               "<border width=\"4\" glow=\"2\">yes</border></layer>");
    const Pointer unknown = read("<price>12</price>");
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(layer->layerType(), KOVA_Template::layerTypeNone);
    EXPECT_FALSE(layer->hasValue(KOVA_XML_Key_frame));
    EXPECT_EQ(layer->value(KOVA_XML_Key_borderWidth), QVariant(4.0));
    // Named once by its element and once as a layer attribute: the same text twice.
    const std::string unknownAttribute = "encountered unknown layer attribute: opacity=\"1\"";
    const auto first = log.find(unknownAttribute);
    EXPECT_NE(log.find(unknownAttribute, first + 1), std::string::npos) << log;
    EXPECT_NE(log.find("encountered unknown border attribute: glow=\"2\""), std::string::npos) << log;
    EXPECT_NE(log.find("-+-+-+-+-+-+ adding unknown XML <price>12</price>"), std::string::npos) << log;
    EXPECT_EQ(unknown->value(QStringLiteral("price")), QVariant(QStringLiteral("12")));
}

TEST_F(KOVA_TemplateFilesTest, LayoutWhiteSpaceIsLoggedAndNotKept)
{
    // One white-space text node between every two children of the root, the
    // layout and the layer, and at their ends: eight in all. Comments are not logged.
    const QByteArray pretty = "<data version=\"1.0\">\n"
                              "  <layout name=\"Card\">\n"
                              "    <width>600</width>\n"
                              "    <!-- a note -->\n"
                              "    <layer type=\"image\" frame=\"{{0, 0}, {10, 10}}\">\n"
                              "      <filepath>photo.jpg</filepath>\n"
                              "    </layer>\n"
                              "  </layout>\n"
                              "</data>\n";
    QByteArray compact = pretty;
    compact.replace(QByteArrayLiteral(">\n"), QByteArrayLiteral(">")).replace(QByteArrayLiteral("  "), {});
    const auto loggedTextNodes = [&](const QByteArray& text, Pointer& read) {
        const QString path = scratch.path(QStringLiteral("card.xml"));
        EXPECT_TRUE(writeFile(path, text));
        testing::internal::CaptureStderr();
        read = KOVA_Template::instanceWithXMLObject(path);
        const QString log = QString::fromStdString(testing::internal::GetCapturedStderr());
        return log.count(QStringLiteral("Found unexpected XML element kind:\n7\n"));
    };
    Pointer fromCompact;
    Pointer fromPretty;
    EXPECT_EQ(loggedTextNodes(compact, fromCompact), 0);
    EXPECT_EQ(loggedTextNodes(pretty, fromPretty), 8);
    ASSERT_TRUE(fromCompact && fromPretty);
    EXPECT_EQ(fromPretty->layers().size(), 1);
    EXPECT_TRUE(fromPretty->isEqual(fromCompact.get()));
}

// ---- Finding files ----

TEST_F(KOVA_TemplateFilesTest, JobContainerIsSearchedBeforeTheConfiguredFolder)
{
    QDir(scratch.path()).mkpath(QStringLiteral("job/templates"));
    QDir(scratch.path()).mkpath(QStringLiteral("job/NODES"));
    QDir(scratch.path()).mkpath(QStringLiteral("configured"));
    writeFile(scratch.path(QStringLiteral("job/templates/card.xml")), templateText(QStringLiteral("name=\"job\"")));
    writeFile(scratch.path(QStringLiteral("job/inside.xml")), templateText(QStringLiteral("name=\"container\"")));
    writeFile(scratch.path(QStringLiteral("job/NODES/Badge.XML")), templateText(QStringLiteral("name=\"job node\"")));
    writeFile(scratch.path(QStringLiteral("configured/card.xml")), templateText(QStringLiteral("name=\"configured\"")));
    preferences()->setURL(QUrl::fromLocalFile(scratch.path(QStringLiteral("configured"))), key_kovaFolderTemplates);
    const QUrl job = QUrl::fromLocalFile(scratch.path(QStringLiteral("job")));

    EXPECT_EQ(KOVA_Template::templateWithPath(QStringLiteral("card.xml"), job)->name(), QStringLiteral("job"));
    EXPECT_EQ(KOVA_Template::templateWithPath(QStringLiteral("inside.xml"), job)->name(), QStringLiteral("container"));
    EXPECT_EQ(KOVA_Template::nodeWithPath(QStringLiteral("badge.xml"), job)->name(), QStringLiteral("job node"));
    EXPECT_EQ(KOVA_Template::templateWithPath(QStringLiteral("card.xml"), {})->name(), QStringLiteral("configured"));
}

TEST_F(KOVA_TemplateFilesTest, ConfiguredFolderHoldsRelativePathsAndTheNamesOfAbsoluteOnes)
{
    QDir(scratch.path()).mkpath(QStringLiteral("configured/seasonal"));
    writeFile(scratch.path(QStringLiteral("configured/seasonal/winter.xml")), templateText(QStringLiteral("name=\"winter\"")));
    preferences()->setURL(QUrl::fromLocalFile(scratch.path(QStringLiteral("configured"))), key_kovaFolderTemplates);

    EXPECT_EQ(KOVA_Template::templateWithPath(QStringLiteral("seasonal/winter.xml"), {})->name(), QStringLiteral("winter"));
    // A path from another machine finds the file of that name here; one whose name is
    // not here stays not found.
    writeFile(scratch.path(QStringLiteral("configured/summer.xml")), templateText(QStringLiteral("name=\"summer\"")));
    EXPECT_EQ(KOVA_Template::templateWithPath(QStringLiteral("/Users/lab/Templates/summer.xml"), {})->name(),
              QStringLiteral("summer"));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(KOVA_Template::templateWithPath(QStringLiteral("/Users/lab/Templates/autumn.xml"), {}));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("failed to read template at path /Users/lab/Templates/autumn.xml"),
              std::string::npos);
}

// A package names its templates; a relative name is never taken against the process's
// working folder, nor above the folders it is looked up in.
TEST_F(KOVA_TemplateFilesTest, RelativeNamesStayInsideTheFoldersTheyAreLookedUpIn)
{
    QDir(scratch.path()).mkpath(QStringLiteral("lab/configured"));
    QDir(scratch.path()).mkpath(QStringLiteral("lab/job"));
    writeFile(scratch.path(QStringLiteral("lab/outside.xml")), templateText(QStringLiteral("name=\"outside\"")));
    writeFile(scratch.path(QStringLiteral("lab/cwd.xml")), templateText(QStringLiteral("name=\"cwd\"")));
    preferences()->setURL(QUrl::fromLocalFile(scratch.path(QStringLiteral("lab/configured"))), key_kovaFolderTemplates);
    const QUrl job = QUrl::fromLocalFile(scratch.path(QStringLiteral("lab/job")));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(scratch.path(QStringLiteral("lab"))));

    testing::internal::CaptureStderr();
    const bool foundInWorkingFolder = bool(KOVA_Template::templateWithPath(QStringLiteral("cwd.xml"), job));
    const bool foundAbove = bool(KOVA_Template::templateWithPath(QStringLiteral("../outside.xml"), job));
    const std::string log = testing::internal::GetCapturedStderr();
    QDir::setCurrent(previous);
    EXPECT_FALSE(foundInWorkingFolder);
    EXPECT_FALSE(foundAbove);
    EXPECT_NE(log.find("refused the template path ../outside.xml"), std::string::npos) << log;
}

TEST_F(KOVA_TemplateFilesTest, TemplatesFolderFindsTheNodesFolderAbove)
{
    QDir(scratch.path()).mkpath(QStringLiteral("Nodes"));
    QDir(scratch.path()).mkpath(QStringLiteral("lab/Templates"));
    const QUrl templates = QUrl::fromLocalFile(scratch.path(QStringLiteral("lab/Templates")));
    KOVA_Template::setCurrentTemplatesFolder(templates);
    EXPECT_EQ(KOVA_Template::currentTemplatesFolder(), templates);
    EXPECT_EQ(preferences()->URLForKey(key_kovaFolderNodes), QUrl::fromLocalFile(scratch.path(QStringLiteral("Nodes"))));
}

// ---- Node files ----

TEST_F(KOVA_TemplateFilesTest, MissingNodeFileLeavesTheNodeTypeLayer)
{
    testing::internal::CaptureStderr();
    const Pointer templ = KOVA_Template::instanceWithXMLObject(fixture(QStringLiteral("node-missing-file.xml")));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("failed to read node at path no-such-node.xml"), std::string::npos);
    const Pointer layer = templ->layers().value(0);
    EXPECT_TRUE(layer->isTypeNode());
    EXPECT_EQ(layer->key(), QStringLiteral("emblem"));
    EXPECT_EQ(layer->frame(), QRectF(10, 20, 300, 400));
}

TEST_F(KOVA_TemplateFilesTest, NodeFileIncludingItselfIsRefused)
{
    testing::internal::CaptureStderr();
    const Pointer templ = KOVA_Template::instanceWithXMLObject(fixture(QStringLiteral("node-including-itself.xml")));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("self-including.xml: it includes itself"), std::string::npos) << log;
    EXPECT_NE(log.find("loop-first.xml: it includes itself"), std::string::npos) << log;
    // Each file is read once along a chain; the inclusion that closes the loop stays a layer.
    const Pointer mirror = templ->layers().value(0);
    EXPECT_EQ(mirror->name(), QStringLiteral("Mirror"));
    EXPECT_TRUE(mirror->layers().value(1)->isTypeNode());
    const Pointer second = templ->layers().value(1)->layers().value(0);
    EXPECT_EQ(second->name(), QStringLiteral("Second"));
    EXPECT_TRUE(second->layers().value(0)->isTypeNode());
}

TEST_F(KOVA_TemplateFilesTest, NodeFilesAreBoundedInDepthAndNumber)
{
    // A chain deeper than allowed, and a file naming the next one twice at every level:
    // 2^12 inclusions unless the number of node files is bounded.
    constexpr int files = 24;
    for (int i = 0; i < files; ++i) {
        const QString next = nodeLayer(QStringLiteral("deep-%1.xml").arg(i + 1));
        writeFile(scratch.path(QStringLiteral("deep-%1.xml").arg(i)), templateText({}, next));
        const QString twice = nodeLayer(QStringLiteral("wide-%1.xml").arg(i + 1)).repeated(2);
        writeFile(scratch.path(QStringLiteral("wide-%1.xml").arg(i)), templateText({}, i < 12 ? twice : QString()));
    }
    preferences()->setURL(QUrl::fromLocalFile(scratch.path()), key_kovaFolderNodes);
    testing::internal::CaptureStderr();
    Pointer level = KOVA_Template::instanceWithXMLObject(scratch.path(QStringLiteral("deep-0.xml")));
    int depth = 1;
    for (; level->layers().value(0)->isTypeContainer(); level = level->layers().value(0))
        ++depth;
    EXPECT_EQ(depth, KOVA_TemplateReader::MaximumNodeDepth);
    EXPECT_TRUE(KOVA_Template::instanceWithXMLObject(scratch.path(QStringLiteral("wide-0.xml"))));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("node files nested deeper than 16"), std::string::npos);
    EXPECT_NE(log.find("more than 1024 node files in one template"), std::string::npos);
}

TEST_F(KOVA_TemplateFilesTest, LoadsOnManyThreadsAtOnceTrackTheirOwnNodeFiles)
{
    testing::internal::CaptureStderr();
    const Pointer expected = KOVA_Template::instanceWithXMLObject(fixture(QStringLiteral("node-including-itself.xml")));
    std::vector<Pointer> loaded(8);
    std::vector<std::thread> threads;
    for (auto& result : loaded) {
        threads.emplace_back([&result] {
            for (int i = 0; i < 10; ++i)
                result = KOVA_Template::instanceWithXMLObject(fixture(QStringLiteral("node-including-itself.xml")));
        });
    }
    for (auto& thread : threads)
        thread.join();
    testing::internal::GetCapturedStderr();
    for (const Pointer& result : loaded)
        EXPECT_TRUE(result && result->isEqual(expected.get()));
}

// ---- Saving ----

TEST_F(KOVA_TemplateFilesTest, SavedFilesReadBackEqual)
{
    for (const char* name : {"current-every-layer-type.xml", "node-including-itself.xml", "node-missing-file.xml",
                             "several-containers-last-wins.xml", "layers-out-of-z-order.xml"}) {
        testing::internal::CaptureStderr();
        const Pointer loaded = KOVA_Template::instanceWithXMLObject(scratchCopy(QString::fromLatin1(name)));
        const QUrl savedURL = QUrl::fromLocalFile(scratch.path(QStringLiteral("saved-") + QString::fromLatin1(name)));
        // Save As writes even an unchanged template and makes the new file its own.
        const SaveResult saved = saveChangesToURL(*loaded, savedURL);
        EXPECT_FALSE(saved.error) << name;
        EXPECT_EQ(saved.url, savedURL);
        EXPECT_EQ(loaded->documentURL(), savedURL);
        const Pointer reread = KOVA_Template::instanceWithXMLObject(savedURL);
        testing::internal::GetCapturedStderr();
        EXPECT_TRUE(reread->isEqual(loaded.get())) << name << "\n" << reread->description().toStdString();
    }
}

TEST_F(KOVA_TemplateFilesTest, SavingKeepsValuesWrittenWithoutTheirFlags)
{
    const Pointer templ = KOVA_Template::init();
    const Pointer text = templ->addLayerOfType(KOVA_Template::layerTypeTextbox);
    text->setShadowColorCode(QStringLiteral("#FF0000"));
    text->setBorderColorCode(QStringLiteral("#00FF00"));
    text->setBackgroundColorCode(QStringLiteral("#0000FF"));
    text->setFontSize(QStringLiteral("30"));
    text->setKey(QStringLiteral("caption"));
    text->setValue(KOVA_XML_Key_stamp, QStringLiteral("2"));
    const Pointer picture = KOVA_Template::initForCopy();
    picture->setLayerType(KOVA_Template::layerTypeImage);
    picture->setFrame({10, 20, 300, 400});
    templ->addLayer(picture);
    picture->setValue(KOVA_XML_Key_filename, QStringLiteral("graphics/logo.png"));
    picture->setHasBackground(true);
    picture->setShadowBlur(3);
    // Frames are stored unscaled and written so, whatever the drawing scale.
    templ->setScale(0.5);

    const QUrl url = QUrl::fromLocalFile(scratch.path(QStringLiteral("flags.xml")));
    EXPECT_FALSE(saveChangesToURL(*templ, url).error);
    const Pointer reread = KOVA_Template::instanceWithXMLObject(url);
    EXPECT_EQ(reread->frame(), QRectF(0, 0, 1000, 1000));
    ASSERT_EQ(reread->layers().size(), 2);
    for (qsizetype i = 0; i < 2; ++i) {
        EXPECT_TRUE(reread->layers()[i]->isEqual(templ->layers()[i].get()))
            << reread->layers()[i]->description().toStdString();
    }
    EXPECT_TRUE(reread->layers()[0]->hasShadow());
}

TEST_F(KOVA_TemplateFilesTest, OlderFormsComeBackInTheCurrentFormWithABackup)
{
    const QSet<QString> currentForm{"data", "layout", "layer", "key", "type", "filepath", "filename", "gravity",
                                    "croprect", "shadow", "border", "background", "rotation", "string", "font",
                                    "textAlignment", "color", "hideExtension"};
    for (const QString& name : templateFixtures().filter(QStringLiteral("older-"))) {
        const QString path = scratchCopy(name);
        const QString backup = path.chopped(4) + QStringLiteral(".oldKOVA.xml");
        const Pointer older = KOVA_Template::instanceWithXMLObject(path);
        older->setWidth(older->width() + 1);
        older->saveChanges({});
        EXPECT_EQ(readFile(backup), readFile(fixture(name))) << name.toStdString();

        const auto saved = platform::XmlDocument::parse(readFile(path), {});
        ASSERT_TRUE(saved);
        EXPECT_EQ(saved->rootElement().attributeForName(QStringLiteral("version")).stringValue(), QStringLiteral("1.0"));
        EXPECT_TRUE(currentForm.contains(elementNames(saved->rootElement()))) << name.toStdString();
        const Pointer reread = KOVA_Template::instanceWithXMLObject(path);
        EXPECT_TRUE(isEqualButForVersion(*reread, *older)) << name.toStdString();

        // The version read is kept, so every save is of the older form; the first backup stays.
        older->setWidth(older->width() + 1);
        older->saveChanges({});
        EXPECT_EQ(readFile(backup), readFile(fixture(name))) << name.toStdString();
    }
}

TEST_F(KOVA_TemplateFilesTest, OlderFormsReadAsTheirCurrentValues)
{
    const auto firstLayer = [](const char* name) {
        return KOVA_Template::instanceWithXMLObject(fixture(QString::fromLatin1(name)))->layers().value(0);
    };
    const Pointer editable = firstLayer("older-edittextbox.xml");
    EXPECT_TRUE(editable->isTypeStamp());
    EXPECT_EQ(editable->key(), QStringLiteral("EditTextBox"));
    EXPECT_EQ(editable->value(KOVA_XML_Key_stamp), QVariant(QStringLiteral("3")));
    EXPECT_EQ(firstLayer("older-imagefile-filepath.xml")->key(), QStringLiteral("image1"));
    EXPECT_EQ(firstLayer("older-filename.xml")->graphicPath(), QStringLiteral("graphics/logo.png"));
    const Pointer bordered = firstLayer("older-bordercolor-element.xml");
    EXPECT_TRUE(bordered->hasBorder() && bordered->borderClipsContent());
    EXPECT_EQ(bordered->borderWidth(), 4.0);
    const Pointer shadowed = firstLayer("older-textshadow-element.xml");
    EXPECT_TRUE(shadowed->hasShadow());
    EXPECT_EQ(shadowed->shadowBlur(), 5.0);
    EXPECT_EQ(firstLayer("older-font-attributes.xml")->fontSize(), QStringLiteral("24"));
    EXPECT_EQ(firstLayer("older-width-height-children.xml")->frame(), QRectF(50, 60, 1100, 1500));
}

TEST_F(KOVA_TemplateFilesTest, UnchangedTemplatesWriteNothing)
{
    const QString path = scratchCopy(QStringLiteral("older-root-without-version.xml"));
    const Pointer templ = KOVA_Template::instanceWithXMLObject(path);
    SaveResult result;
    templ->saveChanges([&](const QUrl& url, const auto& error) { result = {url, error}; });
    EXPECT_EQ(result.url, QUrl::fromLocalFile(path));
    EXPECT_FALSE(result.error);
    templ->filePath(QUrl::fromLocalFile(scratch.path(QStringLiteral("elsewhere.xml"))), {});
    EXPECT_EQ(kova::test::entriesOf(scratch.path()), QStringList{"older-root-without-version.xml"});
    EXPECT_EQ(readFile(path), readFile(fixture(QStringLiteral("older-root-without-version.xml"))));
}

TEST_F(KOVA_TemplateFilesTest, FailuresAreReportedAndLeaveChangesUnsaved)
{
    const Pointer fresh = KOVA_Template::init();
    SaveResult result;
    fresh->saveChanges([&](const QUrl& url, const auto& error) { result = {url, error}; });
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->domain, platform::Error::URLDomain);
    EXPECT_EQ(result.error->code, -1);
    EXPECT_EQ(result.error->message, QStringLiteral("No filepathURL specified"));

    testing::internal::CaptureStderr();
    fresh->saveChanges({});
    EXPECT_NE(testing::internal::GetCapturedStderr().find(
                  "-[KOVA_Template filePath:saveChanges:]:Error Domain=NSURLErrorDomain Code=-1 \"No filepathURL specified\""),
              std::string::npos);

    result = saveChangesToURL(*fresh, QUrl::fromLocalFile(scratch.path(QStringLiteral("missing/folder.xml"))));
    EXPECT_TRUE(result.error && result.url.isEmpty());
    EXPECT_TRUE(fresh->hasUnsavedChanges());
    EXPECT_TRUE(fresh->documentURL().isEmpty());
}

TEST_F(KOVA_TemplateFilesTest, WrittenDocumentHasTheCurrentShape)
{
    const Pointer templ = KOVA_Template::init();
    templ->addLayerOfType(KOVA_Template::layerTypeCanvas);
    const Pointer node = templ->addLayerOfType(KOVA_Template::layerTypeContainer);
    node->setGraphicPath(QStringLiteral("badge.xml"));
    const QUrl url = QUrl::fromLocalFile(scratch.path(QStringLiteral("shape.xml")));
    saveChangesToURL(*templ, url);
    const QString written = QString::fromUtf8(readFile(url.toLocalFile()));
    EXPECT_TRUE(written.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>")));
    EXPECT_TRUE(written.contains(QStringLiteral("<data type=\"KOVA_Template\" version=\"1.0\">")));
    EXPECT_TRUE(written.contains(QStringLiteral("<layout size=\"{1000, 1000}\">")));
    EXPECT_TRUE(written.contains(QStringLiteral("<layer type=\"canvas\" frame=\"{{100, 100}, {500, 200}}\" zindex=\"100\"/>")));
    EXPECT_TRUE(written.contains(QStringLiteral("<layer type=\"node\" frame=\"{{100, 100}, {500, 200}}\" zindex=\"200\">")));
    EXPECT_TRUE(written.contains(QStringLiteral("<filepath>badge.xml</filepath>")));
}

// ---- Export ----

TEST_F(KOVA_TemplateFilesTest, ReferenceElementNamesTheTemplateAndItsFile)
{
    const Pointer card = KOVA_Template::instanceWithXMLObject(fixture(QStringLiteral("current-every-layer-type.xml")));
    EXPECT_EQ(card->asXMLElement().xmlString(),
              QStringLiteral("<template id=\"Holiday card\"><filepath>current-every-layer-type.xml</filepath></template>"));
    EXPECT_EQ(KOVA_Template::init()->asXMLElement().xmlString(), QStringLiteral("<template id=\"\"/>"));
}

} // namespace
