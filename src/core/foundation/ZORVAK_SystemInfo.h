#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <mutex>
#include <optional>

// Facts about the host: memory statistics, hardware and kernel values, uptime
// and processor counts. An instance reads its memory statistics and hardware
// values once, on first use, and keeps them; it may be shared between threads.
class ZORVAK_SystemInfo {
public:
    // Byte counts by name, all quint64: "pageSize", "physical", "free", "wired",
    // "active", "inactive", "compressed", "decompressed", "swapins", "swapouts".
    // Read anew; empty when the host's memory table cannot be read.
    static QVariantMap memoryStats();
    // The values of "hw.model", "hw.machine", "machdep.cpu.brand_string",
    // "hw.physicalcpu", "hw.logicalcpu", "hw.activecpu", "kern.osrevision",
    // "kern.version", "kern.boottime" and "kern.clockrate" that the host has.
    static QMap<QString, QString> hardwareInfo();
    // Name -> value for each of the names the host answers (every name known
    // when the list is empty).
    static QMap<QString, QString> sysctlValuesForKeys(const QStringList& names);
    // The byte count in gigabytes (powers of 1024) with three significant
    // digits, fractions padded with zeros: "0.50 GB", "15.6 GB", "128 GB".
    static QString displayFormatMemory(quint64 bytes);

    QVariantMap stats() const;
    QMap<QString, QString> statsHW() const;

    // The statistics value of the function's own name, formatted; none when
    // the statistics cannot be read.
    std::optional<QString> physical() const;
    std::optional<QString> free() const;
    std::optional<QString> active() const;
    std::optional<QString> inactive() const;
    std::optional<QString> wired() const;
    std::optional<QString> compressed() const;
    std::optional<QString> decompressed() const;
    std::optional<QString> swapins() const;
    std::optional<QString> swapouts() const;
    quint64 pageSize() const;

    static QString byteOrder();
    static int compiledBits();
    std::optional<QString> hardwareModel() const;
    // "x86_64 (64-bit LittleEndian)".
    QString hardwareArch() const;
    // The processor's brand without "(R)" and "(TM)".
    std::optional<QString> hardwareCPU() const;
    // 0 when the host does not tell.
    qint64 cpuCountPhysical() const;
    // At least 1, so that pools sized by it are never empty.
    qint64 cpuCountLogical() const;
    qint64 cpuCountActive() const;
    // What the uptime tool prints after the clock time and "up" ("3 days, 4:05,
    // 2 users, load average: 0.10, 0.20, 0.30\n"); runs the tool at every call.
    static std::optional<QString> uptime();

private:
    std::optional<QString> formattedStat(const char* name) const;
    std::optional<QString> hardwareValue(const char* name) const;
    qint64 hardwareNumber(const char* name) const;

    mutable std::once_flag m_statsRead;
    mutable QVariantMap m_statsMem;
    mutable std::once_flag m_hardwareRead;
    mutable QMap<QString, QString> m_statsHW;
};

// Byte counts from larger units; the largest quint64 when the product does not fit.
quint64 bytesFromKB(quint64 kilobytes);
quint64 bytesFromMB(quint64 megabytes);
quint64 bytesFromGB(quint64 gigabytes);
quint64 bytesFromTB(quint64 terabytes);
