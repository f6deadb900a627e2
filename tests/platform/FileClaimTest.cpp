#include "platform/files/FileClaim.h"

#include "FileFixtures.h"
#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace {

using platform::FileClaim;
using Outcome = FileClaim::Outcome;
using kova::test::ScratchFolder;
using kova::test::writeFile;

constexpr const char* holderVariable = "KOVA_FILE_CLAIM_HOLDER";
constexpr const char* holdsMarker = "claim held\n";

Outcome claimOutcome(const QString& path)
{
    Outcome outcome = Outcome::Failed;
    FileClaim::tryClaim(path, &outcome);
    return outcome;
}

TEST(FileClaim, OneClaimAtATimeAndOnlyWhileThePathNamesTheFileClaimed)
{
    const ScratchFolder folder;
    const QString ticket = folder.path(QStringLiteral("order.xml"));
    ASSERT_TRUE(writeFile(ticket, "<data/>"));
    ASSERT_TRUE(writeFile(folder.path(QStringLiteral("read-only.xml")), "<data/>"));
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path(QStringLiteral("read-only.xml"))).constData(), 0444), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.path(QStringLiteral("pipe.xml"))).constData(), 0600), 0);
    ASSERT_EQ(::symlink("order.xml", QFile::encodeName(folder.path(QStringLiteral("link.xml"))).constData()), 0);

    Outcome outcome = Outcome::Failed;
    platform::Error error;
    auto claim = FileClaim::tryClaim(ticket, &outcome, &error);
    ASSERT_TRUE(claim) << error.description().toStdString();
    EXPECT_EQ(outcome, Outcome::Claimed);
    // Another open file, in this process too, finds it held; what others read is untouched.
    EXPECT_EQ(claimOutcome(ticket), Outcome::HeldElsewhere);
    EXPECT_EQ(kova::test::readFile(ticket), QByteArray("<data/>"));
    claim.reset();
    EXPECT_EQ(claimOutcome(ticket), Outcome::Claimed);

    const struct {
        const char* name;
        Outcome outcome;
    } cases[] = {
        {"missing.xml", Outcome::Gone},
        {"pipe.xml", Outcome::Failed},
        {"link.xml", Outcome::Failed},
        {"read-only.xml", geteuid() == 0 ? Outcome::Claimed : Outcome::Failed},
    };
    for (const auto& each : cases)
        EXPECT_EQ(claimOutcome(folder.path(QString::fromLatin1(each.name))), each.outcome) << each.name;
}

// Runs only as the child of the test below: claims the file and holds the claim until killed.
TEST(FileClaimHolder, HoldsUntilKilled)
{
    if (!qEnvironmentVariableIsSet(holderVariable))
        GTEST_SKIP() << "runs as the child of FileClaim.AnotherProcessIsHeldOffUntilTheHolderDies";
    Outcome outcome = Outcome::Failed;
    const auto claim = FileClaim::tryClaim(qEnvironmentVariable(holderVariable), &outcome);
    ASSERT_TRUE(claim);
    std::fputs(holdsMarker, stdout);
    std::fflush(stdout);
    ::pause();
}

TEST(FileClaim, AnotherProcessIsHeldOffUntilTheHolderDies)
{
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts child processes";
    const ScratchFolder folder;
    const QString ticket = folder.path(QStringLiteral("order.xml"));
    ASSERT_TRUE(writeFile(ticket, "<data/>"));
    QProcess holder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(holderVariable), ticket);
    holder.setProcessEnvironment(environment);
    holder.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=FileClaimHolder.*")});
    QByteArray output;
    while (!output.contains(holdsMarker) && holder.waitForReadyRead(30000))
        output += holder.readAllStandardOutput();
    ASSERT_TRUE(output.contains(holdsMarker)) << output.toStdString();

    EXPECT_EQ(claimOutcome(ticket), Outcome::HeldElsewhere);
    // A claimant killed outright leaves nothing behind that keeps its claim.
    holder.kill();
    holder.waitForFinished();
    EXPECT_EQ(claimOutcome(ticket), Outcome::Claimed);
}

} // namespace
