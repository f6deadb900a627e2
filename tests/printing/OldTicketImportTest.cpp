#include "platform/plist/PropertyList.h"
#include "printing/filters/ZORVAK_ImageFilter.h"
#include "printing/pages/ZORVAK_PrintPage.h"

#include "FileFixtures.h"
#include "HostileFiles.h"

#include <QDateTime>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

// "name input=value ...; name ..." for each filter of the chains, vectors as (x,y,z,w).
QString described(const ZORVAK_PrintPage::FilterChains& chains)
{
    QStringList filters;
    for (const QVariant& chain : chains) {
        for (const QVariant& item : chain.toList()) {
            const auto filter = platform::Archivable::fromVariant<ZORVAK_ImageFilter>(item);
            QStringList parts{filter->name()};
            const QVariantMap inputs = filter->inputs();
            for (auto input = inputs.cbegin(); input != inputs.cend(); ++input) {
                const QVariantList vector = input->toList();
                const QString value = input->typeId() == QMetaType::QVariantList
                                          ? QStringLiteral("(%1,%2,%3,%4)").arg(vector[0].toDouble()).arg(vector[1].toDouble()).arg(vector[2].toDouble()).arg(vector[3].toDouble())
                                          : QString::number(input->toDouble());
                parts.append(input.key() + QLatin1Char('=') + value);
            }
            filters.append(parts.join(QLatin1Char(' ')));
        }
    }
    return QString::number(chains.size()) + QStringLiteral(" chain: ") + filters.join(QStringLiteral("; "));
}

} // namespace

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
        EXPECT_EQ(log.contains(test.logged), true) << log.toStdString();
        EXPECT_EQ(test.logged.isEmpty(), log.isEmpty()) << log.toStdString();
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
        EXPECT_EQ(described(page->imageFilters()), "1 chain: ");
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
