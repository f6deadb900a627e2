#include "printing/pages/ZORVAK_PrintPageMitsu1.h"
#include "printing/pages/ZORVAK_PrintPage_DNP.h"

#include <gtest/gtest.h>

namespace {

const QVariantMap Printer57{{QStringLiteral("printer"), 57}};
const QVariantMap Printer0{{QStringLiteral("printer"), 0}};

} // namespace

// The DNP page keeps the paper name, takes the multicut of the name and that multicut's media,
// and forgets why it could not be printed.
TEST(NamedPaper, dnpPageTakesMulticutAndMediaOfThePaperName)
{
    struct Case {
        QString paperName;
        qint32 multicut;
        qint32 media;
    };
    const Case cases[] = {
        {QStringLiteral("6x4"), 2, 30},     {QStringLiteral("dnp6x4"), 2, 30}, {QStringLiteral("6 x 4"), 0, 20},
        {QStringLiteral("DNP6x4"), 0, 20},  {QStringLiteral("dnp8x10"), 6, 50}, {QStringLiteral("6x4.5"), 30, 40},
        {QStringLiteral("5x5"), 29, 21},    {QStringLiteral("6x8"), 4, 31},     {QString(), 0, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.paperName.toStdString());
        const auto page = ZORVAK_PrintPage_DNP::initWithOLDKOVA(Printer0);
        ASSERT_EQ(page->reason(), "Unsupported Printer/Media");
        page->configureNamedPaper(c.paperName);
        EXPECT_EQ(page->multicut(), c.multicut);
        EXPECT_EQ(page->mediaSize(), c.media);
        EXPECT_FALSE(page->properties().contains(QStringLiteral("reason")));
        EXPECT_EQ(page->properties().value(QStringLiteral("paperName")).toString(), c.paperName);
        EXPECT_EQ(page->properties().contains(QStringLiteral("paperName")), !c.paperName.isNull());
    }
}

// The Mitsubishi page judges the cut by the name's ending after the last "Cut" and the media by
// a mark anywhere in it; it keeps no paper name.
TEST(NamedPaper, mitsubishiPageTakesCutFromTheEndingAndMediaFromTheMark)
{
    struct Case {
        QString paperName;
        quint64 multicut;
        quint8 media;
    };
    const Case cases[] = {
        {QStringLiteral("Cut6x4"), 128, 15},
        {QStringLiteral("Media4x6Cut2-4x6"), 1, 2},
        {QStringLiteral("Media35x5"), 16, 1},
        {QStringLiteral("Media6x9Cut6x8.5"), 1024, 5},
        {QStringLiteral("Media5x7 6x8"), 512, 4},
        {QStringLiteral("Cut6x20Cut5x5"), 32, 15},
        {QStringLiteral("6x20Cut"), 0, 15},
        {QStringLiteral("media6x9 6X8"), 0, 15},
        {QStringLiteral("Cut35x5"), 16, 15},
        {QStringLiteral("x2-2x6"), 5, 15},
        {QStringLiteral("Cut6x14"), 4232, 15},
        {QStringLiteral("Cut4x6"), 128, 15},
        {QStringLiteral("Cut6x9"), 2048, 15},
        {QStringLiteral("Cut5x7"), 64, 15},
        {QStringLiteral("Cut6x6"), 256, 15},
        {QStringLiteral("Cut6X4"), 0, 15},
        {QString(), 0, 15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.paperName.toStdString());
        EXPECT_EQ(mitsu_multicutForNamedPaperSize(c.paperName), c.multicut);
        EXPECT_EQ(mitsu_mediaCodeForPaperName(c.paperName), c.media);
        const auto page = ZORVAK_PrintPageMitsu1::initWithOLDKOVA(Printer57);
        ASSERT_EQ(page->reason(), "Unsupported Printer/Media");
        page->configureNamedPaper(c.paperName);
        EXPECT_EQ(page->multicut(), c.multicut);
        EXPECT_EQ(page->mediaSize(), c.media);
        EXPECT_FALSE(page->properties().contains(QStringLiteral("reason")));
        EXPECT_FALSE(page->properties().contains(QStringLiteral("paperName")));
    }
}
