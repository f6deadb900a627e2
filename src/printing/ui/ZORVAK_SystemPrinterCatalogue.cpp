#include "printing/ui/ZORVAK_SystemPrinterCatalogue.h"

#include <QPrinter>
#include <QPrinterInfo>

std::shared_ptr<ZORVAK_PrinterCatalogue> ZORVAK_PrinterCatalogue::system()
{
    return std::make_shared<ZORVAK_SystemPrinterCatalogue>();
}

QStringList ZORVAK_SystemPrinterCatalogue::printerNames() const
{
    return QPrinterInfo::availablePrinterNames();
}

QStringList ZORVAK_SystemPrinterCatalogue::printerTypes() const
{
    QStringList types;
    for (const QPrinterInfo& printer : QPrinterInfo::availablePrinters())
        types.append(printer.makeAndModel());
    return types;
}

QList<QPageSize> ZORVAK_SystemPrinterCatalogue::pageSizes(const QString& printerName) const
{
    return QPrinterInfo::printerInfo(printerName).supportedPageSizes();
}

QPageSize ZORVAK_SystemPrinterCatalogue::defaultPageSize(const QString& printerName) const
{
    return QPrinterInfo::printerInfo(printerName).defaultPageSize();
}

std::unique_ptr<QPrinter> ZORVAK_SystemPrinterCatalogue::printerNamed(const QString& printerName) const
{
    return std::make_unique<QPrinter>(QPrinterInfo::printerInfo(printerName), QPrinter::HighResolution);
}
