// Inputs on which the fuzzer once broke the template loader, replayed through the
// fuzzer's own check, and the faults behind them pinned down one by one.
#include "TemplateLoadingCheck.h"

#include "FileFixtures.h"
#include "platform/text/StringValues.h"
#include "template/KOVA_Template.h"
#include "template/KOVA_TemplateReader.h"

#include <QDir>
#include <QRectF>
#include <QVariant>

#include <gtest/gtest.h>

#include <limits>

namespace {

using kova::test::ScratchFolder;

const QString RegressionFolder = QStringLiteral(KOVA_TEST_DATA_DIR "/templates/fuzz-regressions");

KOVA_Template::Pointer documentFromBytes(const QByteArray& bytes)
{
    return KOVA_XML_object::initWithObject<KOVA_Template>(QVariant(bytes));
}

TEST(KOVA_TemplateFuzzRegressionTest, EveryInputThatOnceBrokeTheLoaderLoadsCopiesAndSavesAsPromised)
{
    const QDir folder(RegressionFolder);
    const QStringList names = folder.entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(names.isEmpty()) << RegressionFolder.toStdString();
    for (const QString& name : names) {
        ScratchFolder scratch;
        const TemplateLoadingCheck check(scratch.path());
        ASSERT_TRUE(check.isReady());
        EXPECT_EQ(check.faultFor(kova::test::readFile(folder.filePath(name))), QString()) << name.toStdString();
    }
}

TEST(KOVA_TemplateFuzzRegressionTest, FileLargerThanOneReadIsReadWhole)
{
    ScratchFolder scratch;
    const QByteArray text = "<data><layout><layer type=\"textbox\"><string>" + QByteArray(300 * 1024, 'x')
        + "</string></layer></layout></data>";
    ASSERT_TRUE(kova::test::writeFile(scratch.path("long.xml"), text));

    const auto document = KOVA_XML_object::initWithObject<KOVA_Template>(QUrl::fromLocalFile(scratch.path("long.xml")));
    ASSERT_TRUE(document);
    EXPECT_EQ(document->xmlString().toUtf8(), text);
}

TEST(KOVA_TemplateFuzzRegressionTest, NulCharacterOfADamagedFileIsKeptAsAReplacementSoTheTemplateCopies)
{
    // Without a container the template is the document itself, and its copy carries the text.
    const auto document = documentFromBytes(QByteArray("<data version=\"1.0\">\0</data>", 28));
    ASSERT_TRUE(document);
    EXPECT_EQ(document->xmlString(), QStringLiteral("<data version=\"1.0\">\uFFFD</data>"));

    const auto loaded = KOVA_TemplateReader::templateFromDocument(document, QUrl());
    ASSERT_TRUE(loaded);
    const auto copied = loaded->copy();
    ASSERT_TRUE(copied);
    EXPECT_TRUE(copied->isEqual(loaded.get()));
    EXPECT_EQ(copied->xmlString(), document->xmlString());
    EXPECT_FALSE(loaded->hasUnsavedChanges());
}

TEST(KOVA_TemplateFuzzRegressionTest, FrameThatIsNotFiniteIsRefusedSoTheTemplateCopies)
{
    const auto layer = KOVA_Template::initForCopy();
    layer->setFrame(QRectF(1, 2, 30, 40));
    const double infinite = std::numeric_limits<double>::infinity();
    layer->setFrame(QRectF(infinite, 2, 30, 40));
    layer->setFrame(QRectF(1, -infinite, 30, 40));
    layer->setFrame(QRectF(1, 2, std::numeric_limits<double>::quiet_NaN(), 40));
    layer->setHeight(infinite);
    layer->setX(platform::StringValues::doubleValue(QStringLiteral("1e999")));
    EXPECT_EQ(layer->frame(), QRectF(1, 2, 30, 40));

    const auto copied = layer->copy();
    ASSERT_TRUE(copied);
    EXPECT_TRUE(copied->isEqual(layer.get()));
}

} // namespace
