#pragma once

#include <QImage>
#include <QSize>

#include <cstddef>
#include <memory>

// The pixel memory of the large bitmaps a rendering makes and drops (decoded
// photos, their scaled parts, canvases), and the bytes of the picture files it
// reads, kept for the next rendering of the process: memory the process has
// touched once costs no page faults when it is used again, and large buffers
// lie in huge pages where the kernel has them, so that even their first touch
// costs few. Bounded: buffers beyond `maxKeptBytes` are given back to the
// system, the longest unused first. Thread-safe.
class PixelBufferPool {
public:
    static constexpr std::size_t maxKeptBytes = std::size_t(64) << 20;
    // Bitmaps below this size come from the allocator as usual.
    static constexpr std::size_t minPooledBytes = std::size_t(256) << 10;
    // What reserve() sets aside: room for the canvas and the photo parts a
    // rendering of a 4x6 print at 300 dpi holds at once.
    static constexpr int reservedBuffers = 4;
    static constexpr std::size_t reservedBufferBytes = std::size_t(12) << 20;

    // A bitmap of `size` and `format` (uninitialised) whose pixels return to
    // the pool when its last copy is gone; a null image when the memory cannot
    // be had or the size is not valid.
    static QImage image(QSize size, QImage::Format format);
    // A block of at least `bytes` (uninitialised) that returns to the pool when
    // the last copy of the pointer is gone; null when the memory cannot be had.
    static std::shared_ptr<char> block(std::size_t bytes);
    // Touches `reservedBuffers` buffers of `reservedBufferBytes` and keeps them,
    // so that the first rendering of a process finds its memory already
    // faulted in. A reserved buffer serves any bitmap it holds when no kept
    // buffer fits more closely. Thread-safe; the kept bound still holds.
    static void reserve();
    // The bytes of the buffers kept for reuse now.
    static std::size_t keptBytes();
};
