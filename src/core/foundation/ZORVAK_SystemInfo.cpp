#include "core/foundation/ZORVAK_SystemInfo.h"

#include "core/foundation/ZORVAK_shell.h"
#include "platform/process/SystemControl.h"

#include <QLocale>

#include <algorithm>
#include <limits>

#include <unistd.h>

namespace {
quint64 bytesFromUnits(quint64 units, int shift)
{
    return units > (std::numeric_limits<quint64>::max() >> shift) ? std::numeric_limits<quint64>::max() : units << shift;
}

quint64 hostPageSize()
{
    const long size = sysconf(_SC_PAGESIZE);
    return size > 0 ? quint64(size) : 4096;
}

// Linux's counterparts of the memory statistics, from /proc/meminfo (kB) and
// /proc/vmstat (pages):
//   physical      MemTotal: all the memory the kernel manages
//   free          MemFree: memory nothing uses
//   wired         memory that is never paged out: Unevictable (locked and other
//                 unevictable user pages) plus the kernel's own KernelStack,
//                 PageTables and SUnreclaim (slab that cannot be reclaimed)
//   active        Active: recently used pages
//   inactive      Inactive: pages that are candidates for reclaiming
//   compressed    Zswap: what the compressed swap cache takes up (0 without zswap)
//   decompressed  Zswapped: the uncompressed size of what zswap holds
//   swapins       pswpin pages read in from swap since boot
//   swapouts      pswpout pages written out to swap since boot
QVariantMap readMemoryStats()
{
    const QMap<QString, quint64> info = platform::SystemControl::procCounters(QStringLiteral("/proc/meminfo"));
    if (!info.contains(QStringLiteral("MemTotal")))
        return {};
    const auto kb = [&](const char* field) { return bytesFromKB(info.value(QLatin1String(field))); };
    const QMap<QString, quint64> vm = platform::SystemControl::procCounters(QStringLiteral("/proc/vmstat"));
    const quint64 pageSize = hostPageSize();
    const auto pages = [&](const char* field) { return vm.value(QLatin1String(field)) * pageSize; };
    return {
        { QStringLiteral("pageSize"), pageSize },
        { QStringLiteral("physical"), kb("MemTotal") },
        { QStringLiteral("free"), kb("MemFree") },
        { QStringLiteral("wired"), kb("Unevictable") + kb("KernelStack") + kb("PageTables") + kb("SUnreclaim") },
        { QStringLiteral("active"), kb("Active") },
        { QStringLiteral("inactive"), kb("Inactive") },
        { QStringLiteral("compressed"), kb("Zswap") },
        { QStringLiteral("decompressed"), kb("Zswapped") },
        { QStringLiteral("swapins"), pages("pswpin") },
        { QStringLiteral("swapouts"), pages("pswpout") },
    };
}

// The uptime tool's line without its first two words (clock time and "up"),
// runs of blanks made single; the line as it is when it has fewer words.
QString uptimeFromToolOutput(const QString& output)
{
    QStringList words = output.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() < 3)
        return output;
    words.remove(0, 2);
    return words.join(QLatin1Char(' '));
}
} // namespace

quint64 bytesFromKB(quint64 kilobytes) { return bytesFromUnits(kilobytes, 10); }
quint64 bytesFromMB(quint64 megabytes) { return bytesFromUnits(megabytes, 20); }
quint64 bytesFromGB(quint64 gigabytes) { return bytesFromUnits(gigabytes, 30); }
quint64 bytesFromTB(quint64 terabytes) { return bytesFromUnits(terabytes, 40); }

QVariantMap ZORVAK_SystemInfo::memoryStats() { return readMemoryStats(); }

QMap<QString, QString> ZORVAK_SystemInfo::hardwareInfo()
{
    return sysctlValuesForKeys({ QStringLiteral("hw.model"), QStringLiteral("hw.machine"),
        QStringLiteral("machdep.cpu.brand_string"), QStringLiteral("hw.physicalcpu"), QStringLiteral("hw.logicalcpu"),
        QStringLiteral("hw.activecpu"), QStringLiteral("kern.osrevision"), QStringLiteral("kern.version"),
        QStringLiteral("kern.boottime"), QStringLiteral("kern.clockrate") });
}

QMap<QString, QString> ZORVAK_SystemInfo::sysctlValuesForKeys(const QStringList& names)
{
    return platform::SystemControl::valuesForKeys(names);
}

QString ZORVAK_SystemInfo::displayFormatMemory(quint64 bytes)
{
    const double gigabytes = double(bytes) / double(1ull << 30);
    const int fractionDigits = gigabytes < 9.995 ? 2 : gigabytes < 99.95 ? 1 : 0;
    return QLocale::c().toString(gigabytes, 'f', fractionDigits) + QStringLiteral(" GB");
}

QVariantMap ZORVAK_SystemInfo::stats() const
{
    std::call_once(m_statsRead, [this] { m_statsMem = memoryStats(); });
    return m_statsMem;
}

QMap<QString, QString> ZORVAK_SystemInfo::statsHW() const
{
    std::call_once(m_hardwareRead, [this] { m_statsHW = hardwareInfo(); });
    return m_statsHW;
}

std::optional<QString> ZORVAK_SystemInfo::formattedStat(const char* name) const
{
    const QVariant value = stats().value(QLatin1String(name));
    if (!value.isValid())
        return std::nullopt;
    return displayFormatMemory(value.toULongLong());
}

std::optional<QString> ZORVAK_SystemInfo::physical() const { return formattedStat("physical"); }
std::optional<QString> ZORVAK_SystemInfo::free() const { return formattedStat("free"); }
std::optional<QString> ZORVAK_SystemInfo::active() const { return formattedStat("active"); }
std::optional<QString> ZORVAK_SystemInfo::inactive() const { return formattedStat("inactive"); }
std::optional<QString> ZORVAK_SystemInfo::wired() const { return formattedStat("wired"); }
std::optional<QString> ZORVAK_SystemInfo::compressed() const { return formattedStat("compressed"); }
std::optional<QString> ZORVAK_SystemInfo::decompressed() const { return formattedStat("decompressed"); }
std::optional<QString> ZORVAK_SystemInfo::swapins() const { return formattedStat("swapins"); }
std::optional<QString> ZORVAK_SystemInfo::swapouts() const { return formattedStat("swapouts"); }
quint64 ZORVAK_SystemInfo::pageSize() const { return stats().value(QStringLiteral("pageSize")).toULongLong(); }

QString ZORVAK_SystemInfo::byteOrder()
{
    return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? QStringLiteral("LittleEndian") : QStringLiteral("BigEndian");
}

int ZORVAK_SystemInfo::compiledBits() { return QSysInfo::WordSize; }

std::optional<QString> ZORVAK_SystemInfo::hardwareValue(const char* name) const
{
    const QMap<QString, QString> values = statsHW();
    const auto found = values.constFind(QLatin1String(name));
    return found == values.cend() ? std::nullopt : std::optional<QString>(*found);
}

qint64 ZORVAK_SystemInfo::hardwareNumber(const char* name) const
{
    return hardwareValue(name).value_or(QString()).toLongLong();
}

std::optional<QString> ZORVAK_SystemInfo::hardwareModel() const { return hardwareValue("hw.model"); }

QString ZORVAK_SystemInfo::hardwareArch() const
{
    return QStringLiteral("%1 (%2-bit %3)").arg(hardwareValue("hw.machine").value_or(QString())).arg(compiledBits()).arg(byteOrder());
}

std::optional<QString> ZORVAK_SystemInfo::hardwareCPU() const
{
    std::optional<QString> brand = hardwareValue("machdep.cpu.brand_string");
    if (brand)
        brand->remove(QStringLiteral("(R)")).remove(QStringLiteral("(TM)"));
    return brand;
}

qint64 ZORVAK_SystemInfo::cpuCountPhysical() const { return hardwareNumber("hw.physicalcpu"); }
qint64 ZORVAK_SystemInfo::cpuCountLogical() const { return std::max<qint64>(1, hardwareNumber("hw.logicalcpu")); }
qint64 ZORVAK_SystemInfo::cpuCountActive() const { return hardwareNumber("hw.activecpu"); }

std::optional<QString> ZORVAK_SystemInfo::uptime()
{
    const std::optional<QString> output = ZORVAK_shell::outputWhenRunAsShellCommand(QStringLiteral("/usr/bin/uptime"));
    return output ? std::optional<QString>(uptimeFromToolOutput(*output)) : std::nullopt;
}
