// The Mitsubishi page's colour: the printer's own profile and 16-bit pixels.
#include "platform/Log.h"
#include "platform/files/BoundedFileRead.h"
#include "platform/files/ResourcePaths.h"
#include "printing/pages/ZORVAK_PrintPageMitsu1.h"
#include "printing/raster/ZORVAK_ColorSpace.h"

namespace {

const QString PrinterProfileName = QStringLiteral("CPD70_SF");
const QString PrinterProfileType = QStringLiteral("icc");
constexpr qint64 MaximumProfileSize = 16 * 1024 * 1024;

// The printer's profile, read once; none, logged, when the resource is missing or unusable.
std::shared_ptr<const ZORVAK_ColorSpace> readPrinterColorSpace()
{
    const QString path = platform::ResourcePaths::pathForResource(PrinterProfileName, PrinterProfileType);
    platform::Error error;
    const auto data = path.isEmpty() ? std::nullopt : platform::BoundedFileRead::contents(path, MaximumProfileSize, &error);
    const auto space = data ? ZORVAK_ColorSpace::fromICCData(*data) : nullptr;
    if (!space) {
        const QString why = path.isEmpty() ? QStringLiteral("missing") : data ? QStringLiteral("not a colour profile") : error.description();
        platform::Log::error(QStringLiteral("no printer profile %1.%2 (%3): Mitsubishi pages render in sRGB").arg(PrinterProfileName, PrinterProfileType, why));
    }
    return space;
}

} // namespace

std::shared_ptr<const ZORVAK_ColorSpace> ZORVAK_PrintPageMitsu1::outputColorSpace() const
{
    static const std::shared_ptr<const ZORVAK_ColorSpace> printerSpace = readPrinterColorSpace();
    return printerSpace ? printerSpace : ZORVAK_ColorSpace::sRGB();
}

QImage::Format ZORVAK_PrintPageMitsu1::rasterContextFormatWorking() const
{
    return QImage::Format_RGBA64_Premultiplied;
}

QImage::Format ZORVAK_PrintPageMitsu1::rasterContextFormatOutput() const
{
    return QImage::Format_RGBX64;
}
