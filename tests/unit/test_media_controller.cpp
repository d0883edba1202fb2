// The controller's limits around a media thread that does not behave: an
// opening that hangs, a stop that gives up, and fields the two threads share.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "../../app/app.h"
#include "../../app/fault_guard.h"
#include "../../media/media.h"
#include "../../media/media_state.h"
#include "../e2e/e2e.h"

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

const int64_t SECOND = 10000000;

// A hidden viewer of the test's own, playing a clip.
HWND open_clip(const char* name) {
    HWND window = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 160, 120, nullptr, nullptr, nullptr, nullptr);
    media_init();
    media_set_window(window);
    media_set_path(clip(name).c_str());
    return media_play() ? window : nullptr;
}

HANDLE g_held, g_let_go;
volatile LONG g_hold_next;

// Holds the media thread once, right where it has taken a request; bounded,
// so a test that fails does not hang.
void hold_once(int32_t) {
    if (!InterlockedExchange(&g_hold_next, 0)) return;
    SetEvent(g_held);
    WaitForSingleObject(g_let_go, 20000);
}

}  // namespace

// A request placed while the media thread is busy with the one it took is
// neither wiped by the thread nor overwritten by a snapshot.
TEST(MediaController, RequestsAreNeitherWipedNorOverwritten) {
    g_held = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    g_let_go = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    media_request_hook = hold_once;
    ASSERT_TRUE(open_clip("long.avi"));
    for (int round = 0; round < 2; round++) {
        ASSERT_EQ(media_get_state(), MEDIA_PLAYING);
        g_hold_next = 1;
        ASSERT_EQ(WaitForSingleObject(g_held, 10000), WAIT_OBJECT_0);
        EXPECT_EQ(media_pause(), 1);
        if (round == 1) {
            EXPECT_EQ(media_snapshot(), 0) << "a snapshot replaced the pending pause";
            EXPECT_EQ(g_playback.request, REQ_PAUSE);
        }
        SetEvent(g_let_go);
        EXPECT_TRUE(e2e_wait_until([] { return media_get_state() == MEDIA_PAUSED; }, 5000)) << "round " << round;
        EXPECT_EQ(media_play(), 1);
        ASSERT_TRUE(e2e_wait_until([] { return media_get_state() == MEDIA_PLAYING; }, 5000));
    }
    media_request_hook = nullptr;
    EXPECT_EQ(media_stop(), 1);
}

bool stopped_event_in(HWND window) {
    MSG msg;
    while (PeekMessageA(&msg, window, WM_MEDIA_EVENT, WM_MEDIA_EVENT, PM_REMOVE))
        if (msg.wParam == MEDIA_EVENT_STOPPED) return true;
    return false;
}

// A decoder that hangs in a seek costs the window one limit: the requests
// that wait on the thread give up and the thread is marked stuck. A path and
// window set meanwhile are for the next thread: this one keeps its own.
TEST(MediaController, AThreadHungInASeekCostsOneLimitAndKeepsItsOwnWindow) {
    g_openings = 0;
    g_release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HWND window = open_clip("long.avi");
    ASSERT_TRUE(window);
    media_seek_hook = hang_until_released;
    DWORD start = GetTickCount();
    EXPECT_EQ(media_seek(SECOND), 1);
    ASSERT_TRUE(e2e_wait_until([] { return g_openings == 1; }, 10000));
    EXPECT_EQ(media_snapshot(), 0);
    EXPECT_LT(GetTickCount() - start, 25000u);
    EXPECT_EQ(media_pause(), 0);

    HWND other = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    media_set_window(other);
    media_set_path("Z:\\other.avi");
    media_seek_hook = nullptr;
    SetEvent(g_release);
    // The stop the window asked for is taken once the seek returns.
    ASSERT_EQ(WaitForSingleObject(g_playback.thread, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(stopped_event_in(window));
    EXPECT_FALSE(stopped_event_in(other));
    media_stop();
    CloseHandle(g_release);
}

namespace {
void copy_type_to_bad_buffer(void*) { media_get_info(reinterpret_cast<char*>(16), 64, nullptr); }
void copy_error_to_bad_buffer(void*) { media_get_error(reinterpret_cast<char*>(16), 1024); }
DWORD WINAPI set_type_name(LPVOID) {
    media_set_type_name("audio");
    return 0;
}
}  // namespace

// A fault while copying shared text out to a bad buffer leaves the lock free:
// the media thread can still set its type name.
TEST(MediaController, AFaultWhileCopyingOutLeavesTheLockFree) {
    g_playback.thread = GetCurrentThread();  // the type is read only while a media thread exists
    media_append_error("a report long enough\n");
    EXPECT_EQ(app_run_guarded(copy_type_to_bad_buffer, nullptr), 0);
    EXPECT_EQ(app_run_guarded(copy_error_to_bad_buffer, nullptr), 0);
    g_playback.thread = nullptr;
    HANDLE writer = CreateThread(nullptr, 0, set_type_name, nullptr, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(writer, 10000), WAIT_OBJECT_0);
    CloseHandle(writer);
}

// An opening that hangs costs the window at most one attempt's wait and a
// stop's wait; while that thread lives no other starts, every open is
// refused at once with the reason, and the refusals are told apart from
// failures of their files. Once it ends, files open again.
TEST(MediaController, AHangingOpenIsGivenUpAndNothingStartsBesideIt) {
    const std::string restart =
        "The previous file's decoder has stopped answering: nothing can play until it does, or until Tavlin Media Player is restarted.\n";
    g_openings = 0;
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
    EXPECT_EQ(error_text(), restart + "The specified file does not exist.\n");
    EXPECT_EQ(media_is_stuck(), 1);
    EXPECT_EQ(media_open_refused(), 0) << "the file that hung failed by itself";

    // Another file, while the stuck thread lives: refused at once, and not
    // for anything of its own.
    media_set_path("Z:\\no such folder\\other.avi");
    start = GetTickCount();
    EXPECT_EQ(media_play(), 0);
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_EQ(g_openings, 1);
    EXPECT_EQ(error_text(), restart);
    EXPECT_EQ(media_open_refused(), 1);

    // The thread ends; the next play starts afresh and reports the real cause.
    SetEvent(g_release);
    ASSERT_EQ(WaitForSingleObject(g_playback.thread, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(media_play(), 0);
    EXPECT_EQ(g_openings, 3);  // two attempts of their own
    std::string report = error_text();
    EXPECT_EQ(report.find(restart), std::string::npos) << report;
    EXPECT_NE(report.find("The specified file does not exist.\n"), std::string::npos) << report;
    EXPECT_EQ(media_is_stuck(), 0);
    EXPECT_EQ(media_open_refused(), 0);
    media_opening_hook = nullptr;
    media_stop();
    CloseHandle(g_release);
}

namespace {
void write_slowly() { WaitForSingleObject(g_release, 20000); }
}  // namespace

// A snapshot taken while paused holds the window only until the thread has
// taken it: a slow write neither freezes the window nor marks the thread
// as stuck, and the Play that follows is taken.
TEST(MediaController, ASlowSnapshotWhilePausedLeavesThePlayerAnswering) {
    g_release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(open_clip("long.avi"));
    ASSERT_EQ(media_pause(), 1);
    ASSERT_TRUE(e2e_wait_until([] { return media_get_state() == MEDIA_PAUSED; }, 5000));
    media_snapshot_hook = write_slowly;
    DWORD start = GetTickCount();
    EXPECT_EQ(media_snapshot(), 1);
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_EQ(media_play(), 1);
    EXPECT_EQ(media_is_stuck(), 0);
    SetEvent(g_release);
    EXPECT_TRUE(e2e_wait_until([] { return media_get_state() == MEDIA_PLAYING; }, 5000));
    media_snapshot_hook = nullptr;
    EXPECT_EQ(media_stop(), 1);
    CloseHandle(g_release);
    e2e_remove_snapshots();
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

// How a stream that ran out is judged, in 100-ns units: a video that showed
// one frame, or ended far short of the length it claims, failed; a short
// sound and a clip of a few frames that ran its length played.
TEST(MediaController, AnEndIsAFailureOnlyWhenNothingPlayed) {
    const int64_t ms = 10000;
    EXPECT_FALSE(media_ended_as_played(false, true, 0, 2000 * ms, 2000 * ms)) << "nothing shown";
    EXPECT_FALSE(media_ended_as_played(true, true, 1, 0, 0)) << "one frame, no length, no clock";
    EXPECT_FALSE(media_ended_as_played(true, true, 1, 560 * ms, 600 * ms)) << "one frame of a short clip";
    EXPECT_FALSE(media_ended_as_played(true, true, 2, 80 * ms, 8000 * ms)) << "cut after two frames of eight seconds";
    EXPECT_FALSE(media_ended_as_played(true, false, 0, 300 * ms, 8000 * ms)) << "a sound far short of its length";
    EXPECT_TRUE(media_ended_as_played(true, false, 0, 500 * ms, 500 * ms)) << "a half-second sound";
    EXPECT_TRUE(media_ended_as_played(true, true, 15, 560 * ms, 600 * ms)) << "a 0.6 s clip of 15 frames";
    EXPECT_TRUE(media_ended_as_played(true, true, 15, 0, 600 * ms)) << "its clock never read";
    EXPECT_TRUE(media_ended_as_played(true, true, 49, 1960 * ms, 2000 * ms));
    EXPECT_TRUE(media_ended_as_played(true, true, 30, 1200 * ms, 8000 * ms)) << "broke after a second of play";
}

// The length an AVI header claims: the file the test run cut after its
// first frames still claims the eight seconds it was made with; files that
// are no AVI, or too short to hold the header, claim nothing.
TEST(MediaController, AnAviHeaderTellsTheLengthItWasMadeWith) {
    std::string head = e2e_read_file(clip("stalled.avi")).substr(0, 4096);
    size_t got = head.size();
    ASSERT_GT(got, 40u);
    auto bytes = [](const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); };
    EXPECT_EQ(media_declared_length(bytes(head), got), 8 * SECOND);
    EXPECT_EQ(media_declared_length(bytes(head), 40), 0) << "the header cut off";
    std::string wave = head;
    wave.replace(8, 4, "WAVE");
    EXPECT_EQ(media_declared_length(bytes(wave), got), 0);
    // 40,000 us a frame for 0xFFFFFFFF frames: far past any clip, and no overflow.
    std::string huge = "RIFF....AVI LIST....hdrlavih";
    for (uint32_t value : {56u, 40000u, 0u, 0u, 0u, 0xFFFFFFFFu})
        for (int shift = 0; shift < 32; shift += 8) huge += static_cast<char>(value >> shift);
    EXPECT_GT(media_declared_length(bytes(huge), huge.size()), 3600 * SECOND);
}
