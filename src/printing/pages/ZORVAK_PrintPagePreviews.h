#pragma once

#include <QImage>
#include <QSizeF>

#include <atomic>
#include <memory>
#include <mutex>

class ZORVAK_PrintPage;

// The images a print page offers for display: a full-size preview of its raster and a small
// thumbnail. Reading either answers what is there now and may start a build on the
// user-interactive global queue; the build publishes its image on the main queue, where the
// page announces it to its observers.
//
// The preview is built again only after a change of what it shows (markChanged), so an
// observer that redraws on the announcement of a new preview, and reads it again, does not
// start another build. A thumbnail that could not be made is not tried again until such a
// change either: its flag stays up until then.
//
// The decisions are taken on the main queue; the flags and images may be read on any queue.
class ZORVAK_PrintPagePreviews {
public:
    explicit ZORVAK_PrintPagePreviews(ZORVAK_PrintPage& page);

    QImage imagePreview();
    QImage imageThumbnail();
    // Up while a build runs; the thumbnail's also while a failed attempt stands.
    bool didUpdateImagePreview() const { return m_buildingPreview; }
    bool didUpdateImageThumbnail() const;
    // Something the preview shows has changed.
    void markChanged();

    // The preference "thumbnailSizeCustom" as a size; 64 by 64 when it is missing or unusable.
    static QSizeF thumbnailSize();

private:
    static constexpr quint64 NoChange = ~quint64(0);

    // On the main queue: whether to start a build, with its flag raised.
    bool startsPreviewBuild();
    bool startsThumbnailBuild();
    void buildPreview(const std::shared_ptr<ZORVAK_PrintPage>& page);
    void buildThumbnail(const std::shared_ptr<ZORVAK_PrintPage>& page, quint64 change);
    // Announces `key` around setting the flag.
    void setFlag(std::atomic<bool>& flag, bool value, const QString& key);
    void publish(QImage& field, const QImage& image, const QString& key);
    QImage current(const QImage& field) const;

    ZORVAK_PrintPage& m_page;
    std::atomic<quint64> m_changes = 0;
    // Main queue only: the change the last preview build started from.
    quint64 m_previewChange = NoChange;
    std::atomic<quint64> m_failedThumbnailChange = NoChange;
    std::atomic<bool> m_buildingPreview = false;
    std::atomic<bool> m_buildingThumbnail = false;

    mutable std::mutex m_mutex; // guards the images
    QImage m_preview;
    QImage m_thumbnail;
};
