#pragma once

#include <QSet>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace platform {
class DispatchQueue;
}

// Keeps the folder of print-page pictures from filling the disk. A picture has to stay
// for as long as Pressoria may still print its page, and nothing tells when that is:
// a picture older than maximumAge that no print page in the print centre's hot folder
// names is removed. A started cleaner runs at once and every `interval` after, on the
// dispatch clock, for as long as it lives, one run at a time; each run logs one line.
class KOVA_PrintPicturesCleaner : public std::enable_shared_from_this<KOVA_PrintPicturesCleaner> {
public:
    static constexpr std::chrono::hours interval{24};
    // The system's own age for temporary files.
    static constexpr std::chrono::hours maximumAge{24 * 10};
    // Largest print page read for the pictures it names.
    static constexpr qint64 MaximumPrintPageSize = 16 * 1024 * 1024;

    struct Removal {
        int count = 0;
        qint64 bytes = 0;
    };

    // A cleaner whose first run is under way on its queue.
    static std::shared_ptr<KOVA_PrintPicturesCleaner> start();
    // The serial queue the cleaner's runs take turns on.
    const std::shared_ptr<platform::DispatchQueue>& queue() const { return m_queue; }

    // One run over the print pictures with the pages of Pressoria's hot folder: removes
    // the old pictures no page names and logs how many went and the bytes freed. None
    // goes while the hot folder cannot be read, as its pages may name any of them.
    static Removal removeOldPictures();

private:
    KOVA_PrintPicturesCleaner();
    void scheduleNextRun();
    // The file names of the pictures the pages in `hotFolder` name; none when the folder
    // cannot be read. A page that cannot be read is logged and names nothing.
    static std::optional<QSet<QString>> namedPictures(const QString& hotFolder);
    static QSet<QString> picturesNamedBy(const QString& page);

    const std::shared_ptr<platform::DispatchQueue> m_queue;
};
