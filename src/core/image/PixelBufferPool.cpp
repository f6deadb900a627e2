#include "core/image/PixelBufferPool.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <list>
#include <mutex>
#include <new>

namespace {

constexpr std::size_t hugePageBytes = std::size_t(2) << 20;

constexpr std::size_t roundedUp(std::size_t bytes, std::size_t unit)
{
    return (bytes + unit - 1) / unit * unit;
}

// The bytes a block for `bytes` holds: whole pages from one huge page on,
// whole cache lines below.
std::size_t blockBytes(std::size_t bytes)
{
    static const auto pageBytes = std::size_t(sysconf(_SC_PAGESIZE));
    return roundedUp(bytes, bytes >= hugePageBytes ? pageBytes : 64);
}

// A block of `capacity` bytes (a blockBytes() size). From one huge page on it is
// mapped on a 2 MiB boundary and advised for huge pages (Debian's kernels give
// them where asked in madvise mode), so that the first touch of each whole
// 2 MiB costs one page fault rather than 512; the part beyond the last whole
// huge page, and all of it where the kernel has none at hand, lies in small
// pages, so that no more is cleared than the block holds. Smaller blocks come
// from the allocator.
void* allocateBlock(std::size_t capacity)
{
    if (capacity < hugePageBytes)
        return std::aligned_alloc(64, capacity);
    // Mapped with room to start on the next boundary; the rest is unmapped again.
    const std::size_t mappedBytes = capacity + hugePageBytes;
    void* mapped = mmap(nullptr, mappedBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = roundedUp(start, hugePageBytes);
    if (aligned > start)
        munmap(mapped, aligned - start);
    if (const std::size_t tail = start + mappedBytes - (aligned + capacity); tail > 0)
        munmap(reinterpret_cast<void*>(aligned + capacity), tail);
    void* block = reinterpret_cast<void*>(aligned);
    madvise(block, capacity, MADV_HUGEPAGE); // advice only: small pages serve as well
    return block;
}

// Faults in every page of `block`: asked of the kernel where it can (no write of
// the bytes), else by writing them.
void faultIn(void* block, std::size_t capacity)
{
    if (madvise(block, capacity, MADV_POPULATE_WRITE) != 0)
        std::memset(block, 0, capacity);
}

void releaseBlock(void* memory, std::size_t capacity)
{
    if (capacity < hugePageBytes)
        std::free(memory);
    else
        munmap(memory, capacity);
}

struct Buffer {
    void* memory;
    std::size_t capacity;
    bool reserved = false; // set aside at start; serves any bitmap it holds
};

bool fitsClosely(const Buffer& buffer, std::size_t bytes)
{
    return buffer.capacity >= bytes && buffer.capacity <= blockBytes(bytes) * 3 / 2;
}

bool serves(const Buffer& buffer, std::size_t bytes)
{
    return fitsClosely(buffer, bytes) || (buffer.reserved && buffer.capacity >= bytes);
}

// Whether `each` serves `bytes` better than `best`: a close fit before a
// reserved buffer, the smaller of two alike.
bool servesBetter(const Buffer& each, const Buffer& best, std::size_t bytes)
{
    const bool eachFits = fitsClosely(each, bytes);
    if (eachFits != fitsClosely(best, bytes))
        return eachFits;
    return each.capacity < best.capacity;
}

class Pool {
public:
    // Never destroyed: bitmaps dropped on threads that still run while the
    // process exits give their buffers back to it.
    static Pool& shared()
    {
        static Pool* const pool = new Pool;
        return *pool;
    }

    // The smallest kept buffer that holds `bytes` without wasting half of
    // itself, else the smallest reserved one that holds it, else a new one;
    // null when there is no memory.
    Buffer* take(std::size_t bytes)
    {
        {
            std::lock_guard lock(m_mutex);
            auto best = m_kept.end();
            for (auto each = m_kept.begin(); each != m_kept.end(); ++each) {
                if (serves(*each, bytes) && (best == m_kept.end() || servesBetter(*each, *best, bytes)))
                    best = each;
            }
            if (best != m_kept.end()) {
                auto* taken = new Buffer(*best);
                m_keptBytes -= best->capacity;
                m_kept.erase(best);
                return taken;
            }
        }
        const std::size_t capacity = blockBytes(bytes);
        void* memory = allocateBlock(capacity);
        return memory ? new Buffer{memory, capacity} : nullptr;
    }

    // Keeps `buffer` as the most recently used, giving back the longest unused
    // ones beyond the bound.
    void giveBack(Buffer* buffer)
    {
        std::list<Buffer> released;
        {
            std::lock_guard lock(m_mutex);
            m_kept.push_front(*buffer);
            m_keptBytes += buffer->capacity;
            while (m_keptBytes > PixelBufferPool::maxKeptBytes) {
                m_keptBytes -= m_kept.back().capacity;
                released.splice(released.end(), m_kept, std::prev(m_kept.end()));
            }
        }
        delete buffer;
        for (const Buffer& each : released)
            releaseBlock(each.memory, each.capacity);
    }

    void reserve()
    {
        for (int index = 0; index < PixelBufferPool::reservedBuffers; ++index) {
            void* memory = allocateBlock(PixelBufferPool::reservedBufferBytes);
            if (!memory)
                return;
            faultIn(memory, PixelBufferPool::reservedBufferBytes);
            giveBack(new Buffer{memory, PixelBufferPool::reservedBufferBytes, true});
        }
    }

    std::size_t keptBytes()
    {
        std::lock_guard lock(m_mutex);
        return m_keptBytes;
    }

private:
    std::mutex m_mutex;
    std::list<Buffer> m_kept; // most recently used first
    std::size_t m_keptBytes = 0;
};

void giveBack(void* buffer)
{
    Pool::shared().giveBack(static_cast<Buffer*>(buffer));
}

} // namespace

QImage PixelBufferPool::image(QSize size, QImage::Format format)
{
    const int depth = format == QImage::Format_Invalid ? 0 : QImage::toPixelFormat(format).bitsPerPixel();
    if (size.isEmpty() || depth == 0)
        return {};
    // Rows are aligned to 4 bytes, as Qt aligns its own.
    const qsizetype bytesPerLine = (qsizetype(size.width()) * depth + 31) / 32 * 4;
    const std::size_t bytes = std::size_t(bytesPerLine) * std::size_t(size.height());
    if (bytes < minPooledBytes)
        return QImage(size, format);
    Buffer* buffer = Pool::shared().take(bytes);
    if (!buffer)
        return {};
    QImage image(static_cast<uchar*>(buffer->memory), size.width(), size.height(), bytesPerLine, format, giveBack, buffer);
    if (image.isNull())
        giveBack(buffer);
    return image;
}

std::shared_ptr<char> PixelBufferPool::block(std::size_t bytes)
{
    if (bytes < minPooledBytes)
        return std::shared_ptr<char>(new (std::nothrow) char[std::max<std::size_t>(bytes, 1)], std::default_delete<char[]>());
    Buffer* buffer = Pool::shared().take(bytes);
    if (!buffer)
        return nullptr;
    return std::shared_ptr<char>(static_cast<char*>(buffer->memory), [buffer](char*) { giveBack(buffer); });
}

void PixelBufferPool::reserve()
{
    Pool::shared().reserve();
}

std::size_t PixelBufferPool::keptBytes()
{
    return Pool::shared().keptBytes();
}
