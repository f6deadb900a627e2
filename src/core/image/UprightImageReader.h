#pragma once

#include <QImage>
#include <QString>
#include <QVariant>

#include <optional>

// Reads image 0 of an image file or of image data the way it is meant to be
// seen: the orientation its metadata states (all eight, mirrored ones included)
// is applied. Input is untrusted: anything but a regular file, files above
// `maximumFileSize` and images with a side above `maximumSide` are refused (the
// files with a logged error), and Qt's allocation limit bounds the decoded size.
class UprightImageReader {
public:
    static constexpr int maximumSide = 20000;
    static constexpr qint64 maximumFileSize = qint64(1) << 30;

    // The local path of a path text or a file URL; none for anything else.
    static std::optional<QString> localPath(const QVariant& pathOrUrl);

    // The upright image of `source` (a path text, a file URL or image data);
    // a null image when it cannot be read. When `maximumLongerSide` is positive
    // the image is scaled down (never up) so that its longer side is at most that.
    static QImage read(const QVariant& source, int maximumLongerSide = 0);
};
