#pragma once

#include <QList>
#include <QPageSize>
#include <QString>
#include <QStringList>

#include <memory>

class QPrinter;

// The printers a print can go to: the system's print system by default, a
// stand-in (a PDF writer) where no real printer may be used.
class ZORVAK_PrinterCatalogue {
public:
    virtual ~ZORVAK_PrinterCatalogue() = default;

    virtual QStringList printerNames() const = 0;
    virtual QStringList printerTypes() const = 0;
    // The page sizes the named printer offers and the one it takes by default
    // (invalid when it has none).
    virtual QList<QPageSize> pageSizes(const QString& printerName) const = 0;
    virtual QPageSize defaultPageSize(const QString& printerName) const = 0;
    // A printer set up to print to the named printer.
    virtual std::unique_ptr<QPrinter> printerNamed(const QString& printerName) const = 0;

    // The platform's print system.
    static std::shared_ptr<ZORVAK_PrinterCatalogue> system();
};
