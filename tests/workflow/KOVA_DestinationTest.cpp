#include "workflow/outputs/KOVA_Destination.h"

#include "FoundationArchive.h"
#include "XmlElements.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"

#include <gtest/gtest.h>

using platform::Archivable;
using platform::KeyedArchiver;
using platform::KeyedUnarchiver;
using Kind = KOVA_Destination::Kind;

namespace {

std::shared_ptr<KOVA_Destination> unarchived(const QByteArray& archive, platform::Error* error = nullptr)
{
    return Archivable::fromVariant<KOVA_Destination>(
        KeyedUnarchiver::unarchivedObjectOfClasses(archive, {KOVA_Destination::ClassName}, error));
}

std::shared_ptr<KOVA_Destination> withValues(Kind kind, const QVariantMap& values)
{
    auto destination = std::make_shared<KOVA_Destination>();
    destination->setKind(kind);
    destination->setValuesDict(values);
    return destination;
}

} // namespace

TEST(KOVA_Destination, readsKindAndSettingsFromItsElement)
{
    const struct {
        const char* xml;
        Kind kind;
        QVariantMap values;
    } cases[] = {
        {R"(<destination type="PRINTER" name="Q1"><copies>2</copies></destination>)", Kind::Printer,
         {{"queue", "Q1"}, {"copies", "2"}}},
        // Names in any case are stored under the vocabulary's own spelling.
        {R"(<destination TYPE="FilePath"><FILEPATH>/out</FILEPATH><CUTINHALF>1</CUTINHALF><Gravity>resize</Gravity></destination>)",
         Kind::Filepath, {{"filepath", "/out"}, {"cutInHalf", "1"}, {"gravity", "resize"}}},
        // An unknown type leaves the kind unset; a later setting replaces an earlier one; unknown
        // children, comments and attributes are left out.
        {R"(<destination type="fax" colour="red"><filepath>a</filepath><!--x--><bogus>b</bogus><filepath>c</filepath></destination>)",
         Kind::Unset, {{"filepath", "c"}}},
        // A queue child replaces the name attribute; the label is never read from the element.
        {R"(<destination name="Q1"><queue>Q2</queue><destinationLabel>L</destinationLabel></destination>)", Kind::Unset,
         {{"queue", "Q2"}}},
    };
    for (const auto& c : cases) {
        const KOVA_Destination destination(kova::test::rootElement(c.xml));
        EXPECT_EQ(destination.kind(), c.kind) << c.xml;
        EXPECT_EQ(destination.valuesDict(), c.values) << c.xml;
    }
}

// Settings are texts; flags take their leading letter or digit, numbers their leading digits,
// and gravity the template model's normalisation.
TEST(KOVA_Destination, interpretsItsTexts)
{
    const struct {
        const char* text;
        bool flag;
        qint64 number;
    } cases[] = {{"yes", true, 0}, {"  True", true, 0}, {"7 prints", true, 7}, {"007", true, 7},
                 {"0", false, 0},  {"no", false, 0},     {"", false, 0},        {"N1", false, 0}};
    for (const auto& c : cases) {
        const auto destination = withValues(Kind::Printer, {{"saveoriginalfileasis", c.text}, {"copies", c.text}});
        EXPECT_EQ(destination->saveOriginal(), c.flag) << c.text;
        EXPECT_EQ(destination->copies(), c.number) << c.text;
    }
    EXPECT_EQ(withValues(Kind::Printer, {{"gravity", "resizeAspect"}})->gravity(), "resizeAspect");
    EXPECT_EQ(withValues(Kind::Printer, {{"gravity", "center"}})->gravity(), "resizeAspectFill");
    EXPECT_EQ(withValues(Kind::Printer, {})->gravity(), "resizeAspectFill");
}

TEST(KOVA_Destination, writesItsElementAndDescription)
{
    const KOVA_Destination printer(kova::test::rootElement(R"(<destination type="printer" name="Q1"><model>DS40</model></destination>)"));
    const struct {
        std::shared_ptr<KOVA_Destination> destination;
        const char* xml;
        const char* description;
    } cases[] = {
        {withValues(Kind::Printer, printer.valuesDict()),
         R"(<destination type="printer"><model>DS40</model><queue>Q1</queue></destination>)",
         "KOVA_Destination(printer){queue:Q1;model:DS40;papersize:;copies:0;}"},
        {KOVA_Destination::initWithFilepath("/out/%1"), R"(<destination type="filepath"><filepath>/out/%1</filepath></destination>)",
         "KOVA_Destination(filepath):/out/%1"},
        {withValues(Kind::Unset, {{"destinationLabel", "L"}}),
         R"(<destination type="unknown"><destinationLabel>L</destinationLabel></destination>)", ""},
        // A key that is no XML name (only a foreign archive holds one) is left out, not written broken.
        {withValues(Kind::Unset, {{"1 bad", "x"}}), R"(<destination type="unknown"/>)", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.destination->asXMLElement().xmlString(), QString::fromUtf8(c.xml));
        EXPECT_EQ(c.destination->description(), QString::fromUtf8(c.description));
    }
    const auto model = KOVA_Destination::initWithPrinterModel("DS620");
    EXPECT_EQ(model->kind(), Kind::Printer);
    EXPECT_EQ(model->printerModel(), "DS620");
}

TEST(KOVA_Destination, archiveKeepsKindAndSettings)
{
    const KOVA_Destination read(kova::test::rootElement(R"(<destination type="printer" name="Q1"><copies>2</copies></destination>)"));
    platform::Error error;
    const auto copy = unarchived(KeyedArchiver::archivedDataWithRootObject(read), &error);
    ASSERT_TRUE(copy) << error.message.toStdString();
    EXPECT_EQ(copy->kind(), Kind::Printer);
    EXPECT_EQ(copy->valuesDict(), read.valuesDict());
}

// Archives come from outside: a kind nobody knows is no kind, a setting that is not a text
// stops the archive.
TEST(KOVA_Destination, foreignArchivesAreChecked)
{
    const struct {
        QVariant kind;
        QVariant copies;
        bool accepted;
    } cases[] = {{qint64(7), "1", true}, {qint64(1), qint64(1), false}};
    for (const auto& c : cases) {
        kova::test::FoundationArchive archive;
        const QVariant values = archive.dictionary({{"copies", archive.plain(c.copies)}}, "NSMutableDictionary");
        const QVariant root = archive.object(KOVA_Destination::ClassName, {{"self.valuesDict", values}, {"self.kind", c.kind}});
        platform::Error error;
        const auto destination = unarchived(archive.data(root), &error);
        ASSERT_EQ(bool(destination), c.accepted) << c.copies.toString().toStdString();
        if (destination)
            EXPECT_EQ(destination->kind(), Kind::Unset);
        else
            EXPECT_TRUE(error.message.contains("self.valuesDict")) << error.message.toStdString();
    }
}
