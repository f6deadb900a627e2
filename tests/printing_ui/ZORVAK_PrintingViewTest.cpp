#include "printing/ui/PrintingPDEController.h"
#include "printing/ui/ZORVAK_PrintSettings.h"
#include "printing/ui/ZORVAK_PrintingView.h"
#include "printing/ui/ZORVAK_PrinterCatalogue.h"

#include "platform/defaults/UserDefaults.h"

#include "FileFixtures.h"
#include "HostileFiles.h"

#include <QBuffer>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTabWidget>
#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>
#include <poppler/qt6/poppler-qt6.h>

#include <map>

namespace {

// One printer, "PDF", that writes its page into a PDF file.
class PdfCatalogue : public ZORVAK_PrinterCatalogue {
public:
    explicit PdfCatalogue(QString output) : m_output(std::move(output)) {}
    QStringList printerNames() const override { return {QStringLiteral("PDF")}; }
    QStringList printerTypes() const override { return {QStringLiteral("Qt PDF")}; }
    QList<QPageSize> pageSizes(const QString&) const override
    {
        return {QPageSize(QPageSize::A4), QPageSize(QPageSize::A5)};
    }
    QPageSize defaultPageSize(const QString&) const override { return QPageSize(QPageSize::A4); }
    std::unique_ptr<QPrinter> printerNamed(const QString&) const override
    {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(m_output);
        return printer;
    }

private:
    QString m_output;
};

QImage solid(int width, int height, QColor colour = Qt::red)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

// The text of the code in the area, read with a white quiet zone around it.
std::string decoded(const QImage& area, ZXing::BarcodeFormat format)
{
    QImage page = solid(area.width() + 80, area.height() + 80, Qt::white).convertToFormat(QImage::Format_RGBA8888);
    QPainter(&page).drawImage(40, 40, area);
    const ZXing::ImageView view(page.constBits(), page.width(), page.height(), ZXing::ImageFormat::RGBX,
                                static_cast<int>(page.bytesPerLine()));
    return ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(format)).text();
}

TEST(ZORVAK_PrintingView, PlacesTheImageByScalingMode)
{
    const QRectF square(0, 0, 100, 100);
    const QVariantMap at144dpi{{QStringLiteral("DPIWidth"), 144}};
    const QVariantMap jfifPerCentimetre{{QStringLiteral("{JFIF}"),
                                         QVariantMap{{QStringLiteral("DensityUnit"), 2},
                                                     {QStringLiteral("XDensity"), 100},
                                                     {QStringLiteral("YDensity"), 100}}}};
    const QVariantMap tooCoarse{{QStringLiteral("DPIWidth"), 30}, {QStringLiteral("DPIHeight"), 30}};
    const struct {
        qint64 mode;
        QVariantMap properties;
        QRectF expected;
    } cases[] = {
        {1, {}, {0, 25, 100, 50}},
        {0, {}, {-50, 0, 200, 100}},
        {7, {}, {-50, 0, 200, 100}},
        {2, {}, {0, 0, 100, 100}},
        {3, at144dpi, {0, 0, 100, 50}},
        {3, jfifPerCentimetre, {0, 0, 200 * 72 / 254.0, 100 * 72 / 254.0}},
        {3, tooCoarse, {0, 0, 200, 100}},
    };
    for (const auto& c : cases) {
        const QRectF rect = ZORVAK_PrintingView::drawingRect(square, solid(200, 100), c.mode, c.properties);
        EXPECT_NEAR(rect.x(), c.expected.x(), 1e-9) << c.mode;
        EXPECT_NEAR(rect.y(), c.expected.y(), 1e-9) << c.mode;
        EXPECT_NEAR(rect.width(), c.expected.width(), 1e-9) << c.mode;
        EXPECT_NEAR(rect.height(), c.expected.height(), 1e-9) << c.mode;
    }
}

TEST(ZORVAK_PrintingView, DrawsByScalingModeAndFromItsContents)
{
    // A 2:1 image, its left quarter green, then blue, its right half red, on black.
    QImage picture = solid(200, 100, Qt::red);
    QPainter(&picture).fillRect(0, 0, 100, 100, Qt::blue);
    QPainter(&picture).fillRect(0, 0, 50, 100, Qt::green);
    QByteArray png;
    QBuffer buffer(&png);
    picture.save(&buffer, "PNG");
    const auto preferences = platform::UserDefaults::standardUserDefaults();
    preferences->setInteger(2, zorvak_imageScaling);
    const QPoint probes[] = {{10, 23}, {10, 27}, {40, 50}, {90, 72}, {90, 77}, {2, 2}, {97, 97}};
    const std::map<char, QColor> colours{{'k', Qt::black}, {'g', Qt::green}, {'b', Qt::blue}, {'r', Qt::red}};
    const struct {
        qint64 mode;
        bool fromContents; // whose own properties replace the view's: the preference's stretch
        const char* expected;
    } cases[] = {{1, false, "kgbrkkk"}, {0, false, "bbbrrbr"}, {2, false, "ggbrrgr"}, {1, true, "ggbrrgr"}};
    for (const auto& c : cases) {
        ZORVAK_PrintingView view;
        view.setImageProperties({{zorvak_imageScaling, c.mode}, {zorvak_barcodeObject, QVariantList()}});
        c.fromContents ? view.setContents(png) : view.setImage(picture);
        QImage page = solid(100, 100, Qt::black);
        view.drawRect(std::make_unique<QPainter>(&page).get(), QRectF(0, 0, 100, 100));
        for (size_t i = 0; i < std::size(probes); ++i)
            EXPECT_EQ(page.pixelColor(probes[i]), colours.at(c.expected[i])) << c.mode << c.fromContents << ' ' << i;
    }
    preferences->removeObjectForKey(zorvak_imageScaling);
}

TEST(ZORVAK_PrintingView, DrawsTheImageUprightAndTheFourDefaultCodes)
{
    // The image's top half blue, bottom half red: upright when blue is on top.
    QImage picture = solid(100, 100, Qt::white);
    QPainter(&picture).fillRect(0, 0, 100, 50, Qt::blue);
    ZORVAK_PrintingView view;
    view.setImage(picture);
    view.setImageProperties({{QStringLiteral("imageScaling"), 2}, {QStringLiteral("barcodeObject"), QVariantList()}});
    QImage page = solid(100, 100, Qt::black);
    {
        QPainter painter(&page);
        view.drawRect(&painter, QRectF(0, 0, 100, 100));
    }
    EXPECT_EQ(page.pixelColor(50, 10), QColor(Qt::blue));
    EXPECT_EQ(page.pixelColor(50, 90), QColor(Qt::white));

    view.setImage(solid(1000, 1000, Qt::white));
    view.setImageProperties({{QStringLiteral("barcodeScaling"), 4.0},
                             {QStringLiteral("barcodeMessage"), QStringLiteral("Morvanta_123")}});
    QImage codes = solid(1000, 1000, Qt::black).convertToFormat(QImage::Format_RGBA8888);
    {
        QPainter painter(&codes);
        view.drawRect(&painter, QRectF(0, 0, 1000, 1000));
    }
    // 4 pixels a module, 10 pixels from the corners: the Aztec code (19
    // modules) upper right, the QR code (21) lower right, the PDF417 code
    // upper left; the Code 128 (32 modules high, after a quiet zone of 10) at
    // {10,40} from the lower left.
    const struct {
        ZXing::BarcodeFormat format;
        QRect area;
    } expected[] = {
        {ZXing::BarcodeFormat::Aztec, {1000 - 10 - 76, 10, 76, 76}},
        {ZXing::BarcodeFormat::QRCode, {1000 - 10 - 84, 1000 - 10 - 84, 84, 84}},
        {ZXing::BarcodeFormat::Code128, {10, 1000 - 40 - 128, 990, 128}},
        {ZXing::BarcodeFormat::PDF417, {0, 0, 500, 200}},
    };
    for (const auto& code : expected)
        EXPECT_EQ(decoded(codes.copy(code.area), code.format), "Morvanta_123") << int(code.format);
    // The Code 128's first bar ends 40 pixels above the bottom.
    EXPECT_EQ(codes.pixelColor(51, 959), QColor(Qt::black));
    EXPECT_EQ(codes.pixelColor(51, 960), QColor(Qt::white));
}

TEST(ZORVAK_PrintingView, PrintsOnePageOnTheNamedPaperInTheImagesOrientation)
{
    const kova::test::ScratchFolder folder;
    const struct {
        QSize image;
        QString paper;
        QSizeF expectedPoints; // A5 is 420 x 595 points, A4 595 x 842
    } cases[] = {
        {{3000, 2000}, QStringLiteral("A5"), {595, 420}},
        {{2000, 3000}, QStringLiteral("A5"), {420, 595}},
        {{2000, 2000}, QStringLiteral("A5"), {420, 595}},
        {{2000, 3000}, QStringLiteral("No such paper"), {595, 842}},
    };
    for (const auto& c : cases) {
        const QString output = folder.path(QStringLiteral("page.pdf"));
        bool answered = false;
        const QString logged = kova::test::loggedBy([&] {
            ZORVAK_PrintingView::printImage(
                solid(c.image.width(), c.image.height()),
                {{zorvak_printerNameKey, QStringLiteral("PDF")}, {zorvak_printerPaperKey, c.paper},
                 {QStringLiteral("jobTitle"), QStringLiteral("Order 7")}},
                [&](bool success, const platform::Error& error) {
                    EXPECT_TRUE(success);
                    EXPECT_TRUE(error.isNull());
                    answered = true;
                },
                std::make_shared<PdfCatalogue>(output));
        });
        EXPECT_TRUE(answered);
        EXPECT_EQ(logged.contains(QStringLiteral("\"No such paper\" is not offered")), c.paper == "No such paper");
        const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(output);
        ASSERT_TRUE(document) << c.paper.toStdString();
        EXPECT_EQ(document->numPages(), 1);
        EXPECT_EQ(document->info(QStringLiteral("Title")), QStringLiteral("KOVA - Order 7"));
        const QSizeF size = document->page(0)->pageSizeF();
        EXPECT_NEAR(size.width(), c.expectedPoints.width(), 1) << c.image.width() << ' ' << c.paper.toStdString();
        EXPECT_NEAR(size.height(), c.expectedPoints.height(), 1) << c.image.width() << ' ' << c.paper.toStdString();
        // The image fills the whole page.
        const QImage rendered = document->page(0)->renderToImage(18, 18);
        for (const QPoint corner : {QPoint(1, 1), QPoint(rendered.width() - 2, rendered.height() - 2)})
            EXPECT_TRUE(rendered.pixelColor(corner).red() > 240 && rendered.pixelColor(corner).green() < 16)
                << c.image.width() << ' ' << c.paper.toStdString();
    }
}

TEST(ZORVAK_PrintingView, FailsWithoutThePrinter)
{
    const kova::test::ScratchFolder folder;
    for (const QVariantMap& properties : {QVariantMap{}, QVariantMap{{zorvak_printerNameKey, QStringLiteral("Gone")}}}) {
        int answers = 0;
        const QString logged = kova::test::loggedBy([&] {
            ZORVAK_PrintingView::printImage(
                solid(10, 10), properties,
                [&](bool success, const platform::Error& error) {
                    EXPECT_FALSE(success);
                    EXPECT_EQ(error.code, -1);
                    EXPECT_EQ(error.message, QStringLiteral("specified printer not available"));
                    ++answers;
                },
                std::make_shared<PdfCatalogue>(folder.path(QStringLiteral("none.pdf"))));
        });
        EXPECT_EQ(answers, 1);
        EXPECT_TRUE(logged.contains(QStringLiteral("printerNames:PDF\n"))) << logged.toStdString();
        EXPECT_TRUE(logged.contains(QStringLiteral("printerTypes:Qt PDF\n"))) << logged.toStdString();
        EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("none.pdf"))));
    }
}

TEST(ZORVAK_PrintingView, TheDialogHoldsTheImageScalingAccessoryAndAnswersOnce)
{
    QWidget window;
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    std::vector<bool> results;
    ZORVAK_PrintingView::runOperationInWindow(&printer, &window, [&](QPrintDialog*, bool success) {
        results.push_back(success);
    });
    auto* dialog = window.findChild<QPrintDialog*>();
    ASSERT_TRUE(dialog);
    auto* accessory = dialog->findChild<PrintingPDEController*>();
    ASSERT_TRUE(accessory);
    auto* tabs = qobject_cast<QTabWidget*>(accessory->parentWidget()->parentWidget());
    ASSERT_TRUE(tabs);
    EXPECT_EQ(tabs->tabText(tabs->indexOf(accessory)), QStringLiteral("Image Scaling"));
    ZORVAK_PrintSettings::shared()->setValue(zorvak_barcodeScaling, 2.5);
    EXPECT_EQ(accessory->barcodeScalingString(), QStringLiteral("2.50")) << "edits the shared print settings";
    dialog->reject();
    EXPECT_EQ(results, std::vector<bool>{false});
    platform::UserDefaults::standardUserDefaults()->removeObjectForKey(zorvak_barcodeScaling);
}

} // namespace
