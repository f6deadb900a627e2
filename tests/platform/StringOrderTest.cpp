#include "platform/text/StringOrder.h"

#include <gtest/gtest.h>

using platform::StringOrder;

TEST(StringOrder, digitRunsCompareAsNumbersLettersIgnoreCase)
{
    const struct {
        const char* a;
        const char* b;
        int order;
    } cases[] = {
        {"img2.jpg", "IMG10.jpg", -1},
        {"img10.jpg", "img9.jpg", 1},
        {"a", "B", -1},
        {"photo", "photo1", -1},
        {"x007", "x7", -1}, // equal numbers: told apart by their text, stably
        {"x7", "x007", 1},
        {"A", "a", -1},
        {"same", "same", 0},
        {"99999999999999999999999", "100000000000000000000000", -1}, // beyond any integer type
        {"", "a", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        const int order = StringOrder::compare(QString::fromUtf8(c.a), QString::fromUtf8(c.b));
        EXPECT_EQ((order > 0) - (order < 0), c.order);
    }
}
