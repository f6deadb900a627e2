#include "printing/ui/ZORVAK_PrintingView.h"

#include "core/codes/ZORVAK_2dCodeGenerator.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "printing/ui/ZORVAK_PrintSettings.h"
#include "printing/ui/ZORVAK_PrinterCatalogue.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

using platform::Error;
namespace Log = platform::Log;

namespace {

enum ScalingMode : qint64 { FitInside = 1, Stretch = 2, ByResolution = 3 };

constexpr double minimumResolution = 36;
constexpr double unitsPerInch = 72;

// Dots per inch from the image's properties, or 0 when it gives none usable.
QSizeF resolution(const QVariantMap& properties)
{
    double x = properties.value(QStringLiteral("DPIWidth")).toDouble();
    double y = properties.value(QStringLiteral("DPIHeight")).toDouble();
    if (x <= 0 && y <= 0) {
        const QVariantMap jfif = properties.value(QStringLiteral("{JFIF}")).toMap();
        const int unit = jfif.value(QStringLiteral("DensityUnit")).toInt();
        const double perInch = unit == 1 ? 1 : unit == 2 ? 2.54 : 0;
        x = jfif.value(QStringLiteral("XDensity")).toDouble() * perInch;
        y = jfif.value(QStringLiteral("YDensity")).toDouble() * perInch;
    }
    if (x <= 0)
        x = y;
    if (y <= 0)
        y = x;
    if (x < minimumResolution || y < minimumResolution)
        return {};
    return {x, y};
}

QVariant setting(const QVariantMap& properties, const QString& key, const QVariant& fallback)
{
    return properties.contains(key) ? properties.value(key) : fallback;
}

// The rectangle at the aspect, centred on the one given: as high as it and
// narrowed or widened when `keepHeight`, else as wide and lowered or raised.
QRectF centredAtAspect(const QRectF& rect, double aspect, bool keepHeight)
{
    QRectF result = rect;
    if (keepHeight) {
        result.setWidth(rect.height() * aspect);
        result.moveLeft(rect.x() + (rect.width() - result.width()) / 2);
    } else {
        result.setHeight(rect.width() / aspect);
        result.moveTop(rect.y() + (rect.height() - result.height()) / 2);
    }
    return result;
}

void answer(const ZORVAK_PrintingView::Reply& reply, bool success, const Error& error = {})
{
    if (reply)
        reply(success, error);
}

// The page size named in the properties among those the printer offers, else
// its default page.
QPageSize pageSizeFor(const ZORVAK_PrinterCatalogue& catalogue, const QString& printerName, const QString& paper)
{
    for (const QPageSize& size : catalogue.pageSizes(printerName)) {
        if (size.name() == paper || size.key() == paper)
            return size;
    }
    Log::error(QStringLiteral("Paper \"%1\" is not offered by printer %2; printing on its default page")
                   .arg(paper, printerName));
    return catalogue.defaultPageSize(printerName);
}

} // namespace

QString ZORVAK_PrintingView::printerForProperties(const QVariantMap& properties,
                                                 const ZORVAK_PrinterCatalogue& catalogue)
{
    const QString name = properties.value(zorvak_printerNameKey).toString();
    return catalogue.printerNames().contains(name) ? name : QString();
}

QVariantList ZORVAK_PrintingView::defaultCodes(const QString& message, double scale)
{
    const auto code = [&](int type, int position) {
        return QVariantMap{{zorvak_2dCodeKey_message, message}, {zorvak_2dCodeKey_scale, scale},
                           {zorvak_2dCodeKey_type, type}, {zorvak_2dCodeKey_position, position}};
    };
    QVariantMap third = code(2, 0);
    third.insert(zorvak_2dCodeKey_origin, QStringLiteral("{10,40}"));
    return {code(0, 3), code(1, 1), third, code(3, 2)};
}

QRectF ZORVAK_PrintingView::drawingRect(const QRectF& rect, const QImage& image, qint64 mode,
                                        const QVariantMap& properties)
{
    const double imageAspect = double(image.width()) / image.height();
    const double rectAspect = rect.width() / rect.height();
    switch (mode) {
    case FitInside:
        return centredAtAspect(rect, imageAspect, imageAspect <= rectAspect);
    case Stretch:
        return rect;
    case ByResolution: {
        const QSizeF dpi = resolution(properties);
        const QSizeF size = dpi.isEmpty() ? QSizeF(image.size())
                                          : QSizeF(image.width() * unitsPerInch / dpi.width(),
                                                   image.height() * unitsPerInch / dpi.height());
        return {rect.topLeft(), size};
    }
    default:
        // Fill: the image overhangs the rectangle on two sides.
        return centredAtAspect(rect, imageAspect, rectAspect <= imageAspect);
    }
}

void ZORVAK_PrintingView::drawRect(QPainter* painter, const QRectF& rect) const
{
    if (m_image.isNull() || rect.isEmpty())
        return;
    const auto defaults = platform::UserDefaults::standardUserDefaults();
    const auto settings = ZORVAK_PrintSettings::shared();
    const qint64 mode = setting(m_imageProperties, zorvak_imageScaling,
                                defaults->integerForKey(zorvak_imageScaling)).toLongLong();
    const double scale = setting(m_imageProperties, zorvak_barcodeScaling,
                                 defaults->doubleForKey(zorvak_barcodeScaling)).toDouble();
    const QString message = setting(m_imageProperties, zorvak_barcodeMessage,
                                    settings->value(zorvak_barcodeMessage)).toString();
    const QVariant codes = setting(m_imageProperties, zorvak_barcodeObject, defaultCodes(message, scale));

    painter->save();
    // Bottom-left geometry inside the rectangle: flipped once here, the image
    // unflipped where it is painted so it stays upright.
    painter->translate(0, rect.top() + rect.bottom());
    painter->scale(1, -1);
    const QRectF target = drawingRect(rect, m_image, mode, m_imageProperties);
    painter->save();
    painter->translate(0, target.top() + target.bottom());
    painter->scale(1, -1);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(target, m_image);
    painter->restore();
    ZORVAK_2dCodeGenerator::draw(codes, *painter, rect);
    painter->restore();
}

void ZORVAK_PrintingView::printImage(const QImage& image, const QVariantMap& imageProperties, const Reply& reply,
                                     const std::shared_ptr<ZORVAK_PrinterCatalogue>& catalogue)
{
    Log::log(QStringLiteral("Printing ..."));
    const QString printerName = printerForProperties(imageProperties, *catalogue);
    if (printerName.isEmpty()) {
        Log::log(QStringLiteral("printerNames:%1").arg(catalogue->printerNames().join(QStringLiteral(", "))));
        Log::log(QStringLiteral("printerTypes:%1").arg(catalogue->printerTypes().join(QStringLiteral(", "))));
        answer(reply, false, {generalErrorDomain, -1, QStringLiteral("specified printer not available")});
        return;
    }
    const QString paper = imageProperties.value(zorvak_printerPaperKey).toString();
    const QPageSize pageSize = pageSizeFor(*catalogue, printerName, paper);
    if (!pageSize.isValid()) {
        Log::error(QStringLiteral("No page size for printer %1; nothing printed").arg(printerName));
        answer(reply, false, {generalErrorDomain, -1, QStringLiteral("paper size not available")});
        return;
    }
    const auto orientation = image.width() > image.height() ? QPageLayout::Landscape : QPageLayout::Portrait;
    const auto settings = ZORVAK_PrintSettings::shared();
    settings->setValue(zorvak_printerNameKey, printerName);
    settings->setValue(zorvak_printerPaperKey, pageSize.name());
    settings->setValue(QStringLiteral("orientation"), int(orientation));

    std::unique_ptr<QPrinter> printer = catalogue->printerNamed(printerName);
    printer->setFullPage(true);
    printer->setPageLayout(QPageLayout(pageSize, orientation, QMarginsF()));
    printer->setDocName(QStringLiteral("KOVA - %1")
                            .arg(imageProperties.value(QStringLiteral("jobTitle"), QStringLiteral("print")).toString()));

    ZORVAK_PrintingView view;
    view.setImage(image);
    view.setImageProperties(imageProperties);
    QPainter painter;
    if (!painter.begin(printer.get())) {
        Log::error(QStringLiteral("Printer %1 could not start the page").arg(printerName));
        answer(reply, false);
        return;
    }
    // One view unit is one point of the page.
    const double pointsToDevice = printer->resolution() / unitsPerInch;
    painter.scale(pointsToDevice, pointsToDevice);
    view.drawRect(&painter, QRectF(QPointF(), printer->pageLayout().fullRect(QPageLayout::Point).size()));
    answer(reply, painter.end());
}

void ZORVAK_PrintingView::runOperationInWindow(QPrinter* printer, QWidget* window, OperationResult result)
{
    auto* dialog = new QPrintDialog(printer, window);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, result = std::move(result)](int code) {
        if (result)
            result(dialog, code == QDialog::Accepted);
    });
    dialog->open();
}
