// The playlist window driven for real: its rows read back from the list box.
#include "viewer_steps.h"

namespace {

HWND dialog_of(HWND list) { return GetParent(list); }

}  // namespace

TEST(PlaylistWindow, RowsCommandsDropsAndOneWindow) {
    std::string dir = e2e_scratch_dir("playlist-window");
    CreateDirectoryA((dir + "\\more").c_str(), nullptr);
    for (const char* name : {"b.avi", "c.avi", "a.avi"}) copy_clip("red.avi", dir + "\\more\\" + name);
    std::string first = copy_clip("red.avi", dir + "\\d.avi");
    E2eProgram program;
    HWND viewer = start_playing(&program, first, 0);
    ASSERT_TRUE(viewer);
    HWND list = open_playlist(&program, viewer);
    ASSERT_TRUE(list);
    HWND dialog = dialog_of(list);
    auto rows = [&] { return e2e_list_items(list); };
    auto command = [&](int id) { PostMessageA(dialog, WM_COMMAND, id, 0); };
    // A real click on a row, with a modifier held (xdotool's keydown) or none.
    auto click_row = [&](int index, const char* hold) {
        POINT at = {60, 24 * index + 12};
        ClientToScreen(list, &at);
        std::string up = hold[0] ? " keyup shift" : "";
        e2e_run_unix("xdotool mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) + " " + hold +
                         " click 1" + up, 10000);
    };

    // A drop appends, folders to their depth; the current entry stays.
    ASSERT_TRUE(e2e_drop(dialog, {dir + "\\more"}));
    EXPECT_TRUE(e2e_wait_until([&] { return rows().size() == 4; }, 10000));
    EXPECT_EQ(rows()[0], "d.avi");
    command(40016);  // Sort by Name
    EXPECT_TRUE(e2e_wait_until([&] { return rows() == std::vector<std::string>{"a.avi", "b.avi", "c.avi", "d.avi"}; },
                               5000));
    // Randomize is the shuffle test's: these rows could not tell it from no change.
    // Rows 1 and 2 chosen with the pointer, removed with the Delete key.
    click_row(1, "");
    click_row(2, "keydown shift");
    e2e_key("Delete");
    EXPECT_TRUE(e2e_wait_until([&] { return rows() == std::vector<std::string>{"a.avi", "d.avi"}; }, 5000));

    // A double-click on a row plays it.
    PostMessageA(viewer, WM_COMMAND, 40004, 0);
    ASSERT_TRUE(e2e_wait_until([&] { return e2e_text(viewer) == TITLE; }, 5000));
    POINT row = {60, 24 + 12};
    ClientToScreen(list, &row);
    e2e_run_unix("xdotool mousemove " + std::to_string(row.x) + " " + std::to_string(row.y) + " sleep 0.3 click --repeat 2 --delay 80 1",
                 10000);
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 0; }, 15000))
        << "nothing plays; row 1 selected: " << SendMessageA(list, LB_GETSEL, 1, 0) << " at " << row.x << "," << row.y
        << " front " << (GetForegroundWindow() == dialog);

    // Enter plays the chosen row; Escape closes the window, and asked for
    // again, it is the same window.
    PostMessageA(viewer, WM_COMMAND, 40004, 0);
    ASSERT_TRUE(e2e_wait_until([&] { return e2e_text(viewer) == TITLE; }, 5000));
    click_row(0, "");
    e2e_key("Return");
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 0; }, 15000)) << "Enter played nothing";
    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 2) << "Enter went on to the dialog";
    click_row(1, "");
    e2e_key("Escape");
    EXPECT_TRUE(e2e_wait_until([&] { return !IsWindowVisible(dialog); }, 5000));
    EXPECT_EQ(open_playlist(&program, viewer), list);
    EXPECT_TRUE(e2e_wait_until([&] { return IsWindowVisible(dialog) != 0; }, 5000));
    command(40024);  // Clear
    EXPECT_TRUE(e2e_wait_until([&] { return rows().empty(); }, 5000));
    close_player(&program, viewer);
}

TEST(PlaylistWindow, AFullListKeepsItsFirstFilesAndSaysHowManyWereLeft) {
    std::string dir = e2e_scratch_dir("playlist-full");
    std::string many = dir + "\\many";
    CreateDirectoryA(many.c_str(), nullptr);
    // 20,000 files, made from the build machine's side in a moment.
    ASSERT_EQ(e2e_run_unix("cd '" + e2e_unix_path(many) + "' && seq 0 19999 | sed 's/$/.avi/' | xargs touch", 60000), 0);
    E2eProgram program;
    HWND viewer = start_player(&program, "");
    ASSERT_TRUE(viewer);
    HWND list = open_playlist(&program, viewer);
    ASSERT_TRUE(list);
    DWORD start = GetTickCount();
    ASSERT_TRUE(e2e_drop(dialog_of(list), {many}));
    HWND box = e2e_wait_window(program.pid, "#32770", "Playlist Full", 30000);
    ASSERT_TRUE(box);
    printf("20000 files dropped, told after %lu ms\n", static_cast<unsigned long>(GetTickCount() - start));
    EXPECT_NE(e2e_box_text(box).find("15904 files were not added"), std::string::npos) << e2e_box_text(box);
    e2e_press(box, IDOK);
    EXPECT_TRUE(e2e_wait_until([&] { return !IsWindow(box); }, 10000));
    EXPECT_TRUE(e2e_wait_until([&] { return SendMessageA(list, LB_GETCOUNT, 0, 0) == 4096; }, 10000));
    EXPECT_FALSE(e2e_wait_window(program.pid, "#32770", "Playlist Full", 1000)) << "told more than once";
    close_player(&program, viewer);
}

// A playlist too long for the list, given at start-up and chosen alone in the
// Open dialog: each import says at once how many files it left out, and no
// later import repeats the count.
TEST(PlaylistWindow, APlaylistTooLongIsToldAtOnceOnStartupAndFromTheOpenDialog) {
    std::string dir = e2e_scratch_dir("playlist-too-long");
    std::string clip_path = copy_clip("red.avi", dir + "\\red.avi");
    std::string text = "#EXTM3U\r\n";
    for (int i = 0; i < 5000; i++) text += clip_path + "\r\n";
    std::string list = e2e_make_file(dir + "\\long.m3u", text);
    auto told_once = [](E2eProgram* program) {
        HWND box = e2e_wait_window(program->pid, "#32770", "Playlist Full", 30000);
        if (!box) return ::testing::AssertionFailure() << "not told";
        std::string said = e2e_box_text(box);
        e2e_press(box, IDOK);
        if (said.find("904 files were not added") == std::string::npos) return ::testing::AssertionFailure() << said;
        return ::testing::AssertionSuccess();
    };

    E2eProgram program;
    HWND viewer = start_player(&program, ::quoted(list));
    ASSERT_TRUE(viewer);
    EXPECT_TRUE(told_once(&program)) << "from the command line";

    HWND dialog = nullptr, name = open_files_name_field(&program, viewer, &dialog);
    ASSERT_TRUE(name);
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(list.c_str()));
    e2e_press(dialog, IDOK);
    EXPECT_TRUE(told_once(&program)) << "from the Open dialog";

    // A drop that fits: it plays, and no count from before comes with it.
    PostMessageA(viewer, WM_COMMAND, 40004, 0);  // Stop, so that playing again shows the drop was taken
    ASSERT_TRUE(e2e_wait_until([&] { return e2e_text(viewer) == TITLE; }, 10000));
    ASSERT_TRUE(e2e_drop(viewer, {clip_path}));
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 0; }, 15000)) << e2e_text(viewer);
    EXPECT_FALSE(e2e_wait_window(program.pid, "#32770", "Playlist Full", 1500)) << "a count told again";
    close_player(&program, viewer);
}

// Enter plays the first chosen row and leaves the choice as it was: a Delete
// after it removes what the user chose, nothing more. A single row, rows
// chosen with Ctrl, and the last row.
TEST(PlaylistWindow, EnterKeepsTheChoiceSoDeleteRemovesOnlyIt) {
    std::string dir = e2e_scratch_dir("playlist-enter");
    CreateDirectoryA((dir + "\\ten").c_str(), nullptr);
    for (int i = 0; i < 10; i++) copy_clip("red.avi", dir + "\\ten\\" + std::to_string(i) + ".avi");
    E2eProgram program;
    HWND viewer = start_player(&program, quoted(dir + "\\ten"));
    ASSERT_TRUE(viewer);
    HWND list = open_playlist(&program, viewer);
    ASSERT_TRUE(list);
    ASSERT_TRUE(e2e_wait_until([&] { return e2e_list_items(list).size() == 10; }, 10000));
    auto click_row = [&](int index, bool ctrl) {
        POINT at = {60, 24 * index + 12};
        ClientToScreen(list, &at);
        e2e_run_unix("xdotool mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) +
                         (ctrl ? " keydown ctrl click 1 keyup ctrl" : " click 1"), 10000);
    };
    auto selected = [&] {
        std::vector<int> rows;
        for (int i = 0; i < SendMessageA(list, LB_GETCOUNT, 0, 0); i++)
            if (SendMessageA(list, LB_GETSEL, i, 0) > 0) rows.push_back(i);
        return rows;
    };
    auto enter_then_delete = [&](std::vector<int> chosen, std::vector<std::string> left) {
        std::vector<std::string> before = e2e_list_items(list);
        for (size_t i = 0; i < chosen.size(); i++) click_row(chosen[i], i > 0);
        ASSERT_TRUE(e2e_wait_until([&] { return selected() == chosen; }, 5000));
        e2e_key("Return");
        EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 0; }, 15000)) << "Enter played nothing";
        EXPECT_EQ(selected(), chosen) << "Enter changed the choice";
        e2e_key("Delete");
        EXPECT_TRUE(e2e_wait_until([&] { return e2e_list_items(list) == left; }, 5000))
            << e2e_list_items(list).size() << " rows left of " << before.size();
    };
    enter_then_delete({6}, {"0.avi", "1.avi", "2.avi", "3.avi", "4.avi", "5.avi", "7.avi", "8.avi", "9.avi"});
    enter_then_delete({2, 4}, {"0.avi", "1.avi", "3.avi", "5.avi", "7.avi", "8.avi", "9.avi"});
    enter_then_delete({6}, {"0.avi", "1.avi", "3.avi", "5.avi", "7.avi", "8.avi"});
    close_player(&program, viewer);
}
