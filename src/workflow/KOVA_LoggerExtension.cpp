#include "workflow/KOVA_LoggerExtension.h"

#include "core/logging/Logger.h"

namespace KOVA_LoggerExtension {

QUrl defaultLogFileKOVA()
{
    return Logger::defaultLogFileWithinSubdirectory(QStringLiteral("Kova"));
}

} // namespace KOVA_LoggerExtension
