#pragma once

#include "core/queues/ZORVAK_Dispatch.h"
#include "platform/Error.h"

#include <QImage>
#include <QRectF>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>

class QPainter;
class QPrintDialog;
class QPrinter;
class QWidget;
class ZORVAK_PrinterCatalogue;

inline const QString zorvak_printerNameKey = QStringLiteral("com.morvanta.print.pde.printerName");
inline const QString zorvak_printerPaperKey = QStringLiteral("com.morvanta.print.pde.printerPaper");

// Prints one image, with code images drawn over it, on a printer named in the
// image's properties, without showing any panel.
class ZORVAK_PrintingView {
public:
    using Reply = std::function<void(bool success, const platform::Error& error)>;
    using OperationResult = std::function<void(QPrintDialog* dialog, bool success)>;

    struct PageRange {
        qint64 location = 0;
        qint64 length = 0;
    };

    static inline const QString generalErrorDomain = QStringLiteral("NSOSStatusErrorDomain");

    // Blocks until the page has been printed; the reply (when given) is called once.
    static void printImage(const QImage& image, const QVariantMap& imageProperties, const Reply& reply,
                           const std::shared_ptr<ZORVAK_PrinterCatalogue>& catalogue);
    // One serial queue for the process, for callers that print from a thread
    // that may wait.
    static ZORVAK_Dispatch::Queue sharedPrinterQueue();

    // The name of the catalogue's printer the properties name; empty when they
    // name none or the catalogue has no printer of that name.
    static QString printerForProperties(const QVariantMap& properties, const ZORVAK_PrinterCatalogue& catalogue);

    // Shows the print dialog window-modal on the window, with the "Image
    // Scaling" accessory editing the shared print settings; the result is
    // called once when it closes, with whether the user chose to print.
    static void runOperationInWindow(QPrinter* printer, QWidget* window, OperationResult result);

    // Where the image goes inside the rectangle for a scaling mode, in
    // bottom-left geometry (y up from the rectangle's bottom edge).
    static QRectF drawingRect(const QRectF& rect, const QImage& image, qint64 mode, const QVariantMap& properties);
    // The codes drawn when the properties give none, for a rectangle of the size.
    static QVariantList defaultCodes(const QString& message, double scale, const QSizeF& rectSize);

    QImage image() const { return m_image; }
    void setImage(const QImage& image) { m_image = image; }
    // A rendered image the view keeps until it goes.
    QImage printedImage() const { return m_printedImage; }
    void setPrintedImage(const QImage& image) { m_printedImage = image; }
    QVariantMap imageProperties() const;
    void setImageProperties(const QVariantMap& properties);
    // A path, file URL or data to draw from when there is no image.
    QVariant contents() const;
    void setContents(const QVariant& contents);
    QString contentsGravity() const;
    void setContentsGravity(const QString& gravity);

    // The page last asked for by rectForPage.
    qint64 currentPrintingPage() const { return m_currentPrintingPage; }
    // The page's rectangle at origin zero, as large as the imageable area of the
    // page being printed, in points; of zero size when the view is not printing.
    QRectF rectForPage(qint64 page);
    // The view is always one page: the range starting at page 1 of length 1.
    bool knowsPageRange(PageRange* range) const;

    // Draws the image and the codes into the rectangle of a top-left painter;
    // without an image, the first image of the contents, whose properties then
    // stand for the view's.
    void drawRect(QPainter* painter, const QRectF& rect) const;

private:
    // Draws the view's page on the printer; false when the printer does not
    // take it.
    bool printOn(QPrinter* printer);
    void readContents(QImage* image, QVariantMap* properties) const;

    QImage m_image;
    QImage m_printedImage;
    qint64 m_currentPrintingPage = 0;
    QPrinter* m_printer = nullptr; // while printing
    mutable std::mutex m_mutex;   // for the three below
    QVariantMap m_imageProperties;
    QVariant m_contents;
    QString m_contentsGravity;
};
