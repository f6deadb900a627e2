#include "printing/dnp/DNPMediaTables.h"
#include "printing/dnp/DNPPlaneBuilder.h"
#include "printing/pages/ZORVAK_PrintPage_DNP.h"

#include <QtEndian>

#include <gtest/gtest.h>

namespace {

// A DNP page whose raster is given by the test.
class SyntheticDNPPage : public ZORVAK_PrintPage_DNP {
public:
    SyntheticDNPPage(qint32 multicut, bool hiRes)
    {
        setMulticut(multicut);
        setQuality(hiRes ? 10 : 0);
        setOutputSize(hiRes ? dnp_pixelsForMulticutHiRes(multicut) : dnp_pixelsForMulticut(multicut));
        setOutputResolution(QSizeF(300, hiRes ? 600 : 300));
    }
    QImage raster;

protected:
    QImage renderedImage(const QVariantMap&) const override { return raster; }
};

quint32 read32(const QByteArray& plane, qsizetype offset)
{
    return qFromLittleEndian<quint32>(plane.constData() + offset);
}

quint8 byteAt(const QByteArray& plane, qsizetype offset)
{
    return quint8(plane.at(offset));
}

QImage filledRaster(int width, int height, QImage::Format format)
{
    QImage raster(width, height, format);
    raster.fill(QColor(10, 20, 30));
    return raster;
}

} // namespace

TEST(DNPPlaneBuilder, headersDescribeTheHeadWideBottomUpBitmap)
{
    struct Case {
        qint32 multicut;
        bool hiRes;
        quint32 width, height, verticalPixelsPerMetre;
    };
    const Case cases[] = {{2, false, 1920, 1240, 11811}, {2, true, 1920, 2480, 23622}, {28, false, 2560, 3702, 11811}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.multicut * 10 + c.hiRes);
        SyntheticDNPPage page(c.multicut, c.hiRes);
        page.raster = filledRaster(int(page.outputSize().width()), int(page.outputSize().height()), QImage::Format_RGBX8888);
        const QList<QByteArray> planes = page.YMCDataPlanes();
        ASSERT_EQ(planes.size(), 3);
        const QByteArray& plane = planes[0];
        const quint32 fileSize = 1088 + c.width * c.height;
        ASSERT_EQ(plane.size(), qsizetype(fileSize));
        EXPECT_EQ(plane.left(2), "BM");
        const std::pair<qsizetype, quint32> fields[] = {{2, fileSize}, {6, 0}, {10, 1088}, {14, 40}, {18, c.width}, {22, c.height},
                                                        {26, 1 | (8 << 16)}, {30, 0}, {34, c.width * c.height}, {38, 11811},
                                                        {42, c.verticalPixelsPerMetre}, {46, 256}, {50, 0}};
        for (const auto& [offset, value] : fields)
            EXPECT_EQ(read32(plane, offset), value) << "at " << offset;
        for (int i : {0, 1, 128, 255})
            EXPECT_EQ(read32(plane, 54 + 4 * i), quint32(255 - i) * 0x010101u) << "palette entry " << i;
        EXPECT_EQ(plane.mid(1078, 10), QByteArray(10, 0));
    }
}

TEST(DNPPlaneBuilder, rasterPixelsLandCentredAndBottomUpInTheirPlanes)
{
    struct Case {
        QImage::Format format;
        int width;
        int skippedColumns; // of a raster wider than the head
    };
    const Case cases[] = {{QImage::Format_RGBX8888, 1844, 0}, {QImage::Format_RGB888, 1844, 0},
                          {QImage::Format_RGBA8888_Premultiplied, 1844, 0}, {QImage::Format_RGBX8888, 2001, 40}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format * 10000 + c.width);
        SyntheticDNPPage page(2, false);
        const int rows = 1240;
        const int width = 1920;
        page.raster = filledRaster(c.width, rows, c.format);
        const QPoint probes[] = {{c.skippedColumns, 0}, {c.skippedColumns + 1, rows - 1}, {c.skippedColumns + 1000, 700}};
        for (int i = 0; i < 3; ++i)
            page.raster.setPixelColor(probes[i], QColor(200 + i, 100 + i, 50 + i));
        const QList<QByteArray> planes = page.YMCDataPlanes();
        ASSERT_EQ(planes.size(), 3);
        const int margin = c.width < width ? (width - c.width) / 2 : 0;
        for (int i = 0; i < 3; ++i) {
            const qsizetype at = 1088 + qsizetype(rows - 1 - probes[i].y()) * width + margin + probes[i].x() - c.skippedColumns;
            EXPECT_EQ(byteAt(planes[2], at), 200 + i) << "cyan from red";
            EXPECT_EQ(byteAt(planes[1], at), 100 + i) << "magenta from green";
            EXPECT_EQ(byteAt(planes[0], at), 50 + i) << "yellow from blue";
        }
        if (margin > 0) {
            EXPECT_EQ(byteAt(planes[2], 1088 + margin - 1), 0xFF) << "the margins stay white";
            EXPECT_EQ(byteAt(planes[2], 1088 + margin + c.width), 0xFF);
        }
        EXPECT_EQ(byteAt(planes[2], 1088 + qsizetype(rows) * width - 1), margin > 0 ? 0xFF : 10) << "no row is written past the head";
    }
}

TEST(DNPPlaneBuilder, backSidePlanesFollowBlankForDuplexAndBacksideOvercoat)
{
    struct Case {
        bool duplex, backside;
        qsizetype count;
    };
    for (const Case& c : {Case{false, false, 3}, Case{true, false, 6}, Case{false, true, 6}}) {
        SyntheticDNPPage page(2, false);
        page.setIsDuplex(c.duplex);
        page.setOvercoatBackside(c.backside);
        page.raster = filledRaster(1844, 1240, QImage::Format_RGBX8888);
        const QList<QByteArray> planes = page.YMCDataPlanes();
        ASSERT_EQ(planes.size(), c.count);
        const QByteArray blank = DNPPlaneBuilder(1920, 1240, QSizeF(300, 300), false).blankPlane();
        EXPECT_NE(planes[2], blank);
        for (qsizetype i = 3; i < c.count; ++i)
            EXPECT_EQ(planes[i], blank) << "back plane " << i;
    }
}

TEST(DNPPlaneBuilder, rastersWithoutEightBitColourGiveNoPlanes)
{
    const QImage rasters[] = {QImage(), filledRaster(1844, 1240, QImage::Format_Grayscale8), filledRaster(1844, 1240, QImage::Format_RGBX64),
                              filledRaster(1844, 1240, QImage::Format_Alpha8)};
    for (const QImage& raster : rasters) {
        SCOPED_TRACE(raster.format());
        SyntheticDNPPage page(2, false);
        page.raster = raster;
        EXPECT_TRUE(page.YMCDataPlanes().isEmpty());
    }
}
