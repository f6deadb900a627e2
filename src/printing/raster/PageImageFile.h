#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QUrl>

// The picture file of a print page, read once (a regular file of bounded size)
// and decoded upright, in sRGB. A page that needs far fewer pixels than a JPEG
// holds may have it decoded at a half, a quarter or an eighth of its size,
// which the decoder does in its transform at the same quality as a proper
// reduction.
class PageImageFile {
public:
    explicit PageImageFile(const QUrl& url);

    // Whether the file was read and holds a picture of a known size.
    bool isValid() const { return m_uprightSize.isValid(); }
    // The picture's size once turned upright by its orientation.
    QSize uprightSize() const { return m_uprightSize; }

    // The largest reduction (1, 2, 4 or 8) at which the picture can be decoded
    // so that scaling it by `scale` times the reduction still reduces it.
    int reductionFor(double scale) const;
    // The picture upright in sRGB, decoded at 1/`reduction` of its size; a null
    // image when it cannot be decoded.
    QImage decode(int reduction) const;

private:
    QByteArray m_data;
    QSize m_storedSize;
    QSize m_uprightSize;
    bool m_isJpeg = false;
};
