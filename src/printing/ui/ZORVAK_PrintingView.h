#pragma once

#include "platform/Error.h"

#include <QImage>
#include <QRectF>
#include <QVariantMap>

#include <functional>
#include <memory>

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

    static inline const QString generalErrorDomain = QStringLiteral("NSOSStatusErrorDomain");

    // Blocks until the page has been printed; the reply (when given) is called once.
    static void printImage(const QImage& image, const QVariantMap& imageProperties, const Reply& reply,
                           const std::shared_ptr<ZORVAK_PrinterCatalogue>& catalogue);

    // The name of the catalogue's printer the properties name; empty when they
    // name none or the catalogue has no printer of that name.
    static QString printerForProperties(const QVariantMap& properties, const ZORVAK_PrinterCatalogue& catalogue);

    // Shows the print dialog window-modal on the window; the result is called
    // once when it closes, with whether the user chose to print.
    static void runOperationInWindow(QPrinter* printer, QWidget* window, OperationResult result);

    // Where the image goes inside the rectangle for a scaling mode, in
    // bottom-left geometry (y up from the rectangle's bottom edge).
    static QRectF drawingRect(const QRectF& rect, const QImage& image, qint64 mode, const QVariantMap& properties);
    static QVariantList defaultCodes(const QString& message, double scale);

    void setImage(const QImage& image) { m_image = image; }
    void setImageProperties(const QVariantMap& properties) { m_imageProperties = properties; }

    // Draws the image and the codes into the rectangle of a top-left painter.
    void drawRect(QPainter* painter, const QRectF& rect) const;

private:
    QImage m_image;
    QVariantMap m_imageProperties;
};
