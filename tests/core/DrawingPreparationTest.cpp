// A process prepared for drawing gives its first rendering memory that is
// faulted in already: the bitmaps it holds and the bytes of its photo files
// (both taken from the pixel buffer pool), on a thread of its own.

#include "core/image/PixelBufferPool.h"
#include "core/image/ZORVAK_Image.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <memory>
#include <thread>

namespace {

long threadMinorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

TEST(DrawingPreparationTest, FirstRenderingThreadFindsItsMemoryFaultedIn)
{
    ZORVAK_Image::prepareForDrawing();
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "sanitisers allocate from memory of their own";
#endif
    constexpr std::size_t fileBytes = std::size_t(2800) << 10;
    long faults = 0;
    std::thread([&] {
        const long before = threadMinorFaults();
        QImage canvas = PixelBufferPool::image(QSize(1800, 1200), QImage::Format_RGBA8888_Premultiplied);
        canvas.fill(Qt::white);
        const std::shared_ptr<char> files[] = {PixelBufferPool::block(fileBytes), PixelBufferPool::block(fileBytes)};
        for (const auto& bytes : files) {
            ASSERT_TRUE(bytes);
            std::fill_n(static_cast<volatile char*>(bytes.get()), fileBytes, 1);
        }
        faults = threadMinorFaults() - before;
    }).join();
    // Fresh memory would fault in a page of every 4 KB: over 3,500 pages.
    EXPECT_LT(faults, 400);
}

} // namespace
