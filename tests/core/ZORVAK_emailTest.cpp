#include "core/foundation/ZORVAK_email.h"

#include <gtest/gtest.h>

TEST(EmailAddress, AcceptsDotAtomsQuotedLocalPartsAndAddressLiterals)
{
    for (const char* address : {"lab@example.com", "First.Last@Example.COM", "o'brien+prints@mail.example.co.uk",
                                "\"john..doe\"@example.com", "\"john\\ doe\"@example.com", "\"quoted\\\"inner\"@example.com", "user@[192.168.0.1]", "a@b.c"}) {
        SCOPED_TRACE(address);
        EXPECT_TRUE(ZORVAK_email::isValidEmailAddress(QString::fromUtf8(address)));
    }
}

TEST(EmailAddress, RejectsPartialMatchesAndMalformedAddresses)
{
    for (const char* address : {"", "lab", "lab@", "@example.com", "lab@example", "lab@@example.com", "lab.@example.com",
                                ".lab@example.com", "la..b@example.com", "lab @example.com", "lab@example.com ",
                                "x lab@example.com", "lab@-example.com", "user@[256.1.1.1]", "\"unterminated@example.com", "\"john doe\"@example.com",
                                "jürgen@example.com"}) {
        SCOPED_TRACE(address);
        EXPECT_FALSE(ZORVAK_email::isValidEmailAddress(QString::fromUtf8(address)));
    }
}
