#include <gtest/gtest.h>

#include "../../ui/ui.h"

TEST(TitleClock, HoursMinutesAndSecondsTruncated) {
    const int64_t second = 10000000;
    char title[128];
    // Parts of a second are dropped, minutes and seconds keep two digits,
    // hours are not limited to one.
    ui_format_title(title, sizeof title, second - 1, 59 * second + second / 2);
    EXPECT_STREQ(title, "Tavlin Media Player 1.1 | 0:00:00 / 0:00:59");
    ui_format_title(title, sizeof title, 36000 * second + 61 * second, 100 * 3600 * second);
    EXPECT_STREQ(title, "Tavlin Media Player 1.1 | 10:01:01 / 100:00:00");
    // A buffer too short is cut, never overrun.
    char small[12];
    memset(small, 'x', sizeof small);
    ui_format_title(small, sizeof small, second, second);
    EXPECT_EQ(strlen(small), sizeof small - 1);
}
