#include "platform/process/SingleInstance.h"

#include "FileFixtures.h"
#include "PrivateSessionBus.h"

#include <QDBusConnectionInterface>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <future>

using platform::SingleInstance;

namespace {
const QString kName = QStringLiteral("com.morvanta.KOVA-Test");

// Asks from another thread: the owner's object answers on this (the main) thread.
bool activateFromAnotherThread(const SingleInstance& claimant)
{
    auto answered = std::async(std::launch::async, [&] { return claimant.activateOwner(); });
    kova::test::waitUntil([&] { return answered.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    return answered.get();
}
} // namespace

class SingleInstanceOnBus : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start"; }
    void TearDown() override
    {
        for (const QString& name : connections)
            QDBusConnection::disconnectFromBus(name);
    }
    QDBusConnection connect(const QString& name)
    {
        connections.append(name);
        return QDBusConnection::connectToBus(bus.address(), name);
    }

    kova::test::PrivateSessionBus bus;
    QStringList connections;
};

TEST_F(SingleInstanceOnBus, OneCopyHoldsTheNameAndTheOtherActivatesIt)
{
    int activations = 0;
    auto first = std::make_unique<SingleInstance>(connect(QStringLiteral("first")), kName, [&] { ++activations; });
    SingleInstance second(connect(QStringLiteral("second")), kName, [] { ADD_FAILURE() << "the losing copy was activated"; });
    ASSERT_TRUE(first->claim());
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(activateFromAnotherThread(second));
    EXPECT_EQ(activations, 1);

    // The running copy's name is never handed over, even to a copy that asks for it.
    QDBusConnection thief = connect(QStringLiteral("thief"));
    thief.interface()->registerService(kName, QDBusConnectionInterface::ReplaceExistingService, QDBusConnectionInterface::AllowReplacement);
    EXPECT_EQ(thief.interface()->serviceOwner(kName).value(), connect(QStringLiteral("first")).baseService());

    // Once the running copy has gone, the next one runs.
    first.reset();
    SingleInstance third(connect(QStringLiteral("third")), kName, [] {});
    EXPECT_TRUE(third.claim());
}

TEST(SingleInstanceWithoutBus, TheLockFileDecides)
{
    const QDBusConnection noBus = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("none"));
    ASSERT_FALSE(noBus.isConnected());
    auto first = std::make_unique<SingleInstance>(noBus, kName, [] {});
    SingleInstance second(noBus, kName, [] {});
    ASSERT_TRUE(first->claim());
    EXPECT_TRUE(QFileInfo::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/') + kName + QStringLiteral(".lock")));
    EXPECT_FALSE(second.claim());
    EXPECT_FALSE(second.activateOwner());

    first.reset();
    SingleInstance third(noBus, kName, [] {});
    EXPECT_TRUE(third.claim());
    QDBusConnection::disconnectFromBus(QStringLiteral("none"));
}

TEST(SingleInstanceWithoutBus, LockLiesInTheStateFolderWithoutARuntimeFolder)
{
    const kova::test::ScopedEnvironment noRuntime("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_EQ(SingleInstance::lockFilePath(kName), qEnvironmentVariable("XDG_STATE_HOME") + QLatin1Char('/') + kName + QStringLiteral(".lock"));
}
