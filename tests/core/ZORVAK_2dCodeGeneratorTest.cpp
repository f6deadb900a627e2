#include "core/codes/ZORVAK_2dCodeGenerator.h"
#include "core/codes/ZORVAK_AztecCodeGenerator.h"
#include "core/codes/ZORVAK_Code128Generator.h"
#include "core/codes/ZORVAK_PDF417CodeGenerator.h"
#include "core/codes/ZORVAK_QRCodeGenerator.h"

#include <QColorSpace>
#include <QPainter>

#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>

namespace {

using Generator = ZORVAK_2dCodeGenerator;

constexpr int moduleSize = 16;
const QString latin1Message = QStringLiteral("Grüße aus Zürich: ½ × 3 = 1½ © Ñandú");
const QString digits = QStringLiteral("004711202406300815");

// The number of pixels in which the images differ, in the canvas's format; -1 when their sizes differ.
qsizetype differingPixels(const QImage& image, const QImage& other)
{
    if (image.size() != other.size())
        return -1;
    const QImage first = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage second = other.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    qsizetype differing = 0;
    for (int y = 0; y < first.height(); ++y)
        for (int x = 0; x < first.width(); ++x)
            differing += first.pixel(x, y) != second.pixel(x, y);
    return differing;
}

struct Decoded {
    bool found = false;
    QString text;
    QString ecLevel;
};

// What a reader finds in the code, given the quiet zone a printed code has around it.
Decoded decode(const QImage& code, ZXing::BarcodeFormat format)
{
    const int margin = 10 * moduleSize;
    QImage page(code.width() + 2 * margin, code.height() + 2 * margin, QImage::Format_RGBA8888);
    page.fill(Qt::white);
    QPainter(&page).drawImage(margin, margin, code);
    const ZXing::ImageView view(page.constBits(), page.width(), page.height(), ZXing::ImageFormat::RGBX,
                                static_cast<int>(page.bytesPerLine()));
    const auto result = ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(format));
    return {result.isValid(), QString::fromStdString(result.text()), QString::fromStdString(result.ecLevel())};
}

QImage codeOf(int type, const QString& message, const QVariantMap& options = {})
{
    Generator generator;
    generator.setType(type);
    generator.setMessage(message);
    generator.setOptions(options);
    return generator.createOutputImage();
}

struct Symbology {
    int type;
    ZXing::BarcodeFormat format;
    QString longMessage;
    bool takesLatin1;
};

const Symbology symbologies[] = {
    {0, ZXing::BarcodeFormat::Aztec, QString(400, QLatin1Char('a')) + QStringLiteral("Z9"), true},
    {1, ZXing::BarcodeFormat::QRCode, QStringLiteral("https://orders.example.com/lab/").repeated(12), true},
    {2, ZXing::BarcodeFormat::Code128, QStringLiteral("ORDER-2024/06-30 #1187 {pickup}; ok?"), false},
    {3, ZXing::BarcodeFormat::PDF417, QStringLiteral("Print order 4711, 12 pages, glossy. ").repeated(8), true},
};

class EachSymbology : public ::testing::TestWithParam<Symbology> {};

TEST_P(EachSymbology, CodesDecodeBackToTheirMessages)
{
    const Symbology symbology = GetParam();
    QStringList messages{QStringLiteral("ABC"), QStringLiteral("x"), digits, symbology.longMessage};
    if (symbology.takesLatin1)
        messages << latin1Message;
    for (const QString& message : messages) {
        const QImage code = codeOf(symbology.type, message);
        ASSERT_FALSE(code.isNull()) << message.toStdString();
        EXPECT_EQ(code.format(), QImage::Format_RGBA8888_Premultiplied);
        EXPECT_EQ(code.colorSpace(), QColorSpace(QColorSpace::SRgb));
        EXPECT_EQ(code.width() % moduleSize, 0);
        const Decoded decoded = decode(code, symbology.format);
        ASSERT_TRUE(decoded.found) << message.toStdString();
        EXPECT_EQ(decoded.text, message);
    }
}

TEST_P(EachSymbology, RefusesEmptyMessagesAndCharactersOutsideItsEncoding)
{
    const Symbology symbology = GetParam();
    EXPECT_TRUE(codeOf(symbology.type, QString()).isNull());
    EXPECT_TRUE(codeOf(symbology.type, QStringLiteral("")).isNull());
    EXPECT_TRUE(codeOf(symbology.type, QStringLiteral("Order 漢字")).isNull());
    EXPECT_TRUE(codeOf(symbology.type, QStringLiteral("Price 5 €")).isNull());
    EXPECT_EQ(codeOf(symbology.type, QStringLiteral("Café")).isNull(), !symbology.takesLatin1);
}

INSTANTIATE_TEST_SUITE_P(CodeImages, EachSymbology, ::testing::ValuesIn(symbologies),
                         [](const auto& info) { return std::to_string(info.param.type); });

TEST(CodeImages, ModulesAreSixteenPixelBlocks)
{
    Generator generator;
    EXPECT_EQ(generator.outputScale(), 16.0);
    // "ABC" fits the smallest QR symbol (21 modules) and the smallest compact Aztec symbol (15).
    EXPECT_EQ(codeOf(1, QStringLiteral("ABC")).size(), QSize(21 * moduleSize, 21 * moduleSize));
    EXPECT_EQ(codeOf(0, QStringLiteral("ABC")).size(), QSize(15 * moduleSize, 15 * moduleSize));
    const QImage code = codeOf(3, digits);
    const QImage modules = code.scaled(code.size() / moduleSize, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    EXPECT_EQ(Generator::image(modules, moduleSize, moduleSize), code);
}

TEST(CodeImages, CorrectionLevelsReachTheCode)
{
    // QR levels 0 L, 1 the default M, 2 H, 3 Q.
    const QString qrLetters[] = {QStringLiteral("L"), QStringLiteral("M"), QStringLiteral("H"), QStringLiteral("Q")};
    for (int level = 0; level < 4; ++level) {
        ZORVAK_QRCodeGenerator generator;
        generator.setCorrectionLevel(level);
        generator.setMessage(QStringLiteral("level"));
        const Decoded decoded = decode(generator.createOutputImage(), ZXing::BarcodeFormat::QRCode);
        EXPECT_EQ(decoded.text, QStringLiteral("level"));
        EXPECT_EQ(decoded.ecLevel, qrLetters[level]) << level;
    }
    for (int level = 0; level <= 8; level += 4) {
        ZORVAK_PDF417CodeGenerator generator;
        generator.setCorrectionLevel(level);
        generator.setMessage(digits);
        const Decoded decoded = decode(generator.createOutputImage(), ZXing::BarcodeFormat::PDF417);
        EXPECT_EQ(decoded.text, digits);
        EXPECT_EQ(decoded.ecLevel, QString::number(level));
    }
    int previousWidth = 0;
    for (double percent : {5.0, 23.0, 50.0, 95.0}) {
        ZORVAK_AztecCodeGenerator generator;
        generator.setCorrectionLevel(percent);
        generator.setMessage(latin1Message);
        const QImage code = generator.createOutputImage();
        EXPECT_EQ(decode(code, ZXing::BarcodeFormat::Aztec).text, latin1Message) << percent;
        EXPECT_GE(code.width(), previousWidth) << "more correction never makes a smaller symbol";
        previousWidth = code.width();
    }
    EXPECT_GT(previousWidth, codeOf(0, latin1Message, {{Generator::correctionLevelOption, 5}}).width());
}

TEST(CodeImages, QuietSpaceWidensCode128ByWhiteModules)
{
    const auto widthWith = [](const QVariantMap& options) {
        return codeOf(2, QStringLiteral("A1"), options).width() / moduleSize;
    };
    const int bare = widthWith({{Generator::quietSpaceOption, 0}});
    EXPECT_EQ(widthWith({{Generator::quietSpaceOption, 20}}), bare + 40);
    EXPECT_EQ(widthWith({{Generator::quietSpaceOption, 7}}), bare + 14);
    EXPECT_EQ(widthWith({}), bare + 20) << "10 modules each side by default";
    ZORVAK_Code128Generator generator;
    generator.setQuietSpace(0);
    generator.setMessage(QStringLiteral("A1"));
    const QImage code = generator.createOutputImage();
    EXPECT_EQ(code.pixelColor(0, 0), QColor(Qt::black)) << "the first bar starts at the edge";
    EXPECT_EQ(decode(code, ZXing::BarcodeFormat::Code128).text, QStringLiteral("A1"));
}

TEST(CodeImages, OptionsOutOfRangeAreIgnored)
{
    const QString message = QStringLiteral("range");
    const struct {
        int type;
        QString option;
        QVariantList outOfRange;
    } cases[] = {
        {0, Generator::correctionLevelOption, {4, 96, -1, QStringLiteral("high")}},
        {1, Generator::correctionLevelOption, {QString(), QStringLiteral("X"), 2}},
        {2, Generator::quietSpaceOption, {-1, 21, 1000}},
        {3, Generator::correctionLevelOption, {-1, 9, 8.5}},
    };
    for (const auto& each : cases) {
        const QImage byDefault = codeOf(each.type, message);
        for (const QVariant& value : each.outOfRange)
            EXPECT_EQ(codeOf(each.type, message, {{each.option, value}}), byDefault)
                << each.type << " " << value.toString().toStdString();
    }
}

TEST(CodeGenerators, SettersAcceptTheirRangeAndClearTheOptionsOtherwise)
{
    ZORVAK_AztecCodeGenerator aztec;
    aztec.setCorrectionLevel(50);
    EXPECT_EQ(aztec.options(), (QVariantMap{{Generator::correctionLevelOption, 50.0}}));
    EXPECT_EQ(aztec.correctionLevel(), 50.0);
    aztec.setCorrectionLevel(4);
    EXPECT_TRUE(aztec.options().isEmpty());
    EXPECT_FALSE(aztec.correctionLevel());

    ZORVAK_PDF417CodeGenerator pdf417;
    pdf417.setCorrectionLevel(8);
    EXPECT_EQ(pdf417.correctionLevel(), 8.0);
    pdf417.setCorrectionLevel(9);
    EXPECT_TRUE(pdf417.options().isEmpty());

    ZORVAK_Code128Generator code128;
    code128.setQuietSpace(20);
    EXPECT_EQ(code128.quietSpace(), 20.0);
    code128.setQuietSpace(std::nullopt);
    EXPECT_TRUE(code128.options().isEmpty());

    ZORVAK_QRCodeGenerator qr;
    EXPECT_EQ(qr.correctionLevel(), 1);
    qr.setCorrectionLevel(3);
    EXPECT_EQ(qr.options(), (QVariantMap{{Generator::correctionLevelOption, QStringLiteral("Q")}}));
    EXPECT_EQ(qr.correctionLevel(), 3);
    qr.setCorrectionLevel(1);
    EXPECT_TRUE(qr.options().isEmpty());
    EXPECT_EQ(qr.correctionLevel(), 1);
    qr.setOptions({{Generator::correctionLevelOption, QStringLiteral("M")}, {QStringLiteral("other"), 1}});
    EXPECT_EQ(qr.correctionLevel(), 1);
    qr.setMessage(QStringLiteral("ABC"));
    EXPECT_FALSE(qr.createOutputImage().isNull());
    EXPECT_TRUE(qr.options().isEmpty()) << "making the code keeps only the correction level";
}

TEST(CodeGenerators, ClassesByTypeAndForcedTypes)
{
    const std::pair<qint64, int> typeAndClassType[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {7, 0}, {-1, 0}};
    for (const auto& [type, classType] : typeAndClassType)
        EXPECT_EQ(Generator::classForType(type)()->type(), classType) << type;
    EXPECT_EQ(Generator::classForNumber(QVariant())()->type(), 0);
    EXPECT_EQ(Generator::classForNumber(3)()->type(), 3);

    ZORVAK_QRCodeGenerator qr;
    qr.setType(3);
    EXPECT_EQ(qr.type(), 1);
    // A plain generator makes a Code 128 code for any type other than 0, 1 and 3.
    const Decoded decoded = decode(codeOf(7, QStringLiteral("seven")), ZXing::BarcodeFormat::Code128);
    EXPECT_EQ(decoded.text, QStringLiteral("seven"));
}

TEST(CodeGenerators, ReplyGetsTheCodeAndTheOutputScale)
{
    int replies = 0;
    Generator::inputMessage(&ZORVAK_QRCodeGenerator::make, QStringLiteral("ABC"), [&](const QImage& bitmap, double scale) {
        ++replies;
        EXPECT_EQ(bitmap, Generator::createImageWithMessage(&ZORVAK_QRCodeGenerator::make, QStringLiteral("ABC")));
        EXPECT_EQ(scale, 16.0);
    });
    Generator::inputMessage(&ZORVAK_Code128Generator::make, QStringLiteral("ü"), [&](const QImage& bitmap, double) {
        ++replies;
        EXPECT_TRUE(bitmap.isNull());
    });
    EXPECT_EQ(replies, 2);
}

TEST(CodeGenerators, RefusalsAreLogged)
{
    testing::internal::CaptureStderr();
    EXPECT_TRUE(codeOf(2, QStringLiteral("Straße")).isNull());
    EXPECT_TRUE(codeOf(1, QString(8000, QLatin1Char('x'))).isNull());
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("No Code 128 code for \"Straße\""), std::string::npos) << log;
    EXPECT_NE(log.find("No QR code for"), std::string::npos) << log;
}

TEST(CodeGeometry, NormalizingGivesZeroForEmptySizes)
{
    EXPECT_EQ(Generator::normalizedPoint({50, 20}, {100, 0}), QPointF(0, 0));
    EXPECT_EQ(Generator::normalizedPoint({50, 20}, {100, 40}), QPointF(0.5, 0.5));
    EXPECT_EQ(Generator::normalizedRect({10, 20, 50, 40}, {0, 40}), QRectF());
    EXPECT_EQ(Generator::normalizedRect({10, 20, 50, 40}, {100, 40}), QRectF(0.1, 0.5, 0.5, 1));
    EXPECT_EQ(Generator::denormalizedRect({0.1, 0.5, 0.5, 1}, {100, 40}), QRectF(10, 20, 50, 40));
    EXPECT_EQ(Generator::denormalizedPoint({0.5, 0.25}, {100, 40}), QPointF(50, 10));
}

// A canvas whose painter uses the bitmap convention: origin at the bottom left, y up.
class CodeCanvas : public ::testing::Test {
protected:
    static constexpr int width = 1000;
    static constexpr int height = 500;

    CodeCanvas()
        : canvas(width, height, QImage::Format_ARGB32_Premultiplied)
    {
        canvas.fill(Qt::white);
    }

    void draw(const QVariant& codes, const QRectF& rect = QRectF(0, 0, width, height))
    {
        QPainter painter(&canvas);
        painter.translate(0, height);
        painter.scale(1, -1);
        Generator::draw(codes, painter, rect);
    }

    // The code expected at `scale` pixels per module with its lower-left corner at (x, y).
    struct Placed {
        QImage code;
        QRect rect;
    };
    static Placed placed(int type, const QString& message, int scale, int x, int y)
    {
        const QImage code = Generator::createImageWithMessage(Generator::classForType(type), message);
        const QSize size = code.size() / moduleSize * scale;
        return {code.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation), QRect(QPoint(x, y), size)};
    }
    static Placed placedAtTop(int type, const QString& message, int scale, int x, int topFromTop)
    {
        Placed code = placed(type, message, scale, x, 0);
        code.rect.moveTop(height - topFromTop - code.rect.height());
        return code;
    }

    // The canvas area of a rectangle given in bitmap coordinates.
    QImage area(const QRect& bitmapRect) const
    {
        return canvas.copy(bitmapRect.x(), height - bitmapRect.y() - bitmapRect.height(), bitmapRect.width(),
                           bitmapRect.height());
    }

    // Each code is where it belongs, upright and pixel exact, and nothing else is drawn.
    void expectOnly(const std::vector<Placed>& codes) const
    {
        QImage rest = canvas;
        for (const Placed& code : codes) {
            EXPECT_EQ(differingPixels(area(code.rect), code.code), 0)
                << "code at " << code.rect.x() << "," << code.rect.y();
            QPainter(&rest).fillRect(code.rect.x(), height - code.rect.y() - code.rect.height(), code.rect.width(),
                                     code.rect.height(), Qt::white);
        }
        QImage blank(canvas.size(), canvas.format());
        blank.fill(Qt::white);
        EXPECT_EQ(differingPixels(rest, blank), 0) << "pixels drawn outside the codes";
    }

    static QVariantMap code(int type, const QString& message, double scale, const QVariantMap& more = {})
    {
        QVariantMap code = more;
        code.insert(zorvak_2dCodeKey_type, type);
        code.insert(zorvak_2dCodeKey_message, message);
        code.insert(zorvak_2dCodeKey_scale, scale);
        return code;
    }

    QImage canvas;
};

TEST_F(CodeCanvas, PositionsAreTenPixelsFromTheirCorners)
{
    const QString abc = QStringLiteral("ABC");
    draw(QVariantList{code(1, abc, 4, {{zorvak_2dCodeKey_position, 3}}),
                      code(2, QStringLiteral("LOT 7"), 2, {{zorvak_2dCodeKey_position, 1}}),
                      code(3, digits, 1, {{zorvak_2dCodeKey_position, 2}}), code(0, abc, 3)});
    Placed qr = placed(1, abc, 4, width - 84 - 10, height - 84 - 10);
    Placed code128 = placed(2, QStringLiteral("LOT 7"), 2, 0, 10);
    code128.rect.moveLeft(width - code128.rect.width() - 10);
    expectOnly({qr, code128, placedAtTop(3, digits, 1, 10, 10), placed(0, abc, 3, 10, 10)});
    EXPECT_EQ(qr.rect.size(), QSize(84, 84));
}

TEST_F(CodeCanvas, OriginsAreFractionsOfTheRectangleAndMayCountFromTheFarSide)
{
    const QString message = QStringLiteral("origin");
    draw(QVariantList{
        code(1, message, 2, {{zorvak_2dCodeKey_origin, QStringLiteral("{0.5, 0}")}, {zorvak_2dCodeKey_isFlippedX, true}}),
        code(0, message, 3, {{zorvak_2dCodeKey_origin, QPointF(0.1, 0.2)}, {zorvak_2dCodeKey_isFlippedY, 1},
                             {zorvak_2dCodeKey_position, 3}}),
    });
    Placed rightEdgeAtMiddle = placed(1, message, 2, 0, 0);
    rightEdgeAtMiddle.rect.moveRight(width / 2 - 1);
    expectOnly({rightEdgeAtMiddle, placedAtTop(0, message, 3, 100, 100)});
}

TEST_F(CodeCanvas, TheRectangleOriginIsHonoured)
{
    const QRectF rect(200, 100, 600, 300);
    draw(QVariantList{code(1, QStringLiteral("A"), 3, {{zorvak_2dCodeKey_origin, QStringLiteral("{0.5,0.5}")}}),
                      code(0, QStringLiteral("B"), 2, {{zorvak_2dCodeKey_position, 3}})},
         rect);
    Placed aztec = placed(0, QStringLiteral("B"), 2, 0, 0);
    aztec.rect.moveTopLeft({800 - 10 - aztec.rect.width(), 400 - 10 - aztec.rect.height()});
    expectOnly({placed(1, QStringLiteral("A"), 3, 500, 250), aztec});
}

TEST_F(CodeCanvas, SingleDictionariesDrawAndBadCodesDrawNothing)
{
    draw(code(3, QStringLiteral("single"), 2));
    expectOnly({placed(3, QStringLiteral("single"), 2, 10, 10)});

    canvas.fill(Qt::white);
    testing::internal::CaptureStderr();
    draw(QStringLiteral("not codes"));
    draw(QVariantList{QStringLiteral("not a code"), code(1, QStringLiteral("漢"), 4), code(2, QStringLiteral("é"), 4),
                      code(0, QString(), 4), code(0, QStringLiteral("no scale"), 0), code(0, QStringLiteral("x"), -3)});
    QVariantMap withoutScale = code(1, QStringLiteral("ABC"), 1);
    withoutScale.remove(zorvak_2dCodeKey_scale);
    draw(withoutScale);
    const std::string log = testing::internal::GetCapturedStderr();
    expectOnly({});
    EXPECT_NE(log.find("bad arguments"), std::string::npos) << log;
}

TEST_F(CodeCanvas, TypesOutsideTheTableDrawAztecCodes)
{
    draw(code(7, QStringLiteral("seven"), 2));
    const Placed aztec = placed(0, QStringLiteral("seven"), 2, 10, 10);
    expectOnly({aztec});
    EXPECT_EQ(decode(area(aztec.rect), ZXing::BarcodeFormat::Aztec).text, QStringLiteral("seven"));
}

} // namespace
