#include "core/image/PixelBufferPool.h"

#include <cstdlib>
#include <cstring>
#include <list>
#include <mutex>

namespace {

struct Buffer {
    void* memory;
    std::size_t capacity;
    bool reserved = false; // set aside at start; serves any bitmap it holds
};

bool fitsClosely(const Buffer& buffer, std::size_t bytes)
{
    return buffer.capacity >= bytes && buffer.capacity <= bytes * 3 / 2;
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
        void* memory = std::aligned_alloc(64, (bytes + 63) / 64 * 64);
        return memory ? new Buffer{memory, bytes} : nullptr;
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
            std::free(each.memory);
    }

    void reserve()
    {
        for (int index = 0; index < PixelBufferPool::reservedBuffers; ++index) {
            void* memory = std::aligned_alloc(64, PixelBufferPool::reservedBufferBytes);
            if (!memory)
                return;
            std::memset(memory, 0, PixelBufferPool::reservedBufferBytes);
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

void PixelBufferPool::reserve()
{
    Pool::shared().reserve();
}

std::size_t PixelBufferPool::keptBytes()
{
    return Pool::shared().keptBytes();
}
