#include "printing/pages/ZORVAK_PrintPagePreviews.h"

#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/text/GeometryText.h"
#include "printing/pages/ZORVAK_PrintPage.h"

#include <cmath>

namespace {

const QString ThumbnailSizeKey = QStringLiteral("thumbnailSizeCustom");
const QSizeF DefaultThumbnailSize(64, 64);
// A thumbnail larger than this on either side is no thumbnail: the preference is not used.
constexpr double LargestThumbnailSide = 4096;

bool isUsableThumbnailSide(double side)
{
    return std::isfinite(side) && side > 0 && side <= LargestThumbnailSide;
}

std::shared_ptr<platform::DispatchQueue> buildQueue()
{
    return platform::DispatchQueue::global(platform::QoS::UserInteractive);
}

} // namespace

ZORVAK_PrintPagePreviews::ZORVAK_PrintPagePreviews(ZORVAK_PrintPage& page)
    : m_page(page)
{
}

QSizeF ZORVAK_PrintPagePreviews::thumbnailSize()
{
    const QString text = platform::UserDefaults::standardUserDefaults()->stringForKey(ThumbnailSizeKey);
    const QSizeF size = platform::GeometryText::sizeFromString(text);
    if (isUsableThumbnailSide(size.width()) && isUsableThumbnailSide(size.height()))
        return size;
    return DefaultThumbnailSize;
}

void ZORVAK_PrintPagePreviews::markChanged()
{
    m_page.willChangeValueForKey(ZORVAK_PrintPage::ImagePreviewKey);
    ++m_changes;
    m_page.didChangeValueForKey(ZORVAK_PrintPage::ImagePreviewKey);
}

bool ZORVAK_PrintPagePreviews::didUpdateImageThumbnail() const
{
    return m_buildingThumbnail || m_failedThumbnailChange == m_changes;
}

QImage ZORVAK_PrintPagePreviews::imagePreview()
{
    // The build keeps the page alive; a page no shared pointer owns gets no previews.
    if (const std::shared_ptr<ZORVAK_PrintPage> page = m_page.weak_from_this().lock()) {
        bool starts = false;
        platform::DispatchQueue::main()->sync([&] { starts = startsPreviewBuild(); });
        if (starts)
            buildQueue()->async([this, page] { buildPreview(page); });
    }
    return current(m_preview);
}

QImage ZORVAK_PrintPagePreviews::imageThumbnail()
{
    const QImage thumbnail = current(m_thumbnail);
    if (!thumbnail.isNull())
        return thumbnail;
    if (const std::shared_ptr<ZORVAK_PrintPage> page = m_page.weak_from_this().lock()) {
        bool starts = false;
        quint64 change = 0;
        platform::DispatchQueue::main()->sync([&] {
            change = m_changes;
            starts = startsThumbnailBuild();
        });
        if (starts)
            buildQueue()->async([this, page, change] { buildThumbnail(page, change); });
    }
    return current(m_thumbnail);
}

bool ZORVAK_PrintPagePreviews::startsPreviewBuild()
{
    const quint64 change = m_changes;
    if (m_buildingPreview || m_previewChange == change)
        return false;
    m_previewChange = change;
    setFlag(m_buildingPreview, true, ZORVAK_PrintPage::DidUpdateImagePreviewKey);
    // The thumbnail shows the old state now: the next read makes a new one.
    const std::lock_guard lock(m_mutex);
    m_thumbnail = QImage();
    return true;
}

bool ZORVAK_PrintPagePreviews::startsThumbnailBuild()
{
    if (!current(m_thumbnail).isNull() || didUpdateImageThumbnail())
        return false;
    setFlag(m_buildingThumbnail, true, ZORVAK_PrintPage::DidUpdateImageThumbnailKey);
    return true;
}

void ZORVAK_PrintPagePreviews::buildPreview(const std::shared_ptr<ZORVAK_PrintPage>& page)
{
    const QImage preview = page->imageRaster();
    platform::DispatchQueue::main()->sync([&] {
        publish(m_preview, preview, ZORVAK_PrintPage::ImagePreviewKey);
        setFlag(m_buildingPreview, false, ZORVAK_PrintPage::DidUpdateImagePreviewKey);
    });
}

void ZORVAK_PrintPagePreviews::buildThumbnail(const std::shared_ptr<ZORVAK_PrintPage>& page, quint64 change)
{
    const QVariantMap options{{ZORVAK_PrintPage::kImageIsPreview, true},
                              {ZORVAK_PrintPage::kImagePreviewSize, platform::GeometryText::stringFromSize(thumbnailSize())}};
    const QImage thumbnail = page->renderedImage(options);
    platform::DispatchQueue::main()->sync([&] {
        if (thumbnail.isNull()) {
            // The flag stays up: no further attempt until the page changes.
            m_failedThumbnailChange = change;
            m_buildingThumbnail = false;
            return;
        }
        publish(m_thumbnail, thumbnail, ZORVAK_PrintPage::ImageThumbnailKey);
        setFlag(m_buildingThumbnail, false, ZORVAK_PrintPage::DidUpdateImageThumbnailKey);
    });
}

void ZORVAK_PrintPagePreviews::setFlag(std::atomic<bool>& flag, bool value, const QString& key)
{
    m_page.willChangeValueForKey(key);
    flag = value;
    m_page.didChangeValueForKey(key);
}

void ZORVAK_PrintPagePreviews::publish(QImage& field, const QImage& image, const QString& key)
{
    m_page.willChangeValueForKey(key);
    {
        const std::lock_guard lock(m_mutex);
        field = image;
    }
    m_page.didChangeValueForKey(key);
}

QImage ZORVAK_PrintPagePreviews::current(const QImage& field) const
{
    const std::lock_guard lock(m_mutex);
    return field;
}
