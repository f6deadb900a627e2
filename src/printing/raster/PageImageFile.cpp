#include "printing/raster/PageImageFile.h"

#include "core/image/ImageOrientation.h"
#include "core/image/ImageProperties.h"
#include "core/image/UprightImageReader.h"
#include "platform/files/BoundedFileRead.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>

PageImageFile::PageImageFile(const QUrl& url)
{
    if (!url.isLocalFile())
        return;
    // A picture that cannot be read gives no page picture, which its callers report.
    const auto contents = platform::BoundedFileRead::contents(url.toLocalFile(), UprightImageReader::maximumFileSize);
    if (!contents)
        return;
    m_data = *contents;
    QBuffer buffer(&m_data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    m_storedSize = reader.size();
    m_isJpeg = reader.format() == "jpeg";
    if (!m_storedSize.isValid() || m_storedSize.isEmpty())
        return;
    const auto properties = ImageProperties::read(m_data);
    const int orientation = ImageOrientation::valid(properties ? int(properties->value(ImageProperties::orientationKey, 1).toLongLong()) : 1);
    m_uprightSize = ImageOrientation::oriented(QSizeF(m_storedSize), orientation).toSize();
}

int PageImageFile::reductionFor(double scale) const
{
    if (!m_isJpeg)
        return 1;
    for (int reduction : {8, 4, 2}) {
        const bool exact = m_storedSize.width() % reduction == 0 && m_storedSize.height() % reduction == 0;
        if (exact && scale * reduction <= 1.0)
            return reduction;
    }
    return 1;
}

QImage PageImageFile::decode(int reduction) const
{
    const int longerSide = std::max(m_storedSize.width(), m_storedSize.height()) / std::max(1, reduction);
    QImage image = UprightImageReader::read(m_data, reduction > 1 ? longerSide : 0);
    const QColorSpace sRGB(QColorSpace::SRgb);
    if (image.colorSpace().isValid() && image.colorSpace() != sRGB)
        image.convertToColorSpace(sRGB);
    return image;
}
