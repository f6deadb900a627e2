#include "core/foundation/ZORVAK_SystemInfo.h"

#include "FileFixtures.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <limits>
#include <sys/utsname.h>
#include <unistd.h>

namespace {
const QStringList kMemoryKeys = { "pageSize", "physical", "free", "wired", "active", "inactive", "compressed",
    "decompressed", "swapins", "swapouts" };
} // namespace

TEST(ZORVAK_SystemInfo, MemoryStatisticsAreTheHostsOwn)
{
    const ZORVAK_SystemInfo info;
    const QVariantMap stats = info.stats();
    QStringList expectedKeys = kMemoryKeys;
    expectedKeys.sort();
    EXPECT_EQ(stats.keys(), expectedKeys);
    const quint64 pageSize = quint64(sysconf(_SC_PAGESIZE));
    const quint64 physical = stats.value("physical").toULongLong();
    EXPECT_EQ(info.pageSize(), pageSize);
    EXPECT_EQ(physical, quint64(sysconf(_SC_PHYS_PAGES)) * pageSize);
    for (const char* key : { "free", "wired", "active", "inactive" }) {
        EXPECT_GT(stats.value(key).toULongLong(), 0u) << key;
        EXPECT_LT(stats.value(key).toULongLong(), physical) << key;
    }
    EXPECT_EQ(info.physical(), ZORVAK_SystemInfo::displayFormatMemory(physical));
}

TEST(ZORVAK_SystemInfo, ProcessorsAndArchitectureAreTheHostsOwn)
{
    const ZORVAK_SystemInfo info;
    EXPECT_EQ(info.cpuCountLogical(), sysconf(_SC_NPROCESSORS_CONF));
    EXPECT_EQ(info.cpuCountActive(), sysconf(_SC_NPROCESSORS_ONLN));
    EXPECT_LE(info.cpuCountPhysical(), info.cpuCountLogical());
    utsname names {};
    ASSERT_EQ(uname(&names), 0);
    EXPECT_EQ(info.hardwareArch(), QStringLiteral("%1 (64-bit LittleEndian)").arg(QString::fromUtf8(names.machine)));
    const QString cpu = info.hardwareCPU().value_or(QString());
    EXPECT_FALSE(cpu.contains(QStringLiteral("(R)")) || cpu.contains(QStringLiteral("(TM)"))) << cpu.toStdString();
}

TEST(ZORVAK_SystemInfo, UptimeStartsAfterTheClockAndTheWordUp)
{
    const std::optional<QString> uptime = ZORVAK_SystemInfo::uptime();
    ASSERT_TRUE(uptime);
    static const QRegularExpression shape(QStringLiteral("^[0-9].*load average: [0-9.,]+, [0-9.,]+, [0-9.,]+\\n$"));
    EXPECT_TRUE(shape.match(*uptime).hasMatch()) << uptime->toStdString();
    EXPECT_FALSE(uptime->contains(QStringLiteral("  ")));
}

TEST(ZORVAK_SystemInfo, MemoryIsShownInGigabytesWithThreeDigits)
{
    const quint64 gigabyte = 1ull << 30;
    const std::pair<quint64, const char*> cases[] = {
        { 0, "0.00 GB" },
        { gigabyte / 2, "0.50 GB" },
        { gigabyte * 9999 / 1000, "10.0 GB" },
        { gigabyte * 16, "16.0 GB" },
        { gigabyte * 99999 / 1000, "100 GB" },
        { gigabyte * 1024, "1024 GB" },
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(ZORVAK_SystemInfo::displayFormatMemory(bytes), QLatin1String(text)) << bytes;
}

TEST(ZORVAK_SystemInfo, ByteCountsSaturateWhereTheyNoLongerFit)
{
    const quint64 most = std::numeric_limits<quint64>::max();
    const std::tuple<quint64 (*)(quint64), int> units[] = {
        { bytesFromKB, 10 }, { bytesFromMB, 20 }, { bytesFromGB, 30 }, { bytesFromTB, 40 }
    };
    for (const auto& [convert, shift] : units) {
        const quint64 firstTooLarge = 1ull << (64 - shift);
        EXPECT_EQ(convert(3), 3ull << shift);
        EXPECT_EQ(convert(firstTooLarge - 1), (firstTooLarge - 1) << shift);
        EXPECT_EQ(convert(firstTooLarge), most);
        EXPECT_EQ(convert(most), most);
    }
}
