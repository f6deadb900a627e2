#include "workflow/delivery/KOVA_DefaultDeliveries.h"

#include "workflow/delivery/KOVA_OutputFileDelivery.h"
#include "workflow/delivery/KOVA_OutputPrintCentreDelivery.h"

void KOVA_DefaultDeliveries::install()
{
    KOVA_OutputDelivery::setDefaults({
        {KOVA_Destination::Kind::Filepath, std::make_shared<KOVA_OutputFileDelivery>()},
        {KOVA_Destination::Kind::Printer, std::make_shared<KOVA_OutputPrintCentreDelivery>()},
    });
}
