#include "core/image/LanczosScaler.h"

#include <gtest/gtest.h>

namespace {

// One-pixel columns alternating black and white: what a point sample keeps and a proper
// reduction averages out.
QImage stripes(QImage::Format format)
{
    QImage picture(64, 32, format);
    for (int x = 0; x < picture.width(); ++x)
        for (int y = 0; y < picture.height(); ++y)
            picture.setPixelColor(x, y, x % 2 ? Qt::white : Qt::black);
    return picture;
}

} // namespace

TEST(LanczosScaler, scalesWithAProperFilterAtBothDepths)
{
    const struct {
        const char* name;
        QImage picture;
        QSizeF scale;
        QPointF origin;
        QSize size;
        // The expected colour at (x, y) with its tolerance in 8-bit steps.
        int x, y;
        QColor colour;
        int tolerance;
    } rows[] = {
        {"halved stripes are grey", stripes(QImage::Format_RGBA8888_Premultiplied), {0.5, 0.5}, {}, {32, 16}, 16, 8, QColor(128, 128, 128), 3},
        {"halved deep stripes are grey", stripes(QImage::Format_RGBA64_Premultiplied), {0.5, 0.5}, {}, {32, 16}, 16, 8, QColor(128, 128, 128), 1},
        {"flat colour stays flat", [] {
             QImage flat(10, 10, QImage::Format_RGB32);
             flat.fill(QColor(200, 100, 50));
             return flat;
         }(), {3.7, 2.2}, {}, {37, 22}, 0, 21, QColor(200, 100, 50), 1},
        {"outside the picture is clear", stripes(QImage::Format_RGBA8888_Premultiplied), {1, 1}, {-4, 0}, {8, 8}, 1, 1, QColor(0, 0, 0, 0), 0},
        {"a window moves the picture", stripes(QImage::Format_ARGB32_Premultiplied), {1, 1}, {3, 0}, {8, 8}, 0, 4, Qt::white, 1},
    };
    for (const auto& row : rows) {
        const QImage scaled = LanczosScaler::resampled(row.picture, row.scale, row.origin, row.size);
        ASSERT_EQ(scaled.size(), row.size) << row.name;
        EXPECT_EQ(scaled.format(), row.picture.format()) << row.name;
        const QColor found = scaled.pixelColor(row.x, row.y);
        for (const auto& [got, wanted] : {std::pair{found.red(), row.colour.red()}, {found.green(), row.colour.green()}, {found.alpha(), row.colour.alpha()}})
            EXPECT_NEAR(got, wanted, row.tolerance) << row.name;
    }
}

TEST(LanczosScaler, refusesWhatItCannotScale)
{
    const QImage picture = stripes(QImage::Format_RGBA8888);
    EXPECT_TRUE(LanczosScaler::resampled(picture.convertToFormat(QImage::Format_Grayscale8), {1, 1}, {}, {4, 4}).isNull());
    EXPECT_TRUE(LanczosScaler::resampled(picture, {0, 1}, {}, {4, 4}).isNull());
    EXPECT_TRUE(LanczosScaler::resampled(picture, {1, 1}, {}, {0, 4}).isNull());
}
