#include <gtest/gtest.h>

#include "../../ui/access_text.h"
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
    // A live stream runs without a length.
    ui_format_title(title, sizeof title, 83 * second, APP_LIVE_LENGTH);
    EXPECT_STREQ(title, "Tavlin Media Player 1.1 | 0:01:23 / live");
    // A buffer too short is cut, never overrun.
    char small[12];
    memset(small, 'x', sizeof small);
    ui_format_title(small, sizeof small, second, second);
    EXPECT_EQ(strlen(small), sizeof small - 1);
}

TEST(AccessibleValues, SlidersReadAndSetAsWords) {
    const long long second = 10000000;
    wchar_t text[64];
    ui_position_text(83 * second + 1, 240 * second, text, 64);
    EXPECT_STREQ(text, L"0:01:23 of 0:04:00");
    ui_position_text(-5, 100 * 3600 * second, text, 64);
    EXPECT_STREQ(text, L"0:00:00 of 100:00:00");
    ui_position_text(0, 0, text, 64);
    EXPECT_STREQ(text, L"No file");
    ui_percent_text(75, text, 64);
    EXPECT_STREQ(text, L"75 %");
    wchar_t small[6];
    ui_position_text(83 * second, 240 * second, small, 6);
    EXPECT_STREQ(small, L"0:01:");  // cut, never overrun

    // What a reader may type back: its own texts, and the plain forms.
    EXPECT_EQ(ui_parse_percent(L"75 %"), 75);
    EXPECT_EQ(ui_parse_percent(L" 100%"), 100);
    EXPECT_EQ(ui_parse_percent(L"0"), 0);
    for (const wchar_t* bad : {L"", L"%", L"101", L"-5", L"7 5", L"50 % x", L"1234567"})
        EXPECT_EQ(ui_parse_percent(bad), -1) << bad;
    EXPECT_EQ(ui_parse_clock(L"0:01:23 of 0:04:00"), 83);
    EXPECT_EQ(ui_parse_clock(L"2:05"), 125);
    EXPECT_EQ(ui_parse_clock(L"90"), 90);
    EXPECT_EQ(ui_parse_clock(L"1:00:00"), 3600);
    for (const wchar_t* bad : {L"", L":", L"1:60", L"1::2", L"1:2:3:4", L"x", L"5 minutes", L"1:00:60"})
        EXPECT_EQ(ui_parse_clock(bad), -1) << bad;
}
