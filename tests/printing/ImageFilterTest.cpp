#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "platform/plist/PropertyList.h"
#include "printing/filters/ZORVAK_ImageFilter.h"
#include "printing/pages/ZORVAK_PrintPage.h"
#include "printing/pages/ZORVAK_PrintPageMitsu1.h"
#include "printing/pages/ZORVAK_PrintPage_DNP.h"

#include "FileFixtures.h"
#include "FoundationArchive.h"
#include "HostileFiles.h"
#include "PythonReader.h"
#include "TestEnvironment.h"

#include <QColor>
#include <QDateTime>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

QImage filled(QImage::Format format, const QColor& color, int width = 3, int height = 2)
{
    QImage image(width, height, format);
    image.fill(color);
    return image;
}

// How far apart two colours are, in 8-bit steps.
int distance(const QColor& a, const QColor& b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue()), std::abs(a.alpha() - b.alpha())});
}

// "name input=value ...; name ..." for each filter of the chains, vectors as (x,y,z,w).
QString described(const ZORVAK_PrintPage::FilterChains& chains)
{
    QStringList filters;
    for (const QVariant& chain : chains) {
        for (const QVariant& item : chain.toList()) {
            const auto filter = platform::Archivable::fromVariant<ZORVAK_ImageFilter>(item);
            QStringList parts{filter ? filter->name() : QStringLiteral("no filter")};
            const QVariantMap inputs = filter ? filter->inputs() : QVariantMap();
            for (auto input = inputs.cbegin(); input != inputs.cend(); ++input) {
                QStringList components;
                for (const QVariant& component : input->typeId() == QMetaType::QVariantList ? input->toList() : QVariantList{*input})
                    components.append(QString::number(component.toDouble()));
                parts.append(input.key() + QLatin1Char('=') + (components.size() > 1 ? "(" + components.join(',') + ")" : components.join(',')));
            }
            filters.append(parts.join(QLatin1Char(' ')));
        }
    }
    return QString::number(chains.size()) + QStringLiteral(" chain: ") + filters.join(QStringLiteral("; "));
}

} // namespace

TEST(ImageFilter, appliesEachFilterByItsFormulaInEveryFormat)
{
    const struct Case {
        const char* what;
        QString name;
        QVariantMap inputs;
        QColor in;
        QColor out;
    } cases[] = {
        {"defaults change nothing", ZORVAK_ImageFilter::ColorControls, {}, QColor(200, 100, 50), QColor(200, 100, 50)},
        {"saturation 0 gives the luma", ZORVAK_ImageFilter::ColorControls, {{"inputSaturation", 0}}, QColor(200, 100, 50), QColor(118, 118, 118)},
        {"brightness adds, contrast scales about 0.5", ZORVAK_ImageFilter::ColorControls, {{"inputBrightness", 0.1}, {"inputContrast", 1.5}},
         QColor(153, 51, 0), QColor(204, 51, 0)},
        {"exposure 1 doubles", ZORVAK_ImageFilter::ExposureAdjust, {{"inputEV", 1}}, QColor(100, 50, 200), QColor(200, 100, 255)},
        {"a third of a turn takes red to green", ZORVAK_ImageFilter::HueAdjust, {{"inputAngle", 2 * std::numbers::pi / 3}}, QColor(200, 100, 50), QColor(50, 200, 100)},
        {"gamma 2 squares", ZORVAK_ImageFilter::GammaAdjust, {{"inputPower", 2}}, QColor(128, 255, 64), QColor(64, 255, 16)},
        {"a flat picture stays sharp", ZORVAK_ImageFilter::SharpenLuminance, {{"inputSharpness", 2}}, QColor(10, 100, 200), QColor(10, 100, 200)},
        {"matrix rows and bias", ZORVAK_ImageFilter::ColorMatrix,
         {{"inputRVector", ZORVAK_ImageFilter::vector(0.5, 0, 0, 0)}, {"inputBiasVector", ZORVAK_ImageFilter::vector(0, 0.2, 0, 0)}},
         QColor(200, 100, 50), QColor(100, 151, 50)},
        {"matrix alpha", ZORVAK_ImageFilter::ColorMatrix, {{"inputAVector", ZORVAK_ImageFilter::vector(0, 0, 0, 0.5)}}, QColor(200, 100, 50), QColor(200, 100, 50, 128)},
        {"an unknown filter changes nothing", QStringLiteral("CIBogus"), {{"inputEV", 3}}, QColor(200, 100, 50), QColor(200, 100, 50)},
    };
    const QImage::Format formats[] = {QImage::Format_RGBX8888, QImage::Format_RGBA8888, QImage::Format_RGBA8888_Premultiplied,
                                      QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied, QImage::Format_RGBX64, QImage::Format_RGBA64};
    for (const Case& test : cases) {
        ZORVAK_ImageFilter filter(test.name);
        for (auto input = test.inputs.cbegin(); input != test.inputs.cend(); ++input)
            filter.setValueForKey(*input, input.key());
        for (const QImage::Format format : formats) {
            SCOPED_TRACE(std::string(test.what) + ", format " + std::to_string(int(format)));
            const QImage result = filter.apply(filled(format, test.in));
            ASSERT_EQ(result.format(), format);
            const QColor expected = filled(format, test.out).pixelColor(2, 1);
            EXPECT_LE(distance(result.pixelColor(2, 1), expected), 1) << result.pixelColor(2, 1).name(QColor::HexArgb).toStdString();
        }
    }
}

// Across a step from grey a to grey b, the pixel before the step loses the sharpness times the
// part of the step its gaussian neighbourhood sees: a - s (b - a) (1 - w0) / 2.
TEST(ImageFilter, sharpeningDeepensAnEdgeByTheUnsharpMaskOfTheLuma)
{
    const double sharpness = 0.4;
    const double radius = 1.69;
    double sum = 0;
    for (int k = -6; k <= 6; ++k)
        sum += std::exp(-k * k / (2 * radius * radius));
    const double beforeStep = 100 - sharpness * 50 * (1 - 1 / sum) / 2;

    QImage picture = filled(QImage::Format_RGBX8888, QColor(100, 100, 100), 20, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 10; x < 20; ++x)
            picture.setPixelColor(x, y, QColor(150, 150, 150));
    const QImage result = ZORVAK_ImageFilter(ZORVAK_ImageFilter::SharpenLuminance).apply(picture);
    EXPECT_NEAR(result.pixelColor(9, 1).green(), beforeStep, 1);
    EXPECT_NEAR(result.pixelColor(10, 1).green(), 150 + (100 - beforeStep), 1);
    EXPECT_EQ(result.pixelColor(0, 1), QColor(100, 100, 100));
    EXPECT_EQ(result.pixelColor(9, 1).red(), result.pixelColor(9, 1).blue()) << "grey stays grey";
}

TEST(ImageFilter, pageFilterChainsRoundTripThroughTheArchive)
{
    ZORVAK_PrintPage page;
    page.setImageFilters(ZORVAK_PrintPage::filtersForOLDKOVAColorAdjustments({{"Contrast", 1.2}, {"Red", 0.9}}));
    const QByteArray data = platform::KeyedArchiver::archivedDataWithRootObject(page);
    const auto read = platform::Archivable::fromVariant<ZORVAK_PrintPage>(
        platform::KeyedUnarchiver::unarchivedObjectOfClasses(data, {ZORVAK_PrintPage::ClassName}));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(described(read->imageFilters()), described(page.imageFilters()));

    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts a child process";
    const QString script = kova::test::ArchiveReading + QStringLiteral(R"(
root = follow(archive['$top']['root'])
for item in follow(follow(root['self.imageFilters'])['NS.objects'][0])['NS.objects']:
    f = follow(item)
    print(chain(f), f.get('inputContrast'), [follow(n) for n in follow(f['inputRVector'])['NS.objects']] if 'inputRVector' in f else '')
)");
    EXPECT_EQ(kova::test::runPython(script, data),
              "CIColorControls,CIFilter,NSObject 1.2 \n"
              "CIColorMatrix,CIFilter,NSObject None [0.9, 0.0, 0.0, 0.0]\n");
}

TEST(ImageFilter, archivedFiltersOfUnknownClassesOrKindsAreRefused)
{
    const struct {
        const char* what;
        QString className;
        std::function<QVariant(kova::test::FoundationArchive&)> input;
    } cases[] = {
        {"unknown filter class", QStringLiteral("CIBogus"), [](auto& a) { return a.plain(1.0); }},
        {"vector as text", ZORVAK_ImageFilter::ColorMatrix, [](auto& a) { return a.plain(QStringLiteral("1 0 0 0")); }},
        {"vector of three", ZORVAK_ImageFilter::ColorMatrix, [](auto& a) { return a.array({a.plain(1.0), a.plain(0.0), a.plain(0.0)}); }},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        kova::test::FoundationArchive archive;
        const QVariant filter = archive.object(test.className, {{QStringLiteral("inputRVector"), test.input(archive)}});
        const QVariant chains = archive.array({archive.array({filter})});
        const QVariant root = archive.object(ZORVAK_PrintPage::ClassName, {{QStringLiteral("self.imageFilters"), chains}});
        EXPECT_FALSE(platform::KeyedUnarchiver::unarchivedObjectOfClasses(archive.data(root), {ZORVAK_PrintPage::ClassName}).isValid());
    }
}

TEST(OldTicketImport, colourAdjustmentsBecomeOneChainInTheTablesOrder)
{
    const struct {
        QVariantMap adjustments;
        QString filters;
        QString logged;
    } cases[] = {
        {{{"colorAdjustContrast", 1.2}, {"Brightness", QStringLiteral("0.1")}},
         "1 chain: CIColorControls inputBrightness=0.1 inputContrast=1.2 inputSaturation=1", ""},
        {{{"Red", 0.9}},
         "1 chain: CIColorMatrix inputAVector=(0,0,0,1) inputBVector=(0,0,1,0) inputBiasVector=(0,0,0,0) inputGVector=(0,1,0,0) inputRVector=(0.9,0,0,0)", ""},
        {{{"Contrast", QDateTime::currentDateTimeUtc()}}, "1 chain: ",
         "bad value type (NSDate) passed via plist into -[ZORVAK_PrintPage filtersForOLDKOVAColorAdjustments:]"},
        {{{"colorAdjustGamma", 2}, {"Blue", QStringLiteral("0.3")}, {"Sharpness", 0.8}, {"Hue", 0.5}, {"Exposure", -1}, {"Saturation", 0},
          {"contrast", 5}, {"colorAdjustTint", 1}},
         "1 chain: CIColorControls inputBrightness=0 inputContrast=1 inputSaturation=0; CIExposureAdjust inputEV=-1; CIHueAdjust inputAngle=0.5; "
         "CIGammaAdjust inputPower=2; CISharpenLuminance inputRadius=1.69 inputSharpness=0.8; "
         "CIColorMatrix inputAVector=(0,0,0,1) inputBVector=(0,0,0.3,0) inputBiasVector=(0,0,0,0) inputGVector=(0,1,0,0) inputRVector=(1,0,0,0)", ""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.filters.toStdString());
        ZORVAK_PrintPage::FilterChains chains;
        const QString log = kova::test::loggedBy([&] { chains = ZORVAK_PrintPage::filtersForOLDKOVAColorAdjustments(test.adjustments); });
        EXPECT_EQ(described(chains), test.filters);
        EXPECT_TRUE(test.logged.isEmpty() ? log.isEmpty() : log.contains(test.logged)) << log.toStdString();
    }
}

TEST(OldTicketImport, ticketFileGivesPictureDateLabelCopiesAndIdealMedia)
{
    kova::test::ScratchFolder folder;
    const QVariantMap webServer{{"clienttdevicename", QStringLiteral("Kiosk 3")}};
    const struct {
        const char* what;
        QVariantMap ticket;
        QString label;
        qint64 copies;
    } cases[] = {
        {"no quantity", {{"destinationLabel", QStringLiteral("Counter 1")}, {"webServerDictionary", webServer}}, "Counter 1", 1},
        {"quantity 0", {{"printQuantity", 0}, {"webServerDictionary", webServer}}, "Kiosk 3", 1},
        {"quantity 3", {{"printQuantity", 3}}, QString(), 3},
        {"label of another type", {{"destinationLabel", 7}, {"webServerDictionary", webServer}, {"printQuantity", QStringLiteral("2")}}, "Kiosk 3", 1},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        const QString ticketPath = folder.path(QStringLiteral("order.2.plist"));
        const QString imagePath = folder.path(QStringLiteral("order.2.jpeg"));
        ASSERT_TRUE(kova::test::writeFile(ticketPath, platform::PropertyList::toData(test.ticket)));
        ASSERT_TRUE(kova::test::writeFile(imagePath, "picture"));
        ASSERT_TRUE(kova::test::makeOld(ticketPath, std::chrono::hours(5)));
        const auto page = ZORVAK_PrintPage::initWithOLDKOVA(QUrl::fromLocalFile(ticketPath));
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->fileURLs(), (QList<QUrl>{QUrl::fromLocalFile(ticketPath), QUrl::fromLocalFile(imagePath)}));
        EXPECT_EQ(page->inputImages(), QList<QUrl>{QUrl::fromLocalFile(imagePath)});
        EXPECT_EQ(page->dateInit(), QFileInfo(ticketPath).lastModified().toUTC());
        EXPECT_EQ(page->destinationLabel(), test.label);
        EXPECT_EQ(page->copies(), test.copies);
        EXPECT_TRUE(page->requiresIdealMedia());
    }

    QFile::remove(folder.path(QStringLiteral("order.2.jpeg")));
    const QString log = kova::test::loggedBy([&] {
        EXPECT_EQ(ZORVAK_PrintPage::initWithOLDKOVA(QUrl::fromLocalFile(folder.path(QStringLiteral("order.2.plist")))), nullptr);
    });
    EXPECT_TRUE(log.contains("ERROR: cannot init a print page;no Image available at " + QUrl::fromLocalFile(folder.path(QStringLiteral("order.2.jpeg"))).toString()))
        << log.toStdString();
}

TEST(OldTicketImport, printerDictionaryGivesThePlainPageAndOtherArgumentsNothing)
{
    const auto page = ZORVAK_PrintPage::initWithOLDKOVA(QVariantMap{{"printer", 57}, {"printQuantity", 4}, {"destinationLabel", QStringLiteral("x")}});
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(page->requiresIdealMedia());
    EXPECT_EQ(page->copies(), 0);
    EXPECT_TRUE(page->destinationLabel().isNull());
    EXPECT_TRUE(page->inputImages().isEmpty());
    EXPECT_TRUE(page->imageFilters().isEmpty());
    EXPECT_EQ(ZORVAK_PrintPage::initWithOLDKOVA(QStringLiteral("/tickets/a.plist")), nullptr);
}

TEST(OldTicketImport, ticketFilesThatAreNoRegularFilesAreRefused)
{
    kova::test::ScratchFolder folder;
    kova::test::expectSpecialFilesRefused({"old ticket", 4 * 1024 * 1024, [&](const QString& kind) { return folder.path(kind + QStringLiteral(".plist")); },
                                           [](const QString& path) {
                                               return kova::test::loggedBy([&] { EXPECT_EQ(ZORVAK_PrintPage::initWithOLDKOVA(QUrl::fromLocalFile(path)), nullptr); });
                                           }});
}

TEST(OldTicketImport, ticketFilesOfPrintersGiveTheirPagesWithPictureAndMedia)
{
    kova::test::ScratchFolder folder;
    const struct {
        int printer;
        int mediaType;
        QString className;
        QString model;
        quint64 media;
        quint64 multicut;
    } cases[] = {
        {45, 2, QStringLiteral("ZORVAK_PrintPage_DNP"), QStringLiteral("DNP DS40"), 30, 2},
        {57, 4, QStringLiteral("ZORVAK_PrintPageMitsu1"), QStringLiteral("Mitsubishi CP-D90DW"), 15, 256},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.printer);
        const QString ticketPath = folder.path(QStringLiteral("print.plist"));
        const QVariantMap ticket{{"printer", test.printer}, {"mediaSettings", QVariantMap{{"mediaType", test.mediaType}}}};
        ASSERT_TRUE(kova::test::writeFile(ticketPath, platform::PropertyList::toData(ticket)));
        ASSERT_TRUE(kova::test::writeFile(folder.path(QStringLiteral("print.jpeg")), "picture"));
        const auto page = ZORVAK_PrintPage::printPageForOldKova(QUrl::fromLocalFile(ticketPath));
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->archiveClassName(), test.className);
        EXPECT_EQ(page->requiredModel(), test.model);
        EXPECT_EQ(page->printerModel(), quint64(test.printer));
        EXPECT_EQ(page->inputImages(), QList<QUrl>{QUrl::fromLocalFile(folder.path(QStringLiteral("print.jpeg")))});
        EXPECT_TRUE(page->reason().startsWith(QStringLiteral("No "))) << page->reason().toStdString();
        if (const auto dnp = std::dynamic_pointer_cast<ZORVAK_PrintPage_DNP>(page))
            EXPECT_EQ((std::pair<quint64, quint64>(dnp->mediaSize(), dnp->multicut())), std::pair(test.media, test.multicut));
        if (const auto mitsu = std::dynamic_pointer_cast<ZORVAK_PrintPageMitsu1>(page))
            EXPECT_EQ((std::pair<quint64, quint64>(mitsu->mediaSize(), mitsu->multicut())), std::pair(test.media, test.multicut));
        const QString description = page->description();
        EXPECT_FALSE(description.contains(QStringLiteral("(null)"))) << description.toStdString();
    }
}
