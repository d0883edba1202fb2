#include <algorithm>

#include "viewer_steps.h"

// A hundred second launches at once, while a file plays and the About box runs
// a modal loop of its own: each leaves with exit code 0 and no window of its
// own, and every file reaches the running copy's playlist within 30 s.
TEST(Handoff, AHundredLaunchesAtOnceLoseNoFileEvenDuringAModalWindow) {
    std::string dir = e2e_scratch_dir("handoff100");
    E2eProgram first;
    const int launches = 100;
    HWND viewer = start_player(&first, ::quoted(copy_clip("long.avi", dir + "\\playing.avi")));
    ASSERT_TRUE(viewer);
    HWND list = open_playlist(&first, viewer);
    ASSERT_TRUE(list);
    EXPECT_TRUE(e2e_wait_until([&] { return e2e_text(viewer) != TITLE; }, 15000)) << "not playing";
    PostMessageA(viewer, WM_COMMAND, 40005, 0);
    HWND about = e2e_wait_window(first.pid, "#32770", "About " TITLE, 10000);
    ASSERT_TRUE(about);

    // Clips that play: the running copy opens the first file it is handed, and
    // a file that cannot be played would hold it in the error report.
    std::vector<std::string> expected = {"playing.avi"}, paths;
    for (int i = 0; i < launches; i++) {
        // Names of different lengths, so a torn or mixed-up path would show.
        expected.push_back("clip " + std::to_string(i) + std::string(i, 'z') + ".avi");
        paths.push_back(dir + "\\" + expected.back());
        ASSERT_TRUE(CopyFileA(clip("red.avi").c_str(), paths.back().c_str(), FALSE)) << "no clips in TAVLIN_CLIPS";
    }
    DWORD start = GetTickCount();
    std::vector<E2eProgram> senders(launches);
    for (int i = 0; i < launches; i++) ASSERT_TRUE(e2e_start(&senders[i], ::quoted(paths[i])));
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
    E2eProgram first, second;
    HWND viewer = start_player(&first, ::quoted(copy_clip("red.avi", dir + "\\first.avi")));
    ASSERT_TRUE(viewer);
    HWND list = open_playlist(&first, viewer);
    ASSERT_TRUE(list);
    HANDLE ui = OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(viewer, nullptr));
    ASSERT_TRUE(ui);
    ASSERT_NE(SuspendThread(ui), static_cast<DWORD>(-1));
    DWORD code = 99;
    std::string second_file = copy_clip("red.avi", dir + "\\second.avi");
    bool left = e2e_start(&second, ::quoted(second_file)) && e2e_wait_exit(&second, 30000, &code);
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

// Ten launches at once with no copy running, as the shell starts a selection
// of ten files: one player takes them all, lists them in the folder's order
// (numbers by their value) and plays the first; the other nine leave.
TEST(Handoff, TenLaunchesAtOnceMakeOnePlayerThatPlaysTheFirstInNameOrder) {
    std::string dir = e2e_scratch_dir("burst");
    std::vector<std::string> expected;
    for (int i = 1; i <= 10; i++) expected.push_back("Clip " + std::to_string(i) + ".avi");
    std::vector<E2eProgram> launches(10);
    const int scrambled[10] = {6, 2, 9, 0, 4, 8, 1, 7, 3, 5};
    // The first in order is red; the others green, so the screen tells which plays.
    for (int i = 0; i < 10; i++) copy_clip(i == 0 ? "red.avi" : "wide.avi", dir + "\\" + expected[i]);
    for (int i = 0; i < 10; i++) ASSERT_TRUE(e2e_start(&launches[i], ::quoted(dir + "\\" + expected[scrambled[i]])));
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
    EXPECT_EQ(e2e_windows(0, "tavlin_viewer").size(), 1u);
    HWND viewer = e2e_wait_window(player->pid, "tavlin_viewer", nullptr, 10000);
    ASSERT_TRUE(viewer);
    // The first in that order plays: red at the top of the picture, clear of the strip.
    hide_player(player, viewer);
    EXPECT_TRUE(top_shows(viewer, is_red, 10000)) << "the first file is not the one playing";
    HWND list = open_playlist(player, viewer);
    std::vector<std::string> got;
    e2e_wait_until([&] { return (got = e2e_list_items(list)).size() >= 10; }, 15000);
    EXPECT_EQ(got, expected);
    close_player(player, viewer);
}
