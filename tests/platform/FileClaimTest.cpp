#include "platform/files/FileClaim.h"

#include "FileFixtures.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using platform::FileClaim;
using Outcome = FileClaim::Outcome;
using kova::test::ScratchFolder;
using kova::test::writeFile;

Outcome claimOutcome(const QString& path)
{
    Outcome outcome = Outcome::Failed;
    FileClaim::tryClaim(path, &outcome);
    return outcome;
}

// Across processes, and a claimant killed outright: SharedHotFolder in the workflow tests.
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

} // namespace
