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

TEST(KOVA_Destination, readsBooleansAndNumbersLeniently)
{
    const struct {
        const char* text;
        bool flag;
        qint64 number;
    } cases[] = {
        {"yes", true, 0},  {"  True", true, 0}, {"t", true, 0},   {"7 prints", true, 7}, {"007", true, 7},
        {"0", false, 0},   {"no", false, 0},    {"", false, 0},   {"-3", true, -3},      {"N1", false, 0},
    };
    for (const auto& c : cases) {
        const auto destination = withValues(Kind::Printer, {{"saveoriginalfileasis", c.text}, {"resize", c.text},
                                                            {"copies", c.text}, {"limitsize", c.text}});
        EXPECT_EQ(destination->saveOriginal(), c.flag) << c.text;
        EXPECT_EQ(destination->resize(), c.flag) << c.text;
        EXPECT_EQ(destination->copies(), c.number) << c.text;
        EXPECT_EQ(destination->limitSize(), c.number) << c.text;
    }
    const auto empty = std::make_shared<KOVA_Destination>();
    EXPECT_FALSE(empty->saveOriginal());
    EXPECT_EQ(empty->printer(), 0);
    EXPECT_TRUE(empty->filepath().isNull());
}

TEST(KOVA_Destination, normalisesGravity)
{
    const struct {
        const char* stored;
        const char* gravity;
    } cases[] = {
        {"resize", "resize"}, {"resizeAspect", "resizeAspect"}, {"center", "resizeAspectFill"}, {nullptr, "resizeAspectFill"},
    };
    for (const auto& c : cases) {
        const auto destination = withValues(Kind::Printer, c.stored ? QVariantMap{{"gravity", c.stored}} : QVariantMap{});
        EXPECT_EQ(destination->gravity(), QString::fromLatin1(c.gravity)) << (c.stored ? c.stored : "none");
    }
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
    const KOVA_Destination read(kova::test::rootElement(
        R"(<destination type="printer" name="Q1"><copies>2</copies><papersize>6x8</papersize></destination>)"));
    platform::Error error;
    const auto copy = unarchived(KeyedArchiver::archivedDataWithRootObject(read), &error);
    ASSERT_TRUE(copy) << error.message.toStdString();
    EXPECT_EQ(copy->kind(), Kind::Printer);
    EXPECT_EQ(copy->valuesDict(), read.valuesDict());
}

TEST(KOVA_Destination, foreignArchivesAreCheckedValueByValue)
{
    const struct {
        const char* what;
        QVariant kind;
        QVariantMap values;
        bool accepted;
        Kind expectedKind;
    } cases[] = {
        {"unknown kind", qint64(7), {{"filepath", "a"}}, true, Kind::Unset},
        {"number among the settings", qint64(1), {{"copies", qint64(2)}}, false, Kind::Unset},
    };
    for (const auto& c : cases) {
        kova::test::FoundationArchive archive;
        const QVariant values = archive.dictionary(
            [&] {
                QVariantMap plain;
                for (auto it = c.values.cbegin(); it != c.values.cend(); ++it)
                    plain.insert(it.key(), archive.plain(it.value()));
                return plain;
            }(),
            QStringLiteral("NSMutableDictionary"));
        const QVariant root = archive.object(KOVA_Destination::ClassName,
                                             {{QStringLiteral("self.valuesDict"), values}, {QStringLiteral("self.kind"), c.kind}});
        platform::Error error;
        const auto destination = unarchived(archive.data(root), &error);
        EXPECT_EQ(bool(destination), c.accepted) << c.what;
        if (destination)
            EXPECT_EQ(destination->kind(), c.expectedKind) << c.what;
        else
            EXPECT_TRUE(error.message.contains(QStringLiteral("self.valuesDict"))) << error.message.toStdString();
    }
}
