#include "platform/Error.h"

#include <gtest/gtest.h>

#include <cerrno>

TEST(Error, DescribesDomainCodeAndMessage)
{
    const platform::Error error = platform::Error::fromErrno(ENOENT, QStringLiteral("/tmp/x"));
    EXPECT_EQ(error.domain, platform::Error::POSIXDomain);
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_TRUE(error.message.startsWith(QStringLiteral("/tmp/x: ")));
    EXPECT_TRUE(error.description().startsWith(QStringLiteral("Error Domain=NSPOSIXErrorDomain Code=2 ")));
    EXPECT_FALSE(error.isNull());
    EXPECT_TRUE(platform::Error{}.isNull());
}
