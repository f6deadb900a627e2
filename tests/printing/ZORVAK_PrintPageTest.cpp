#include "printing/pages/PrintPageClasses.h"
#include "printing/pages/ZORVAK_GravityValueTransformer.h"
#include "printing/pages/ZORVAK_PrintPage.h"
#include "printing/pages/ZORVAK_PrintPageMitsu1.h"
#include "printing/pages/ZORVAK_PrintPage_DNP.h"
#include "printing/pages/ZORVAK_USBPrinter.h"

#include <QUrl>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

QString classOf(const std::shared_ptr<ZORVAK_PrintPage>& page)
{
    return page ? page->archiveClassName() : QStringLiteral("none");
}

// Puts a page class back as it was when the test replaced it.
class RestoredPageClass {
public:
    explicit RestoredPageClass(const QString& name) : m_name(name), m_import(PrintPageClasses::classNamed(name)) {}
    ~RestoredPageClass() { PrintPageClasses::registerClass(m_name, m_import); }

private:
    QString m_name;
    PrintPageClasses::Import m_import;
};

} // namespace

TEST(PrintPage, newPageHasThePlainInitialisersDefaults)
{
    ZORVAK_PrintPage page;
    EXPECT_TRUE(page.autoRotate());
    EXPECT_FALSE(page.requiresIdealMedia());
    EXPECT_EQ(page.imageGravity(), "resizeAspectFill");
    EXPECT_EQ(page.colorManagement(), 1);
    EXPECT_EQ(page.copies(), 0);
    EXPECT_TRUE(page.dateInit().isValid());
    EXPECT_TRUE(page.reason().isNull());

    EXPECT_FALSE(page.applyImageFilters());
    page.setImageFilters({QVariant(QVariantList{})});
    EXPECT_TRUE(page.applyImageFilters()) << "filters are applied when there are any";
    page.setApplyImageFilters(false);
    EXPECT_FALSE(page.applyImageFilters());

    page.setImageGravity(QStringLiteral("resizeAspect"));
    page.setImageGravity(QString());
    EXPECT_EQ(page.imageGravity(), "resizeAspectFill") << "a null gravity removes the key";
}

TEST(PrintPage, factoryChoosesThePageByModelName)
{
    struct Case {
        QString model;
        QString className;
        quint64 printerModel;
        QString requiredModel;
    };
    const QString dnp = ZORVAK_PrintPage_DNP::ClassName;
    const QString mitsu = ZORVAK_PrintPageMitsu1::ClassName;
    const Case cases[] = {
        {QStringLiteral("Mitsubishi CP-D90DW"), mitsu, 57, QStringLiteral("Mitsubishi CP-D90DW")},
        {QStringLiteral("MITSU CP-D80"), mitsu, 56, QStringLiteral("Mitsu CP-D80DW [BETA]")},
        {QStringLiteral("mitsu 80 90"), mitsu, 57, QStringLiteral("Mitsubishi CP-D90DW")},
        {QStringLiteral("mitsubishi"), mitsu, 47, QStringLiteral("Mitsu CP-D70DW [BETA-may not work]")},
        {QStringLiteral("CP-D80DW"), dnp, 0, QStringLiteral("CP-D80DW")},
        {QString(), dnp, 0, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model.toStdString());
        const std::shared_ptr<ZORVAK_PrintPage> page = ZORVAK_PrintPage::printPageForModel(c.model);
        ASSERT_EQ(classOf(page), c.className);
        EXPECT_EQ(page->printerModel(), c.printerModel);
        EXPECT_EQ(page->requiredModel(), c.requiredModel);
        EXPECT_EQ(page->requiredModel().isNull(), c.requiredModel.isNull());
        EXPECT_EQ(page->reason(), "Unsupported Printer/Media") << "no media until the paper is named";
        EXPECT_TRUE(page->autoRotate());
        EXPECT_EQ(page->colorManagement(), 1);
    }
}

TEST(PrintPage, oldTicketFactoryChoosesByPrinterIndexOrGivesNothing)
{
    struct Case {
        QVariant ticket;
        QString className;
        quint64 printerModel;
    };
    const Case cases[] = {
        {QVariantMap{{QStringLiteral("printer"), 56}}, ZORVAK_PrintPageMitsu1::ClassName, 56},
        {QVariantMap{{QStringLiteral("printer"), 58}}, ZORVAK_PrintPage_DNP::ClassName, 58},
        {QVariantMap{{QStringLiteral("printer"), -1}}, ZORVAK_PrintPage_DNP::ClassName, std::numeric_limits<quint64>::max()},
        {QVariantMap{{QStringLiteral("printer"), QStringLiteral("47")}}, ZORVAK_PrintPageMitsu1::ClassName, 47},
        {QVariantMap{}, ZORVAK_PrintPage_DNP::ClassName, 0},
        {QStringLiteral("not a ticket"), QStringLiteral("none"), 0},
        {QUrl::fromLocalFile(QStringLiteral("/nonexistent/ticket.plist")), QStringLiteral("none"), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ticket.toString().toStdString());
        const std::shared_ptr<ZORVAK_PrintPage> page = ZORVAK_PrintPage::printPageForOldKova(c.ticket);
        ASSERT_EQ(classOf(page), c.className);
        if (page) {
            EXPECT_EQ(page->printerModel(), c.printerModel);
        }
    }
    EXPECT_EQ(ZORVAK_PrintPage_DNP::initWithOLDKOVA(QVariantMap{{QStringLiteral("printer"), 56}})->requiredModel(), "DNP DP-DS80D");
}

TEST(PrintPage, factoryGivesNothingWhenThePageClassIsMissingOrRefuses)
{
    const RestoredPageClass restored(ZORVAK_PrintPage_DNP::ClassName);
    PrintPageClasses::registerClass(ZORVAK_PrintPage_DNP::ClassName, {});
    EXPECT_EQ(ZORVAK_PrintPage::printPageForModel(QStringLiteral("CP-D80DW")), nullptr);
    EXPECT_NE(ZORVAK_PrintPage::printPageForModel(QStringLiteral("Mitsubishi CP-D90DW")), nullptr);

    PrintPageClasses::registerClass(ZORVAK_PrintPage_DNP::ClassName, [](const QVariant&) { return nullptr; });
    EXPECT_EQ(ZORVAK_PrintPage::printPageForModel(QStringLiteral("CP-D80DW")), nullptr);
}

TEST(PrintPage, copySharesImagesAndPropertiesButNotTheRest)
{
    const auto page = std::static_pointer_cast<ZORVAK_PrintPage_DNP>(ZORVAK_PrintPage::printPageForModel(QStringLiteral("DS80")));
    page->configureNamedPaper(QStringLiteral("8x10"));
    page->setInputImages({QUrl::fromLocalFile(QStringLiteral("/pictures/a.jpeg"))});
    page->setFileURLs({QUrl::fromLocalFile(QStringLiteral("/tickets/a.plist"))});
    page->setDestinationLabel(QStringLiteral("Counter 2"));
    page->setColorManagement(2);
    page->setCopies(3);
    page->setSheetFed(true);

    const std::shared_ptr<ZORVAK_PrintPage> copy = page->copyWithZone();
    ASSERT_EQ(classOf(copy), ZORVAK_PrintPage_DNP::ClassName);
    const auto dnp = std::static_pointer_cast<ZORVAK_PrintPage_DNP>(copy);
    EXPECT_EQ(copy->inputImages(), page->inputImages());
    EXPECT_EQ(copy->properties(), page->properties());
    EXPECT_EQ(copy->dateInit(), page->dateInit());
    EXPECT_EQ(copy->colorManagement(), 2);
    EXPECT_EQ(dnp->multicut(), 6);
    EXPECT_EQ(dnp->mediaSize(), 50);
    EXPECT_TRUE(dnp->sheetFed());
    EXPECT_TRUE(copy->fileURLs().isEmpty());
    EXPECT_TRUE(copy->requiredModel().isNull());
    EXPECT_TRUE(copy->destinationLabel().isNull());
    EXPECT_EQ(copy->copies(), 0);
    EXPECT_EQ(copy->printerModel(), 0u);
}

TEST(PrintPage, printsThroughItsPrinterOnly)
{
    struct Printer : ZORVAK_USBPrinter {
        void printPage(ZORVAK_PrintPage& page) override { printed = &page; }
        QString description() const override { return QStringLiteral("DS620 #4"); }
        ZORVAK_PrintPage* printed = nullptr;
    };
    ZORVAK_PrintPage page;
    page.print();
    EXPECT_EQ(page.description(), "(null) - (null)");

    const auto printer = std::make_shared<Printer>();
    page.setPrinter(printer);
    page.setInputImages({QUrl::fromLocalFile(QStringLiteral("/pictures/a %1.jpeg"))});
    page.print();
    EXPECT_EQ(printer->printed, &page);
    EXPECT_EQ(page.description(), "DS620 #4 - a %1.jpeg");
}

TEST(PrintPage, pixelSizesAreTruncatedAndNeverUndefined)
{
    const std::pair<double, quint64> cases[] = {
        {1844.9, 1844},
        {0.5, 0},
        {-3, 0},
        {std::nan(""), 0},
        {9223372036854775808.0, 9223372036854775808ull},
        {1e30, std::numeric_limits<quint64>::max()},
    };
    ZORVAK_PrintPage page;
    for (const auto& [length, pixels] : cases) {
        page.setOutputSize(QSizeF(length, length));
        EXPECT_EQ(page.pixelsWide(), pixels) << length;
        EXPECT_EQ(page.pixelsHigh(), pixels) << length;
    }
}

TEST(GravityValueTransformer, turnsGravityNamesIntoNumbersAndBack)
{
    const ZORVAK_GravityValueTransformer transformer;
    const std::pair<QVariant, qint64> forward[] = {
        {QStringLiteral("resizeAspect"), 1},
        {QStringLiteral("resizeAspectFill"), 0},
        {qint64(1), 0},
        {QVariant(), 0},
    };
    for (const auto& [value, number] : forward)
        EXPECT_EQ(transformer.transformedValue(value).toLongLong(), number) << value.toString().toStdString();

    const std::pair<QVariant, QString> reverse[] = {
        {qint64(1), QStringLiteral("resizeAspect")},
        {QStringLiteral("1"), QStringLiteral("resizeAspect")},
        {true, QStringLiteral("resizeAspect")},
        {qint64(2), QStringLiteral("resizeAspectFill")},
        {QVariant(), QStringLiteral("resizeAspectFill")},
    };
    for (const auto& [value, gravity] : reverse)
        EXPECT_EQ(transformer.reverseTransformedValue(value).toString(), gravity) << value.toString().toStdString();
}
