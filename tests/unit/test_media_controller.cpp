// The controller's limits around a media thread that does not behave: an
// opening that hangs, a stop that gives up, and fields the two threads share.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "../../media/media.h"
#include "../../media/media_state.h"

namespace {

HANDLE g_release;
volatile LONG g_openings;

void hang_until_released() {
    InterlockedIncrement(&g_openings);
    WaitForSingleObject(g_release, INFINITE);
}

std::string error_text() {
    char text[1024] = {};
    media_get_error(text, sizeof text);
    return text;
}

const char* const names[2] = {"Streaming Video Streaming Video Streaming Video", "audio"};
volatile LONG g_writing;

DWORD WINAPI write_shared_text(LPVOID) {
    for (int i = 0; g_writing; i++) {
        media_set_type_name(names[i & 1]);
        media_clear_error();
        media_append_error(names[(i + 1) & 1]);
    }
    return 0;
}

}  // namespace

// An opening that hangs costs the window at most one attempt's wait and a
// stop's wait; while that thread lives no other starts, and every open is
// refused with the reason. Once it ends, files open again.
TEST(MediaController, AHangingOpenIsGivenUpAndNothingStartsBesideIt) {
    g_release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    media_opening_hook = hang_until_released;
    media_init();
    media_set_path("Z:\\no such folder\\clip.avi");
    DWORD start = GetTickCount();
    EXPECT_EQ(media_play(), 0);
    DWORD waited = GetTickCount() - start;
    EXPECT_GE(waited, 10000u);  // the opening had its 10 s
    EXPECT_LT(waited, 30000u);  // and the stop its 10 s, no more
    EXPECT_EQ(g_openings, 1);
    EXPECT_EQ(error_text(), "The previous file is still being closed.\n");

    // Another file, while the stuck thread lives: refused at once.
    media_set_path("Z:\\no such folder\\other.avi");
    start = GetTickCount();
    EXPECT_EQ(media_play(), 0);
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_EQ(g_openings, 1);
    EXPECT_EQ(error_text(), "The previous file is still being closed.\n");

    // The thread ends; the next play starts afresh and reports the real cause.
    SetEvent(g_release);
    for (int i = 0; i < 500 && media_get_state() != MEDIA_ERROR && media_get_state() != MEDIA_STOPPED; i++) Sleep(10);
    Sleep(100);
    EXPECT_EQ(media_play(), 0);
    EXPECT_EQ(g_openings, 3);  // two attempts of their own
    EXPECT_NE(error_text().find("The specified file does not exist.\n"), std::string::npos) << error_text();
    media_opening_hook = nullptr;
    media_stop();
    CloseHandle(g_release);
}

// The type name and the error text are written on the media thread and read
// on the user-interface thread: a reader sees one whole value or the other.
TEST(MediaController, SharedTextIsNeverReadHalfWritten) {
    media_set_type_name(names[1]);
    g_writing = 1;
    HANDLE writer = CreateThread(nullptr, 0, write_shared_text, nullptr, 0, nullptr);
    g_playback.thread = writer;  // the type is read only while a media thread exists
    int torn = 0;
    for (int i = 0; i < 200000; i++) {
        char type[64] = "unread", error[1024] = "";
        int has_video;
        media_get_info(type, sizeof type, &has_video);
        media_get_error(error, sizeof error);
        if (strcmp(type, names[0]) != 0 && strcmp(type, names[1]) != 0) torn++;
        if (error[0] && strcmp(error, names[0]) != 0 && strcmp(error, names[1]) != 0) torn++;
    }
    g_writing = 0;
    WaitForSingleObject(writer, INFINITE);
    g_playback.thread = nullptr;
    CloseHandle(writer);
    EXPECT_EQ(torn, 0);
}

// How a stream that ran out is judged, in 100-ns units: a video cut short
// after its first frames fails; a short sound and a clip that ran its length
// played.
TEST(MediaController, AnEndIsAFailureOnlyWhenNothingPlayed) {
    const int64_t ms = 10000;
    EXPECT_FALSE(media_ended_as_played(false, true, 2000 * ms, 2000 * ms)) << "nothing shown";
    EXPECT_FALSE(media_ended_as_played(true, true, 160 * ms, 160 * ms)) << "a video of four frames";
    EXPECT_FALSE(media_ended_as_played(true, false, 300 * ms, 8000 * ms)) << "far short of its length";
    EXPECT_TRUE(media_ended_as_played(true, false, 500 * ms, 500 * ms)) << "a half-second sound";
    EXPECT_TRUE(media_ended_as_played(true, true, 1960 * ms, 2000 * ms));
    EXPECT_TRUE(media_ended_as_played(true, true, 900 * ms, 1500 * ms)) << "ended within a second of its length";
}
