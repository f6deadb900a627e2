#include "template/KOVA_Template.h"

#include "FileFixtures.h"
#include "core/foundation/KOVA_Constants.h"
#include "core/image/ImageProperties.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/WallClock.h"
#include "template/KOVA_XML_Keys.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QImage>
#include <QMimeData>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using kova::test::entriesOf;
using kova::test::readFile;

QByteArray encodedImage(int width, int height, const char* format)
{
    QImage image(width, height, QImage::Format_Grayscale8);
    image.fill(QColor(120, 120, 120));
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return data;
}

// Pasting at 14:07:09 on 5 March 2024 into a fresh graphics folder, with no text
// colour remembered.
class KOVA_TemplatePastingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::WallClock::setNow([] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); });
        preferences()->setObject(graphics.path(), key_kovaFolderGraphics);
        preferences()->removeObjectForKey(key_kovaTemplateLastUsedColorText);
    }

    void TearDown() override
    {
        platform::WallClock::setNow({});
        preferences()->removeObjectForKey(key_kovaFolderGraphics);
    }

    static std::shared_ptr<platform::UserDefaults> preferences()
    {
        return platform::UserDefaults::standardUserDefaults();
    }

    static void expectNoLayer(const KOVA_Template::Pointer& layer)
    {
        ASSERT_TRUE(layer);
        EXPECT_EQ(layer->layerType(), KOVA_Template::layerTypeNone);
        EXPECT_TRUE(layer->valuesDict().isEmpty()) << qPrintable(layer->description());
    }

    const QString stamp = QStringLiteral("pastedGraphic_2024-03-05_14.07.09");
    kova::test::ScratchFolder graphics;
};

TEST_F(KOVA_TemplatePastingTest, ImageDataIsSavedUnderAFreeTimeStampedName)
{
    const QByteArray png = encodedImage(40, 30, "PNG");
    const QStringList expectedNames{stamp + QStringLiteral(".png"), stamp + QStringLiteral("-1.png"),
                                    stamp + QStringLiteral("-2.png")};
    for (const QString& expectedName : expectedNames) {
        const auto layer = KOVA_Template::initWithPasteboardPropertyList(png, QStringLiteral("public.png"));
        EXPECT_EQ(layer->layerType(), KOVA_Template::layerTypeGraphic);
        EXPECT_EQ(layer->graphicPath(), graphics.path(expectedName));
        EXPECT_EQ(layer->frame(), QRectF(0, 0, 40, 30));
        EXPECT_FALSE(layer->parent());
    }
    // Every paste has a file of its own holding the data, and nothing half-written stays behind.
    QStringList sortedNames = expectedNames;
    sortedNames.sort();
    EXPECT_EQ(entriesOf(graphics.path()), sortedNames);
    for (const QString& name : expectedNames)
        EXPECT_EQ(readFile(graphics.path(name)), png);

    // A name taken by something else than a file is skipped as well.
    QDir(graphics.path()).mkdir(stamp + QStringLiteral("-3.png"));
    const auto layer = KOVA_Template::initWithPasteboardPropertyList(png, QStringLiteral("public.png"));
    EXPECT_EQ(layer->graphicPath(), graphics.path(stamp + QStringLiteral("-4.png")));
}

TEST_F(KOVA_TemplatePastingTest, ImageFrameIsTheUprightPixelSize)
{
    const std::optional<QByteArray> rotated =
        ImageProperties::rewrite(encodedImage(3000, 4000, "JPEG"), {{ImageProperties::orientationKey, 6}});
    ASSERT_TRUE(rotated);
    const auto layer = KOVA_Template::initWithPasteboardPropertyList(*rotated, QStringLiteral("public.jpeg"));
    EXPECT_EQ(layer->graphicPath(), graphics.path(stamp + QStringLiteral(".jpeg")));
    EXPECT_EQ(layer->frame(), QRectF(0, 0, 4000, 3000));
}

TEST_F(KOVA_TemplatePastingTest, ContentsThatCannotBecomeALayerGiveALayerWithoutType)
{
    const QByteArray png = encodedImage(4, 4, "PNG");
    // Image contents that are not data, and a type neither text nor image.
    expectNoLayer(KOVA_Template::initWithPasteboardPropertyList(QImage(4, 4, QImage::Format_RGB32), QStringLiteral("public.png")));
    expectNoLayer(KOVA_Template::initWithPasteboardPropertyList(png, QStringLiteral("com.adobe.pdf")));
    EXPECT_TRUE(entriesOf(graphics.path()).isEmpty());

    // A folder that cannot be written: no retries, a log line naming the file and the reason.
    const QString notAFolder = graphics.path(QStringLiteral("file"));
    ASSERT_TRUE(kova::test::writeFile(notAFolder, "x"));
    for (const QString& folder : {notAFolder, graphics.path(QStringLiteral("missing"))}) {
        preferences()->setObject(folder, key_kovaFolderGraphics);
        testing::internal::CaptureStderr();
        expectNoLayer(KOVA_Template::initWithPasteboardPropertyList(png, QStringLiteral("public.png")));
        const QString log = QString::fromStdString(testing::internal::GetCapturedStderr());
        EXPECT_EQ(log.count(QStringLiteral("ERROR: could not save the pasted graphic")), 1) << qPrintable(log);
        EXPECT_TRUE(log.contains(folder + QLatin1Char('/') + stamp + QStringLiteral(".png"))) << qPrintable(log);
        EXPECT_TRUE(log.contains(QStringLiteral("Not a directory")) || log.contains(QStringLiteral("No such file")))
            << qPrintable(log);
    }
    // No folder set: nothing is written next to the working directory.
    preferences()->removeObjectForKey(key_kovaFolderGraphics);
    testing::internal::CaptureStderr();
    expectNoLayer(KOVA_Template::initWithPasteboardPropertyList(png, QStringLiteral("public.png")));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no graphics folder"), std::string::npos);
}

TEST_F(KOVA_TemplatePastingTest, AllNamesTakenGivesNoLayer)
{
    ASSERT_TRUE(kova::test::writeFile(graphics.path(stamp + QStringLiteral(".png")), "taken"));
    for (int taken = 1; taken <= 998; ++taken)
        ASSERT_TRUE(kova::test::writeFile(graphics.path(stamp + QStringLiteral("-%1.png").arg(taken)), "taken"));
    testing::internal::CaptureStderr();
    expectNoLayer(KOVA_Template::initWithPasteboardPropertyList(encodedImage(4, 4, "PNG"), QStringLiteral("public.png")));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("all 999 names are taken"), std::string::npos);
    EXPECT_EQ(entriesOf(graphics.path()).size(), 999);
}

// The text layer a paste makes: its string, font, size, alignment, colour and frame.
void expectRedCentredHello(const KOVA_Template::Pointer& layer, const QString& family)
{
    EXPECT_EQ(layer->layerType(), KOVA_Template::layerTypeTextbox);
    EXPECT_EQ(layer->stringValue(), QStringLiteral("Hello"));
    EXPECT_EQ(layer->fontName(), family);
    EXPECT_EQ(layer->fontSize(), QStringLiteral("24"));
    EXPECT_EQ(layer->textAlignmentString(), QStringLiteral("center"));
    EXPECT_EQ(layer->textColorCode(), QStringLiteral("#FF0000FF"));
    // Measured with one point to a pixel, as the layer is drawn.
    QFont font;
    font.setFamilies({family});
    font.setPixelSize(24);
    const QFontMetricsF metrics(font);
    EXPECT_EQ(layer->frame().topLeft(), QPointF(0, 0));
    EXPECT_NEAR(layer->frame().width(), metrics.horizontalAdvance(QStringLiteral("Hello")), 1.0);
    EXPECT_NEAR(layer->frame().height(), metrics.height(), 1.0);
}

TEST_F(KOVA_TemplatePastingTest, RichTextTakesTheFirstCharactersAttributes)
{
    const QString family = QStringLiteral("DejaVu Sans");
    const QByteArray html = "<html><head><meta charset=\"utf-8\"></head><body><p align=\"center\">"
                            "<span style=\"color:#ff0000; font-family:'DejaVu Sans'; font-size:24pt\">Hello</span>"
                            "</p></body></html>";
    const QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss DejaVu Sans;}{\\colortbl;\\red255\\green0\\blue0;}"
                           "\\pard\\qc\\f0\\fs48\\cf1 Hello}";
    for (const auto& [contents, type] : {std::pair{QVariant(html), QStringLiteral("public.html")},
                                         std::pair{QVariant(QString::fromUtf8(html)), QStringLiteral("public.html")},
                                         std::pair{QVariant(rtf), QStringLiteral("public.rtf")}}) {
        SCOPED_TRACE(type.toStdString());
        preferences()->removeObjectForKey(key_kovaTemplateLastUsedColorText);
        expectRedCentredHello(KOVA_Template::initWithPasteboardPropertyList(contents, type), family);
        EXPECT_EQ(preferences()->stringForKey(key_kovaTemplateLastUsedColorText), QStringLiteral("#FF0000FF"));
    }

    // Sizes keep their fraction; a size in pixels counts as the same number of points.
    const auto half = KOVA_Template::initWithPasteboardPropertyList(QByteArray("{\\rtf1\\fs25 x}"), QStringLiteral("public.rtf"));
    EXPECT_EQ(half->fontSize(), QStringLiteral("12.5"));
    const auto pixels = KOVA_Template::initWithPasteboardPropertyList(
        QByteArray("<span style=\"font-size:16px\">x</span>"), QStringLiteral("public.html"));
    EXPECT_EQ(pixels->fontSize(), QStringLiteral("16"));
}

TEST_F(KOVA_TemplatePastingTest, WhatTheTextLeavesOpenStaysUnset)
{
    // Natural alignment and no colour: neither entry is stored.
    for (const auto& [contents, type] :
         {std::pair{QVariant(QByteArray("Hello\nworld")), QStringLiteral("public.plain-text")},
          std::pair{QVariant(QStringLiteral("Hello\nworld")), QStringLiteral("public.text")},
          std::pair{QVariant(QByteArray("Hello<br>world")), QStringLiteral("public.html")},
          std::pair{QVariant(QByteArray("{\\rtf1\\pard Hello\\par world}")), QStringLiteral("public.rtf")}}) {
        SCOPED_TRACE(type.toStdString());
        const auto layer = KOVA_Template::initWithPasteboardPropertyList(contents, type);
        EXPECT_EQ(layer->stringValue(), QStringLiteral("Hello\nworld"));
        EXPECT_FALSE(layer->value(KOVA_XML_Key_textAlignment).isValid());
        EXPECT_EQ(layer->textAlignment(), KOVA_Template::textAlignmentLeft);
        EXPECT_FALSE(layer->value(KOVA_XML_Key_textColor).isValid());
        EXPECT_FALSE(layer->value(KOVA_XML_Key_size).isValid());
        // Framed for two lines in the font the layer draws with (48 pixels by default).
        const QFontMetricsF metrics(layer->attributes()->font);
        EXPECT_NEAR(layer->frame().height(), 2 * metrics.height(), 2.0);
        EXPECT_NEAR(layer->frame().width(),
                    std::max(metrics.horizontalAdvance(QStringLiteral("Hello")), metrics.horizontalAdvance(QStringLiteral("world"))),
                    1.0);
    }
    EXPECT_TRUE(preferences()->stringForKey(key_kovaTemplateLastUsedColorText).isEmpty());

    // Empty text: a text layer without text or frame.
    for (const QVariant& empty : {QVariant(QByteArray()), QVariant(42)}) {
        const auto layer = KOVA_Template::initWithPasteboardPropertyList(empty, QStringLiteral("public.plain-text"));
        EXPECT_EQ(layer->layerType(), KOVA_Template::layerTypeTextbox);
        EXPECT_FALSE(layer->value(KOVA_XML_Key_string).isValid());
        EXPECT_FALSE(layer->value(KOVA_XML_Key_frame).isValid());
    }
}

TEST_F(KOVA_TemplatePastingTest, ReadableTypesComeOnceInReadingOrder)
{
    EXPECT_EQ(KOVA_Template::pasteboardReadableTypes(), (QStringList{QStringLiteral("public.text"), QStringLiteral("public.image")}));

    QMimeData pasteboard;
    for (const char* format : {"application/x-kova-unknown", "public.image", "image/png", "text/plain",
                               "text/plain;charset=utf-8", "public.text", "text/html", "UTF8_STRING"})
        pasteboard.setData(QString::fromLatin1(format), QByteArray("x"));
    EXPECT_EQ(KOVA_Template::readableTypesForPasteboard(pasteboard),
              (QStringList{QStringLiteral("public.html"), QStringLiteral("public.plain-text"), QStringLiteral("public.text"),
                           QStringLiteral("public.png"), QStringLiteral("public.image")}));
    EXPECT_EQ(KOVA_Template::readingOptionsForType(QStringLiteral("public.rtf"), pasteboard),
              KOVA_Template::pasteboardReadingAsData);
    EXPECT_TRUE(KOVA_Template::readableTypesForPasteboard(QMimeData()).isEmpty());
}

} // namespace
