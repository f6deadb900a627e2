// The print page's colour: the printer profile it is rendered in and its pixel formats.
#include "platform/Log.h"
#include "platform/files/BoundedFileRead.h"
#include "printing/pages/ZORVAK_PrintPage.h"
#include "printing/raster/ZORVAK_ColorSpace.h"

namespace {

// Printer profiles with large tables run to a few megabytes; anything larger is no profile.
constexpr qint64 MaximumProfileSize = 64 * 1024 * 1024;

// The profile's data; none when there is no profile or it cannot be read.
QByteArray profileData(const QUrl& url)
{
    if (!url.isLocalFile())
        return {};
    platform::Error error;
    const auto contents = platform::BoundedFileRead::contents(url.toLocalFile(), MaximumProfileSize, &error);
    if (!contents)
        platform::Log::error(error.description());
    return contents.value_or(QByteArray());
}

} // namespace

QUrl ZORVAK_PrintPage::printerProfileICC() const
{
    std::lock_guard lock(m_mutex);
    return m_printerProfileICC;
}

void ZORVAK_PrintPage::setPrinterProfileICC(const QUrl& url)
{
    {
        std::lock_guard lock(m_mutex);
        m_printerProfileICC = url;
    }
    imagePreviewInputsChanged();
}

qint32 ZORVAK_PrintPage::colorManagement() const
{
    std::lock_guard lock(m_mutex);
    return m_colorManagement;
}

void ZORVAK_PrintPage::setColorManagement(qint32 mode)
{
    {
        std::lock_guard lock(m_mutex);
        m_colorManagement = mode;
    }
    imagePreviewInputsChanged();
}

std::shared_ptr<const ZORVAK_ColorSpace> ZORVAK_PrintPage::outputColorSpace() const
{
    QUrl profileURL;
    {
        std::lock_guard lock(m_mutex);
        if (m_colorManagement == 1 || m_colorManagement == 2)
            profileURL = m_printerProfileICC;
    }
    const QByteArray data = profileData(profileURL);
    const auto space = data.isEmpty() ? nullptr : ZORVAK_ColorSpace::fromICCData(data);
    if (!space)
        return ZORVAK_ColorSpace::sRGB();
    const auto model = space->model();
    if (model == ZORVAK_ColorSpace::Model::Monochrome || model == ZORVAK_ColorSpace::Model::RGB) {
        if (space->producesOutput())
            return space;
        platform::Log::log(QStringLiteral("incompatible color profile does not produce output!"));
    } else {
        platform::Log::log(QStringLiteral("incompatible color space %1 for color profile. must be RGB or monochrome!").arg(int(model)));
    }
    std::lock_guard lock(m_mutex);
    if (m_printerProfileICC == profileURL) {
        m_printerProfileICC.clear();
        m_colorManagement = 1;
    }
    return ZORVAK_ColorSpace::sRGB();
}

QImage::Format ZORVAK_PrintPage::rasterContextFormatWorking() const
{
    return QImage::Format_RGBA8888_Premultiplied;
}

QImage::Format ZORVAK_PrintPage::rasterContextFormatOutput() const
{
    return QImage::Format_RGBX8888;
}
