#pragma once

#include "printing/ui/ZORVAK_PrinterCatalogue.h"

// The printers of the platform's print system (CUPS on Linux).
class ZORVAK_SystemPrinterCatalogue : public ZORVAK_PrinterCatalogue {
public:
    QStringList printerNames() const override;
    QStringList printerTypes() const override;
    QList<QPageSize> pageSizes(const QString& printerName) const override;
    QPageSize defaultPageSize(const QString& printerName) const override;
    std::unique_ptr<QPrinter> printerNamed(const QString& printerName) const override;
};
