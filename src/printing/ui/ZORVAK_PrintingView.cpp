#include "printing/ui/ZORVAK_PrintingView.h"

#include "core/codes/ZORVAK_2dCodeGenerator.h"
#include "core/image/ZORVAK_Image.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/text/GeometryText.h"
#include "printing/ui/PrintingPDEController.h"
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
// The default Code 128 stands 10 units from the left edge and 40 above the
// bottom of the rectangle.
const QPointF defaultCode128Origin(10, 40);

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

// The object as a log line shows it: data by its length, not its bytes.
QString description(const QVariant& object)
{
    if (object.typeId() == QMetaType::QByteArray)
        return QStringLiteral("<%1 bytes>").arg(object.toByteArray().size());
    return object.toString();
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

ZORVAK_Dispatch::Queue ZORVAK_PrintingView::sharedPrinterQueue()
{
    static const ZORVAK_Dispatch::Queue queue = ZORVAK_Dispatch::dispatchQueueSerialWithDebugLabel(
        QStringLiteral("com.quelvansorin.queue.%1").arg(QLatin1String(__func__)));
    return queue;
}

QVariantList ZORVAK_PrintingView::defaultCodes(const QString& message, double scale, const QSizeF& rectSize)
{
    const auto code = [&](int type, int position) {
        return QVariantMap{{zorvak_2dCodeKey_message, message}, {zorvak_2dCodeKey_scale, scale},
                           {zorvak_2dCodeKey_type, type}, {zorvak_2dCodeKey_position, position}};
    };
    // The code drawing takes an origin as fractions of the rectangle.
    QVariantMap third = code(2, 0);
    third.insert(zorvak_2dCodeKey_origin, platform::GeometryText::stringFromPoint(
                                              ZORVAK_2dCodeGenerator::normalizedPoint(defaultCode128Origin, rectSize)));
    return {code(0, 3), code(1, 1), third, code(3, 2)};
}

QVariantMap ZORVAK_PrintingView::imageProperties() const
{
    std::lock_guard lock(m_mutex);
    return m_imageProperties;
}

void ZORVAK_PrintingView::setImageProperties(const QVariantMap& properties)
{
    std::lock_guard lock(m_mutex);
    m_imageProperties = properties;
}

QVariant ZORVAK_PrintingView::contents() const
{
    std::lock_guard lock(m_mutex);
    return m_contents;
}

void ZORVAK_PrintingView::setContents(const QVariant& contents)
{
    std::lock_guard lock(m_mutex);
    m_contents = contents;
}

QString ZORVAK_PrintingView::contentsGravity() const
{
    std::lock_guard lock(m_mutex);
    return m_contentsGravity;
}

void ZORVAK_PrintingView::setContentsGravity(const QString& gravity)
{
    std::lock_guard lock(m_mutex);
    m_contentsGravity = gravity;
}

QRectF ZORVAK_PrintingView::rectForPage(qint64 page)
{
    m_currentPrintingPage = page;
    if (!m_printer)
        return {};
    return {QPointF(), m_printer->pageLayout().paintRect(QPageLayout::Point).size()};
}

bool ZORVAK_PrintingView::knowsPageRange(PageRange* range) const
{
    *range = {1, 1};
    return true;
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
    QImage image = m_image;
    QVariantMap properties = imageProperties();
    if (image.isNull())
        readContents(&image, &properties);
    if (image.isNull() || rect.isEmpty())
        return;
    const auto defaults = platform::UserDefaults::standardUserDefaults();
    const auto settings = ZORVAK_PrintSettings::shared();
    const qint64 mode = setting(properties, zorvak_imageScaling,
                                defaults->integerForKey(zorvak_imageScaling)).toLongLong();
    const double scale = setting(properties, zorvak_barcodeScaling,
                                 defaults->doubleForKey(zorvak_barcodeScaling)).toDouble();
    const QString message = setting(properties, zorvak_barcodeMessage,
                                    settings->value(zorvak_barcodeMessage)).toString();
    const QVariant codes = setting(properties, zorvak_barcodeObject, defaultCodes(message, scale, rect.size()));

    painter->save();
    // Bottom-left geometry inside the rectangle: flipped once here, the image
    // unflipped where it is painted so it stays upright.
    painter->translate(0, rect.top() + rect.bottom());
    painter->scale(1, -1);
    const QRectF target = drawingRect(rect, image, mode, properties);
    painter->save();
    painter->translate(0, target.top() + target.bottom());
    painter->scale(1, -1);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(target, image);
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
    view.setContentsGravity(ZORVAK_Image::kCAGravityResizeAspectFill);
    if (!view.printOn(printer.get())) {
        Log::error(QStringLiteral("Printer %1 did not print the page").arg(printerName));
        answer(reply, false);
        return;
    }
    answer(reply, true);
}

bool ZORVAK_PrintingView::printOn(QPrinter* printer)
{
    QPainter painter;
    if (!painter.begin(printer))
        return false;
    // One view unit is one point of the page.
    const double pointsToDevice = printer->resolution() / unitsPerInch;
    painter.scale(pointsToDevice, pointsToDevice);
    m_printer = printer;
    PageRange pages;
    knowsPageRange(&pages); // always the one page
    drawRect(&painter, rectForPage(pages.location));
    m_printer = nullptr;
    return painter.end();
}

// The first image of the contents with its properties; further images are
// only logged.
void ZORVAK_PrintingView::readContents(QImage* image, QVariantMap* properties) const
{
    const QVariant object = contents();
    if (object.isNull())
        return;
    ZORVAK_Image::imageFromObject(object, [&](const QImage& found, int index, const QVariantMap& foundProperties) {
        if (index == 0) {
            *image = found;
            *properties = foundProperties;
        } else {
            Log::log(QStringLiteral("Found extra image (%1) in object %2").arg(index).arg(description(object)));
        }
    });
}

void ZORVAK_PrintingView::runOperationInWindow(QPrinter* printer, QWidget* window, OperationResult result)
{
    auto* dialog = new QPrintDialog(printer, window);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* accessory = new PrintingPDEController(dialog);
    accessory->setRepresentedObject(ZORVAK_PrintSettings::shared());
    dialog->setOptionTabs({accessory});
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, result = std::move(result)](int code) {
        if (result)
            result(dialog, code == QDialog::Accepted);
    });
    dialog->open();
}
