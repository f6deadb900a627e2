// The print page's images for display, made and announced by its previews.
#include "printing/pages/ZORVAK_PrintPage.h"

#include "printing/pages/ZORVAK_PrintPagePreviews.h"

ZORVAK_PrintPage::Previews ZORVAK_PrintPage::makePreviews(ZORVAK_PrintPage& page)
{
    return Previews(new ZORVAK_PrintPagePreviews(page));
}

void ZORVAK_PrintPage::PreviewsDeleter::operator()(ZORVAK_PrintPagePreviews* previews) const
{
    delete previews;
}

QImage ZORVAK_PrintPage::imagePreview() const
{
    return m_previews->imagePreview();
}

QImage ZORVAK_PrintPage::imageThumbnail() const
{
    return m_previews->imageThumbnail();
}

bool ZORVAK_PrintPage::didUpdateImagePreview() const
{
    return m_previews->didUpdateImagePreview();
}

bool ZORVAK_PrintPage::didUpdateImageThumbnail() const
{
    return m_previews->didUpdateImageThumbnail();
}

QSizeF ZORVAK_PrintPage::thumbnailSize()
{
    return ZORVAK_PrintPagePreviews::thumbnailSize();
}

QSet<QString> ZORVAK_PrintPage::keyPathsForValuesAffectingImagePreview()
{
    static const QSet<QString> keyPaths{
        QStringLiteral("multicut"),
        QStringLiteral("quality"),
        QStringLiteral("inputImages"),
        QStringLiteral("imageFilters"),
        QStringLiteral("printerProfileICC"),
        QStringLiteral("imageGravity"),
        QStringLiteral("colorManagement"),
        QStringLiteral("autoRotate"),
        QStringLiteral("applyImageFilters"),
    };
    return keyPaths;
}

QVariant ZORVAK_PrintPage::valueForKey(const QString& key) const
{
    if (key == ImagePreviewKey)
        return imagePreview();
    if (key == ImageThumbnailKey)
        return imageThumbnail();
    if (key == DidUpdateImagePreviewKey)
        return didUpdateImagePreview();
    if (key == DidUpdateImageThumbnailKey)
        return didUpdateImageThumbnail();
    return platform::Observable::valueForKey(key);
}

void ZORVAK_PrintPage::imagePreviewInputsChanged()
{
    m_previews->markChanged();
}
