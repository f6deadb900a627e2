#include "core/foundation/ZORVAK_NSProcessInfo.h"

#include "core/foundation/ZORVAK_NSBundle.h"
#include "core/logging/Logger.h"

#include <QSysInfo>

namespace ZORVAK_NSProcessInfo {
namespace {
QString orNull(const std::optional<QString>& text)
{
    return text.value_or(QStringLiteral("(null)"));
}

QString bannerText(const ZORVAK_SystemInfo& info)
{
    const QString separator(52, QLatin1Char('='));
    const QStringList rows = {
        separator,
        separator,
        QStringLiteral("| %1").arg(ZORVAK_NSBundle::longDescription()),
        QStringLiteral("| %1 (kernel %2)").arg(QSysInfo::prettyProductName(), QSysInfo::kernelVersion()),
        QStringLiteral("| up %1").arg(orNull(ZORVAK_SystemInfo::uptime())),
        QStringLiteral("| %1 %2").arg(orNull(info.hardwareModel()), info.hardwareArch()),
        QStringLiteral("| %1").arg(orNull(info.hardwareCPU())),
        QStringLiteral("|  CPU core count: %1 physical %2 logical (%3 active)")
            .arg(info.cpuCountPhysical())
            .arg(info.cpuCountLogical())
            .arg(info.cpuCountActive()),
        QStringLiteral("| Physical memory: %1").arg(orNull(info.physical())),
        QStringLiteral("|            free: %1").arg(orNull(info.free())),
        QStringLiteral("|           wired: %1").arg(orNull(info.wired())),
        QStringLiteral("|          active: %1").arg(orNull(info.active())),
        QStringLiteral("|        inactive: %1").arg(orNull(info.inactive())),
        QStringLiteral("|      compressed: %1").arg(orNull(info.compressed())),
        QStringLiteral("|    decompressed: %1").arg(orNull(info.decompressed())),
        QStringLiteral("|         swapins: %1").arg(orNull(info.swapins())),
        QStringLiteral("|        swapouts: %1").arg(orNull(info.swapouts())),
        separator,
        separator,
    };
    QString text;
    for (const QString& row : rows)
        text += QStringLiteral("\n    ") + row;
    return text;
}
} // namespace

std::shared_ptr<ZORVAK_SystemInfo> systemInfo()
{
    return std::make_shared<ZORVAK_SystemInfo>();
}

void logCurrentSystemInfo()
{
    Logger::setError(bannerText(*systemInfo()));
}

} // namespace ZORVAK_NSProcessInfo
