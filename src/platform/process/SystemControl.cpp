#include "platform/process/SystemControl.h"

#include "platform/files/BoundedFileRead.h"

#include <QSet>

#include <sys/utsname.h>
#include <unistd.h>

#include <functional>
#include <utility>

namespace platform::SystemControl {
namespace {
// The kernel's own files are small; anything longer is not one of them.
constexpr qint64 kMaximumFileSize = 4 * 1024 * 1024;

QString readText(const QString& path)
{
    // Files under /proc and /sys report a size that is not theirs: read until their end.
    const std::optional<QByteArray> contents = BoundedFileRead::contents(path, kMaximumFileSize);
    return contents ? QString::fromUtf8(*contents).remove(QChar(u'\0')).trimmed() : QString();
}

QString fromNumber(long value) { return value > 0 ? QString::number(value) : QString(); }

QString machine()
{
    utsname names {};
    return uname(&names) == 0 ? QString::fromUtf8(names.machine) : QString();
}

// The product name the firmware gives (PCs), else the device tree's (boards).
QString model()
{
    const QString product = readText(QStringLiteral("/sys/class/dmi/id/product_name"));
    return product.isEmpty() ? readText(QStringLiteral("/proc/device-tree/model")) : product;
}

// The "name : value" lines of /proc/cpuinfo whose name is `field`, one per processor.
QStringList cpuInfoValues(const QString& field)
{
    QStringList values;
    const QStringList lines = readText(QStringLiteral("/proc/cpuinfo")).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon > 0 && line.left(colon).trimmed() == field)
            values.append(line.mid(colon + 1).trimmed());
    }
    return values;
}

QString brandString()
{
    const QStringList names = cpuInfoValues(QStringLiteral("model name"));
    return names.isEmpty() ? QString() : names.first();
}

// Cores, not hardware threads: the distinct pairs of package and core.
QString physicalCores()
{
    const QStringList packages = cpuInfoValues(QStringLiteral("physical id"));
    const QStringList cores = cpuInfoValues(QStringLiteral("core id"));
    if (cores.isEmpty() || packages.size() != cores.size())
        return {};
    QSet<QString> distinct;
    for (qsizetype i = 0; i < cores.size(); ++i)
        distinct.insert(packages.at(i) + QLatin1Char('/') + cores.at(i));
    return QString::number(distinct.size());
}

// The boot time in the shape the system prints it: "{ sec = 1700000000, usec = 0 }".
QString bootTime()
{
    const QStringList lines = readText(QStringLiteral("/proc/stat")).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("btime ")))
            return QStringLiteral("{ sec = %1, usec = 0 }").arg(line.mid(6).trimmed());
    }
    return {};
}

using Reader = std::function<QString()>;

// In the order the system asks for them. "hw.logicalcpu" counts every processor
// the kernel has configured, "hw.activecpu" those online now. Linux keeps no
// kernel revision number: the release ("6.1.0-18-amd64") stands in for it.
// "kern.clockrate" is left out: Linux tells programs only a fixed tick of 100 Hz,
// not the kernel's real clock rate.
const std::pair<const char*, Reader> kReaders[] = {
    { "hw.model", model },
    { "hw.machine", machine },
    { "machdep.cpu.brand_string", brandString },
    { "hw.physicalcpu", physicalCores },
    { "hw.logicalcpu", [] { return fromNumber(sysconf(_SC_NPROCESSORS_CONF)); } },
    { "hw.activecpu", [] { return fromNumber(sysconf(_SC_NPROCESSORS_ONLN)); } },
    { "kern.osrevision", [] { return readText(QStringLiteral("/proc/sys/kernel/osrelease")); } },
    { "kern.version", [] { return readText(QStringLiteral("/proc/version")); } },
    { "kern.boottime", bootTime },
};
} // namespace

QMap<QString, QString> valuesForKeys(const QStringList& names)
{
    QMap<QString, QString> values;
    for (const auto& [name, read] : kReaders) {
        const QString key = QLatin1String(name);
        if (!names.isEmpty() && !names.contains(key))
            continue;
        const QString value = read();
        if (!value.isEmpty())
            values.insert(key, value);
    }
    return values;
}

QMap<QString, quint64> procCounters(const QString& path)
{
    QMap<QString, quint64> counters;
    const QStringList lines = readText(path).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        bool isNumber = false;
        const quint64 number = parts.size() >= 2 ? parts.at(1).toULongLong(&isNumber) : 0;
        if (isNumber) {
            QString name = parts.first();
            if (name.endsWith(QLatin1Char(':')))
                name.chop(1);
            counters.insert(name, number);
        }
    }
    return counters;
}

} // namespace platform::SystemControl
