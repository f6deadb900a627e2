// Bitmap memory is reused across renderings, within its bound.

#include "core/image/PixelBufferPool.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

TEST(PixelBufferPoolTest, MemoryOfDroppedBitmapsIsReusedWithinTheBound)
{
    const uchar* first = nullptr;
    {
        QImage canvas = PixelBufferPool::image(QSize(1800, 1200), QImage::Format_RGBA8888_Premultiplied);
        ASSERT_FALSE(canvas.isNull());
        canvas.fill(Qt::red);
        const QImage copy = canvas;
        canvas.fill(Qt::blue); // writing to a shared bitmap detaches it, the copy keeps its pixels
        EXPECT_EQ(copy.pixelColor(10, 10), QColor(Qt::red));
        first = copy.constBits();
    }
    // The next bitmap of about that size takes the same memory.
    const QImage next = PixelBufferPool::image(QSize(1790, 1200), QImage::Format_RGBX8888);
    EXPECT_EQ(next.constBits(), first);
    EXPECT_EQ(next.bytesPerLine(), 1790 * 4);

    // Many large bitmaps dropped at once: the pool keeps no more than its bound.
    {
        std::vector<QImage> many;
        for (int index = 0; index < 12; ++index)
            many.push_back(PixelBufferPool::image(QSize(2000, 1500 + index), QImage::Format_RGBX8888));
    }
    EXPECT_LE(PixelBufferPool::keptBytes(), PixelBufferPool::maxKeptBytes);
    EXPECT_GT(PixelBufferPool::keptBytes(), PixelBufferPool::maxKeptBytes / 2);
    EXPECT_TRUE(PixelBufferPool::image(QSize(), QImage::Format_RGBX8888).isNull());
}

// Memory is reused across sizes: a block serves a later request it holds
// without wasting half of itself, whether it came as a bitmap or as the bytes of
// a file, and blocks from one huge page on start on a huge page boundary.
TEST(PixelBufferPoolTest, BlocksServeLaterRequestsOfCloseSizesOnly)
{
    constexpr std::size_t hugePage = std::size_t(2) << 20;
    struct Case {
        std::size_t first;
        std::size_t next;
        bool reused;
    };
    const Case cases[] = {
        {std::size_t(300) << 10, std::size_t(280) << 10, true},
        {std::size_t(300) << 10, std::size_t(100) << 10, false}, // below the pooled size
        {hugePage - 4096, hugePage - 8192, true},
        {hugePage + 4096, hugePage + 2048, true},
        {hugePage + 4096, std::size_t(1) << 20, false}, // would waste over half of it
        {std::size_t(9) << 20, std::size_t(8) << 20, true},
        {std::size_t(9) << 20, std::size_t(13) << 20, false}, // does not hold it
    };
    for (const Case& each : cases) {
        const char* first = nullptr;
        {
            const std::shared_ptr<char> block = PixelBufferPool::block(each.first);
            ASSERT_TRUE(block);
            std::fill_n(block.get(), each.first, 'x');
            first = block.get();
            if (each.first >= hugePage) {
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(first) % hugePage, 0u) << each.first;
            }
        }
        // Taken as a bitmap of one row, as the canvas and photo parts are.
        const QImage next = PixelBufferPool::image(QSize(int(each.next / 4), 1), QImage::Format_RGBX8888);
        ASSERT_FALSE(next.isNull());
        EXPECT_EQ(reinterpret_cast<const char*>(next.constBits()) == first, each.reused) << each.first << " then " << each.next;
    }
    EXPECT_LE(PixelBufferPool::keptBytes(), PixelBufferPool::maxKeptBytes);
}

long minorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// What a rendering holds at once (a canvas and photo parts) after reserve()
// lies in memory faulted in already, however the sizes differ from the reserve.
TEST(PixelBufferPoolTest, ReservedMemoryHoldsTheFirstBitmapsWithoutFaults)
{
    PixelBufferPool::reserve();
    std::vector<QImage> held;
    const long before = minorFaults();
    for (const QSize size : {QSize(1800, 1200), QSize(900, 1200), QSize(1200, 900), QSize(1000, 1000)}) {
        held.push_back(PixelBufferPool::image(size, QImage::Format_RGBA8888_Premultiplied));
        ASSERT_FALSE(held.back().isNull());
        held.back().fill(Qt::green);
    }
    const long pages = long(PixelBufferPool::reservedBufferBytes) * 2 / 4096;
    EXPECT_LT(minorFaults() - before, pages / 8);
    EXPECT_LE(PixelBufferPool::keptBytes(), PixelBufferPool::maxKeptBytes);
}

} // namespace
