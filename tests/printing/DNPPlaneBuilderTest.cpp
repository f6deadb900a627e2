#include "printing/dnp/DNPMediaTables.h"
#include "printing/pages/DNPPlaneBuilder.h"
#include "printing/pages/ZORVAK_PrintPage_DNP.h"

#include <QtEndian>

#include <gtest/gtest.h>

namespace {

// A DNP page whose raster is given by the test.
class SyntheticDNPPage : public ZORVAK_PrintPage_DNP {
public:
    SyntheticDNPPage(qint32 multicut, bool hiRes, QImage::Format format, int extraWidth = 0)
    {
        setMulticut(multicut);
        setQuality(hiRes ? 10 : 0);
        setOutputSize(hiRes ? dnp_pixelsForMulticutHiRes(multicut) : dnp_pixelsForMulticut(multicut));
        setOutputResolution(QSizeF(300, hiRes ? 600 : 300));
        raster = QImage(int(outputSize().width()) + extraWidth, int(outputSize().height()), format);
        raster.fill(QColor(10, 20, 30));
    }
    QImage raster;

protected:
    QImage renderedImage(const QVariantMap&) const override { return raster; }
};

quint32 read32(const QByteArray& plane, qsizetype offset)
{
    return qFromLittleEndian<quint32>(plane.constData() + offset);
}

} // namespace

TEST(DNPPlaneBuilder, planesAreHeadWideBottomUpBitmapsOfTheCentredRaster)
{
    struct Case {
        qint32 multicut;
        bool hiRes;
        QImage::Format format;
        int extraWidth; // past the head, for the wider rasters
        bool backside;
        quint32 width, height, verticalPixelsPerMetre;
    };
    const Case cases[] = {{2, false, QImage::Format_RGBX8888, 0, false, 1920, 1240, 11811},
                          {2, true, QImage::Format_RGB888, 0, true, 1920, 2480, 23622},
                          {28, false, QImage::Format_RGBA8888_Premultiplied, 0, false, 2560, 3702, 11811},
                          {2, false, QImage::Format_RGBX8888, 157, false, 1920, 1240, 11811}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.multicut * 10 + c.hiRes);
        SyntheticDNPPage page(c.multicut, c.hiRes, c.format, c.extraWidth);
        page.setOvercoatBackside(c.backside);
        const int rows = page.raster.height();
        const int skipped = c.extraWidth > 0 ? (page.raster.width() - int(c.width)) / 2 : 0;
        const QPoint probes[] = {{skipped, 0}, {skipped + 1, rows - 1}, {skipped + 1000, 700}};
        for (int i = 0; i < 3; ++i)
            page.raster.setPixelColor(probes[i], QColor(200 + i, 100 + i, 50 + i));

        const QList<QByteArray> planes = page.YMCDataPlanes();
        ASSERT_EQ(planes.size(), c.backside ? 6 : 3);
        const QByteArray& plane = planes[0];
        const quint32 fileSize = 1088 + c.width * c.height;
        ASSERT_EQ(plane.size(), qsizetype(fileSize));
        EXPECT_EQ(plane.left(2), "BM");
        const std::pair<qsizetype, quint32> fields[] = {{2, fileSize}, {6, 0}, {10, 1088}, {14, 40}, {18, c.width}, {22, c.height},
                                                        {26, 1 | (8 << 16)}, {30, 0}, {34, c.width * c.height}, {38, 11811},
                                                        {42, c.verticalPixelsPerMetre}, {46, 256}, {50, 0}};
        for (const auto& [offset, value] : fields)
            EXPECT_EQ(read32(plane, offset), value) << "at " << offset;
        for (int i : {0, 1, 255})
            EXPECT_EQ(read32(plane, 54 + 4 * i), quint32(255 - i) * 0x010101u) << "palette entry " << i;
        EXPECT_EQ(plane.mid(1078, 10), QByteArray(10, 0));

        const int margin = c.extraWidth > 0 ? 0 : (int(c.width) - page.raster.width()) / 2;
        for (int i = 0; i < 3; ++i) {
            const qsizetype at = 1088 + qsizetype(rows - 1 - probes[i].y()) * c.width + margin + probes[i].x() - skipped;
            EXPECT_EQ(quint8(planes[2][at]), 200 + i) << "cyan from red";
            EXPECT_EQ(quint8(planes[1][at]), 100 + i) << "magenta from green";
            EXPECT_EQ(quint8(planes[0][at]), 50 + i) << "yellow from blue";
        }
        if (margin > 0)
            EXPECT_EQ(quint8(planes[2][1088 + margin - 1]), 0xFF) << "the margins stay white";
        const QByteArray blank = DNPPlaneBuilder(c.width, c.height, page.outputResolution(), false).blankPlane();
        for (qsizetype i = 3; i < planes.size(); ++i)
            EXPECT_EQ(planes[i], blank) << "back plane " << i;
    }
}

TEST(DNPPlaneBuilder, rastersWithoutEightBitColourGiveNoPlanes)
{
    for (QImage::Format format : {QImage::Format_Invalid, QImage::Format_Grayscale8, QImage::Format_RGBX64, QImage::Format_Alpha8}) {
        SCOPED_TRACE(format);
        SyntheticDNPPage page(2, false, format);
        page.setIsDuplex(true);
        EXPECT_TRUE(page.YMCDataPlanes().isEmpty());
    }
}
