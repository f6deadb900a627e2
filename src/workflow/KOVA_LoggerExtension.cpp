#include "workflow/KOVA_LoggerExtension.h"

#include "core/Logger.h"

namespace KOVA_LoggerExtension {

QUrl defaultLogFileKOVA()
{
    return Logger::defaultLogFileWithinSubdirectory(QStringLiteral("Kova"));
}

} // namespace KOVA_LoggerExtension
