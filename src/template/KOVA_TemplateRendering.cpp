// Rendering of templates: the queues renders run on, the image cache, previews,
// composed images and thumbnails.
#include "template/KOVA_Template.h"

#include "core/foundation/ZORVAK_Extras_NSURL.h"
#include "core/foundation/ZORVAK_SystemInfo.h"
#include "core/queues/ZORVAK_Dispatch.h"
#include "core/queues/ZORVAK_QueuePool.h"
#include "platform/Log.h"
#include "template/KOVA_ProductImageComposer.h"
#include "template/KOVA_XML_Keys.h"

#include <algorithm>

// ---- Queues ----

ZORVAK_Dispatch::Queue KOVA_Template::atomicQueue()
{
    static const ZORVAK_Dispatch::Queue queue =
        ZORVAK_Dispatch::dispatchQueueSerialWithDebugLabel(QStringLiteral("com.morvanta.kova.queue.shared.atomic.template"));
    return queue;
}

ZORVAK_Dispatch::Queue KOVA_Template::renderingQueueOfPool()
{
    static ZORVAK_QueuePool pool(ZORVAK_SystemInfo().cpuCountLogical(),
                                 QStringLiteral("com.morvanta.kova.template.rendering."), atomicQueue());
    return pool.nextQueue();
}

// Made under the object's own lock rather than on the atomic queue: the check is
// made on every render and must not cost a hop to another thread.
ZORVAK_Dispatch::Queue KOVA_Template::renderingQueue() const
{
    std::lock_guard lock(m_renderingMutex);
    if (!m_renderingQueue) {
        m_renderingQueue =
            ZORVAK_Dispatch::dispatchQueueSerialWithDebugLabel(QStringLiteral("com.morvanta.kova.queue.rendering.") + name());
    }
    return m_renderingQueue;
}

void KOVA_Template::performSyncOnRenderingQueue(const std::function<void()>& block) const
{
    ZORVAK_Dispatch::performSyncOnQueue(renderingQueue(), block);
}

void KOVA_Template::performAsyncOnRenderingQueue(const std::function<void(const Pointer& self)>& block)
{
    const Pointer self = sharedTemplate();
    if (!self) {
        platform::Log::error(QStringLiteral("template %1 is not shared and cannot be rendered in the background").arg(name()));
        return;
    }
    renderingQueue()->async([self, block] { block(self); });
}

// ---- Rendering ----

QString KOVA_Template::cacheKeyForName(const QString& name)
{
    return QStringLiteral("com.morvanta.kova.template.image.") + name;
}

QImage KOVA_Template::image()
{
    return cachedImage(cacheKeyForName(name()), {.scale = scale()});
}

QImage KOVA_Template::image(const KOVA_RenderOptions& options) const
{
    return cachedImage(cacheKeyForName(name()) + QLatin1Char(' ') + options.description(), options);
}

QImage KOVA_Template::cachedImage(const QString& key, const KOVA_RenderOptions& options) const
{
    QImage rendered;
    performSyncOnRenderingQueue([&] {
        {
            std::lock_guard lock(m_renderingMutex);
            const auto cached = m_cacheDict.constFind(key);
            if (cached != m_cacheDict.cend()) {
                rendered = *cached;
                return;
            }
        }
        rendered = createProductImage(options);
        if (!rendered.isNull()) {
            std::lock_guard lock(m_renderingMutex);
            m_cacheDict.insert(key, rendered);
        }
    });
    return rendered;
}

QImage KOVA_Template::imageUncached()
{
    QImage rendered;
    performSyncOnRenderingQueue([&] { rendered = createProductImage({.scale = scale()}); });
    return rendered;
}

void KOVA_Template::getPreviewImage(const ImageBlock& block)
{
    getUnrotated(false, block);
}

void KOVA_Template::getPreviewImageUnrotated(const ImageBlock& block)
{
    getUnrotated(true, block);
}

void KOVA_Template::getUnrotated(bool unrotated, const ImageBlock& previewImage)
{
    if (!previewImage)
        return;
    performAsyncOnRenderingQueue([unrotated, previewImage](const Pointer& self) {
        const QImage rendered = self->renderPreview(unrotated);
        ZORVAK_Dispatch::performAsyncOnMainQueue([previewImage, rendered] { previewImage(rendered); });
    });
}

// Renders are serial on the rendering queue, so no other render of this object
// overlaps the one the flags report.
QImage KOVA_Template::renderPreview(bool unrotated)
{
    m_isRenderingPreview = true;
    m_isRenderingUnrotated = unrotated;
    const QImage rendered = createProductImage({.preview = true, .unrotated = unrotated, .scale = scale()});
    m_isRenderingPreview = false;
    m_isRenderingUnrotated = false;
    return rendered;
}

void KOVA_Template::getComposedImage(const ImageBlock& block)
{
    if (!block)
        return;
    performAsyncOnRenderingQueue([block](const Pointer& self) {
        block(self->createProductImage({.scale = self->scale()}));
    });
}

void KOVA_Template::getThumbnailImage(const ImageBlock& block)
{
    if (!block)
        return;
    performAsyncOnRenderingQueue([block](const Pointer& self) {
        const Pointer copied = self->copy();
        if (!copied) {
            block({});
            return;
        }
        // The flag alone: the property setter would also remember a background
        // opacity in the preferences.
        copied->setValue(KOVA_XML_Key_backgroundEnabled, stringForBOOL(true));
        block(copied->createProductImage({.preview = true, .scale = self->scaleForSize(sizeThumbnail())}));
    });
}

QImage KOVA_Template::createProductImage(const KOVA_RenderOptions& options) const
{
    return KOVA_ProductImageComposer(*this, options).createProductImage();
}

// ---- Thumbnail ----

// The test-and-set is made under the object's lock, so the first of any number of
// simultaneous calls, on any thread, starts the render. The result is stored and
// announced on the main queue by a block posted there: the rendering queue never
// waits for the main queue.
QImage KOVA_Template::thumbnail()
{
    {
        std::lock_guard lock(m_renderingMutex);
        if (!m_thumbnail.isNull() || m_isRenderingThumbnail)
            return m_thumbnail;
        m_isRenderingThumbnail = true;
    }
    const Pointer self = sharedTemplate();
    getThumbnailImage([self](const QImage& rendered) {
        ZORVAK_Dispatch::performAsyncOnMainQueue([self, rendered] { self->finishThumbnail(rendered); });
    });
    if (!self)
        finishThumbnail({});
    return {};
}

void KOVA_Template::finishThumbnail(const QImage& rendered)
{
    if (!rendered.isNull()) {
        announcing({Property::thumbnail}, [&] {
            std::lock_guard lock(m_renderingMutex);
            m_thumbnail = rendered;
        });
    }
    std::lock_guard lock(m_renderingMutex);
    m_isRenderingThumbnail = false;
}

bool KOVA_Template::isRenderingThumbnail() const
{
    std::lock_guard lock(m_renderingMutex);
    return m_isRenderingThumbnail;
}

QImage KOVA_Template::storedThumbnail() const
{
    std::lock_guard lock(m_renderingMutex);
    return m_thumbnail;
}

// ---- Sizes ----

std::optional<double> KOVA_Template::scaleForSize(const QSizeF& size) const
{
    const QSizeF frameSize = frameUnscaled().size();
    if (!(frameSize.width() > 0 && frameSize.height() > 0 && size.width() > 0 && size.height() > 0))
        return std::nullopt;
    return std::min(size.width() / frameSize.width(), size.height() / frameSize.height());
}

QSizeF KOVA_Template::sizeScaledToSize(const QSizeF& size) const
{
    const QSizeF frameSize = frameUnscaled().size();
    const auto factor = scaleForSize(size);
    return factor ? frameSize * *factor : frameSize;
}

QByteArray KOVA_Template::generationID() const
{
    const QUrl url = documentURL();
    return url.isEmpty() ? QByteArray() : ZORVAK_Extras_NSURL::generationID(url);
}

std::unique_lock<std::mutex> KOVA_Template::lockForOutput()
{
    return std::unique_lock(m_outputMutex);
}
