#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "program_steps.h"

namespace {

// A clip that plays: the running copy opens the first file it is handed, and
// a file that cannot be played would hold it in the error report.
std::string playable_clip() {
    const char* dir = getenv("TAVLIN_CLIPS");
    std::ifstream in(std::string(dir ? dir : ".") + "\\red.avi", std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace

// A hundred second launches at once, while a file plays and the About box runs
// a modal loop of its own: each leaves with exit code 0 and no window of its
// own, and every file reaches the running copy's playlist within 30 s.
TEST(Handoff, AHundredLaunchesAtOnceLoseNoFileEvenDuringAModalWindow) {
    std::string dir = e2e_scratch_dir("handoff100");
    E2eProgram first;
    const int launches = 100;
    std::string playing = dir + "\\playing.avi";
    CopyFileA((std::string(getenv("TAVLIN_CLIPS") ? getenv("TAVLIN_CLIPS") : ".") + "\\long.avi").c_str(),
              playing.c_str(), FALSE);
    HWND viewer = start_player(&first, "\"" + playing + "\"");
    ASSERT_TRUE(viewer);
    HWND list = open_playlist(&first, viewer);
    ASSERT_TRUE(list);
    EXPECT_TRUE(e2e_wait_until([&] { return e2e_text(viewer) != TITLE; }, 15000)) << "not playing";
    PostMessageA(viewer, WM_COMMAND, 40005, 0);
    HWND about = e2e_wait_window(first.pid, "#32770", "About " TITLE, 10000);
    ASSERT_TRUE(about);

    const std::string clip = playable_clip();
    ASSERT_GT(clip.size(), 1000u) << "the test run makes the clips and names their folder in TAVLIN_CLIPS";
    std::vector<std::string> expected = {"playing.avi"};
    std::vector<std::string> paths;
    for (int i = 0; i < launches; i++) {
        // Names of different lengths, so a torn or mixed-up path would show.
        std::string name = "clip " + std::to_string(i) + std::string(i, 'z') + ".avi";
        paths.push_back(e2e_make_file(dir + "\\" + name, clip));
        expected.push_back(name);
    }
    DWORD start = GetTickCount();
    std::vector<E2eProgram> senders(launches);
    for (int i = 0; i < launches; i++) ASSERT_TRUE(e2e_start(&senders[i], "\"" + paths[i] + "\""));
    bool sender_made_window = false;
    // One deadline for all of them, so a stall fails the test in good time
    // (and its copies are ended) instead of running into the run's timeout.
    const DWORD deadline = start + 90000;
    for (auto& s : senders) {
        DWORD code = 99;
        const DWORD now = GetTickCount();
        EXPECT_TRUE(e2e_wait_until([&] {
            sender_made_window |= e2e_has_any_window(s.pid);
            return e2e_wait_exit(&s, 0, &code);
        }, now < deadline ? static_cast<int>(deadline - now) : 0));
        EXPECT_EQ(code, 0u);
        e2e_stop(&s);
    }
    EXPECT_FALSE(sender_made_window);
    std::vector<std::string> got;
    e2e_wait_until([&] { return (got = e2e_list_items(list)).size() > launches; }, 30000);
    DWORD elapsed = GetTickCount() - start;
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(IsWindow(about)) << "the About box was still open";
    e2e_press(about, IDCANCEL);
    // The launches themselves included; the test runs alone.
    EXPECT_LT(elapsed, 30000u);
    printf("%d hand-offs delivered in %lu ms\n", launches, static_cast<unsigned long>(elapsed));
    close_player(&first, viewer);
    e2e_stop(&first);
}

// A running copy whose window thread is busy (here: held still from outside)
// still takes a launch's file at once, and lists it once the thread is free.
TEST(Handoff, ALaunchIsAnsweredWhileTheRunningCopyIsBusy) {
    std::string dir = e2e_scratch_dir("handoffbusy");
    const std::string clip = playable_clip();
    std::string first_file = e2e_make_file(dir + "\\first.avi", clip);
    std::string second_file = e2e_make_file(dir + "\\second.avi", clip);
    E2eProgram first, second;
    HWND viewer = start_player(&first, "\"" + first_file + "\"");
    ASSERT_TRUE(viewer);
    HWND list = open_playlist(&first, viewer);
    ASSERT_TRUE(list);
    HANDLE ui = OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(viewer, nullptr));
    ASSERT_TRUE(ui);
    ASSERT_NE(SuspendThread(ui), static_cast<DWORD>(-1));
    DWORD code = 99;
    bool left = e2e_start(&second, "\"" + second_file + "\"") && e2e_wait_exit(&second, 30000, &code);
    ResumeThread(ui);
    CloseHandle(ui);
    EXPECT_TRUE(left);
    EXPECT_EQ(code, 0u);
    std::vector<std::string> got;
    e2e_wait_until([&] { return (got = e2e_list_items(list)).size() >= 2; }, 10000);
    EXPECT_EQ(got, (std::vector<std::string>{"first.avi", "second.avi"}));
    close_player(&first, viewer);
    e2e_stop(&second);
    e2e_stop(&first);
}

namespace {

BOOL CALLBACK count_viewer(HWND w, LPARAM p) {
    char name[32] = "";
    GetClassNameA(w, name, sizeof name);
    if (strcmp(name, "tavlin_viewer") == 0) ++*reinterpret_cast<int*>(p);
    return TRUE;
}

int viewers_on_screen() {
    int n = 0;
    EnumWindows(count_viewer, reinterpret_cast<LPARAM>(&n));
    return n;
}

}  // namespace

// Ten launches at once with no copy running, as the shell starts a selection
// of ten files: one player takes them all, lists them in the folder's order
// (numbers by their value) and plays the first; the other nine leave.
TEST(Handoff, TenLaunchesAtOnceMakeOnePlayerThatPlaysTheFirstInNameOrder) {
    std::string dir = e2e_scratch_dir("burst");
    const char* clips = getenv("TAVLIN_CLIPS");
    std::vector<std::string> expected, paths;
    for (int i = 1; i <= 10; i++) {
        std::string name = "Clip " + std::to_string(i) + ".avi";
        // The first in order is red; the others green, so the screen tells which plays.
        std::string from = std::string(clips ? clips : ".") + (i == 1 ? "\\red.avi" : "\\wide.avi");
        ASSERT_TRUE(CopyFileA(from.c_str(), (dir + "\\" + name).c_str(), FALSE)) << from;
        expected.push_back(name);
        paths.push_back(dir + "\\" + name);
    }
    std::vector<E2eProgram> launches(10);
    const int scrambled[10] = {6, 2, 9, 0, 4, 8, 1, 7, 3, 5};
    for (int i = 0; i < 10; i++) ASSERT_TRUE(e2e_start(&launches[i], "\"" + paths[scrambled[i]] + "\""));
    E2eProgram* player = nullptr;
    int left = 0;
    EXPECT_TRUE(e2e_wait_until([&] {
        left = 0;
        for (auto& l : launches) left += WaitForSingleObject(l.process, 0) == WAIT_OBJECT_0;
        return left == 9;
    }, 60000)) << left << " of ten launches left";
    for (auto& l : launches) {
        DWORD code = 99;
        if (WaitForSingleObject(l.process, 0) != WAIT_OBJECT_0) player = &l;
        else EXPECT_TRUE(e2e_wait_exit(&l, 0, &code) && code == 0) << code;
    }
    ASSERT_TRUE(player);
    EXPECT_EQ(viewers_on_screen(), 1);
    HWND viewer = e2e_wait_window(player->pid, "tavlin_viewer", nullptr, 10000);
    ASSERT_TRUE(viewer);
    // The first in that order plays: red at the top of the picture, clear of the strip.
    PostMessageA(viewer, WM_COMMAND, 40008, 0);  // the strip hidden
    auto red_on_top = [&] {
        int w, h;
        std::vector<uint32_t> shot = e2e_capture_client(viewer, &w, &h);
        uint32_t p = w > 0 && h > 40 ? shot[40 * w + w / 2] : 0;
        return ((p >> 16) & 255) > 180 && ((p >> 8) & 255) < 70;
    };
    EXPECT_TRUE(e2e_wait_until(red_on_top, 10000)) << "the first file is not the one playing";
    HWND list = open_playlist(player, viewer);
    std::vector<std::string> got;
    e2e_wait_until([&] { return (got = e2e_list_items(list)).size() >= 10; }, 15000);
    EXPECT_EQ(got, expected);
    close_player(player, viewer);
}
