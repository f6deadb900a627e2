#include "workflow/processing/KOVA_Road.h"

#include "workflow/delivery/KOVA_DefaultDeliveries.h"
#include "workflow/outputs/KOVA_Output.h"
#include "workflow/packages/KOVA_Package.h"
#include "workflow/processing/KOVA_JobProcessor.h"

void KOVA_Road::install()
{
    KOVA_Package::install();
    KOVA_Output::install();
    KOVA_DefaultDeliveries::install();
    KOVA_JobProcessor::install();
}
