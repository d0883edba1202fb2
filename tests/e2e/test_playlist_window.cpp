// The playlist window driven for real: its rows read back from the list box.
#include "viewer_steps.h"

namespace {

HWND dialog_of(HWND list) { return GetParent(list); }

// A real click on a row, with a modifier key held ("shift", "ctrl") or none.
void click_row(HWND list, int index, const std::string& held = "") {
    e2e_pointer(list, 60, 24 * index + 12, held.empty() ? "click 1" : "keydown " + held + " click 1 keyup " + held);
}

}  // namespace

TEST(PlaylistWindow, RowsCommandsDropsAndOneWindow) {
    std::string dir = e2e_scratch_dir("playlist-window");
    CreateDirectoryA((dir + "\\more").c_str(), nullptr);
    for (const char* name : {"b.avi", "c.avi", "a.avi"}) copy_clip("red.avi", dir + "\\more\\" + name);
    std::string first = copy_clip("red.avi", dir + "\\caf\xE9.avi");
    E2eProgram program;
    HWND viewer = start_playing(&program, first, 0);
    ASSERT_TRUE(viewer);
    HWND list = open_playlist(&program, viewer);
    ASSERT_TRUE(list);
    HWND dialog = dialog_of(list);
    auto rows = [&] { return e2e_list_items(list); };
    auto command = [&](int id) { PostMessageA(dialog, WM_COMMAND, id, 0); };

    // Save offers M3U8 beside M3U: choosing it gives the name its extension,
    // and the file holds the paths in UTF-8.
    command(40022);
    HWND save = e2e_wait_window(program.pid, "#32770", "Save Playlist", 10000);
    ASSERT_TRUE(save);
    HWND types = GetDlgItem(save, 0x470), name = file_name_field(save);
    ASSERT_EQ(SendMessageA(types, CB_SETCURSEL, 1, 0), 1) << "no second type";
    for (WORD notice : {CBN_SELCHANGE, CBN_SELENDOK})  // as a choice with the mouse sends them
        SendMessageA(save, WM_COMMAND, MAKEWPARAM(0x470, notice), reinterpret_cast<LPARAM>(types));
    ASSERT_TRUE(name);
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>((dir + "\\saved").c_str()));
    e2e_press(save, IDOK);
    std::string bytes;
    EXPECT_TRUE(e2e_wait_until([&] { return !(bytes = e2e_read_file(dir + "\\saved.m3u8")).empty(); }, 10000));
    EXPECT_EQ(bytes, "#EXTM3U\r\n" + dir + "\\caf\xC3\xA9.avi\r\n");
    // Saving closes the window; asked for again, it is the same one.
    EXPECT_EQ(open_playlist(&program, viewer), list);
    ASSERT_TRUE(e2e_wait_until([&] { return IsWindowVisible(dialog) != 0; }, 5000));

    // A drop appends, folders to their depth; the current entry stays.
    ASSERT_TRUE(e2e_drop(dialog, {dir + "\\more"}));
    EXPECT_TRUE(e2e_wait_until([&] { return rows().size() == 4; }, 10000));
    EXPECT_EQ(rows()[0], "caf\xE9.avi");
    command(40016);  // Sort by Name: "c." before "ca"
    const std::vector<std::string> sorted = {"a.avi", "b.avi", "c.avi", "caf\xE9.avi"};
    EXPECT_TRUE(e2e_wait_until([&] { return rows() == sorted; }, 5000));
    // Randomize is the shuffle test's: these rows could not tell it from no change.
    // Rows 1 and 2 chosen with the pointer, removed with the Delete key.
    click_row(list, 1);
    click_row(list, 2, "shift");
    e2e_key("Delete");
    EXPECT_TRUE(e2e_wait_until([&] { return rows() == std::vector<std::string>{"a.avi", "caf\xE9.avi"}; }, 5000));

    // A double-click on a row plays it.
    ASSERT_TRUE(stop_playing(viewer));
    e2e_pointer(list, 60, 24 + 12, "sleep 0.3 click --repeat 2 --delay 80 1");
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 0; }, 15000))
        << "nothing plays; row 1 selected: " << SendMessageA(list, LB_GETSEL, 1, 0) << ", in front "
        << (GetForegroundWindow() == dialog);

    // Enter plays the chosen row; Escape closes the window.
    ASSERT_TRUE(stop_playing(viewer));
    click_row(list, 0);
    e2e_key("Return");
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 0; }, 15000)) << "Enter played nothing";
    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 2) << "Enter went on to the dialog";
    click_row(list, 1);
    e2e_key("Escape");
    EXPECT_TRUE(e2e_wait_until([&] { return !IsWindowVisible(dialog); }, 5000));
    command(40024);  // Clear
    EXPECT_TRUE(e2e_wait_until([&] { return rows().empty(); }, 5000));
    close_player(&program, viewer);
}

// A list too long to keep whole, given at start-up, chosen alone in the Open
// dialog, and a folder of 20,000 files dropped on the emptied playlist window:
// each import keeps the first 4096 files and says at once, once, how many it
// left out; all of them chosen and removed go; a later import that fits
// repeats no count.
TEST(PlaylistWindow, ImportsTooLongKeepTheFirstFilesAndTellOnceHowManyWereLeft) {
    std::string dir = e2e_scratch_dir("playlist-full"), many = dir + "\\many";
    CreateDirectoryA(many.c_str(), nullptr);
    // 20,000 files, made from the build machine's side in a moment.
    ASSERT_EQ(e2e_run_unix("cd '" + e2e_unix_path(many) + "' && seq 0 19999 | sed 's/$/.avi/' | xargs touch", 60000), 0);
    std::string clip_path = copy_clip("red.avi", dir + "\\red.avi"), text = "#EXTM3U\r\n";
    for (int i = 0; i < 5000; i++) text += clip_path + "\r\n";
    std::string long_list = e2e_make_file(dir + "\\long.m3u", text);
    auto told = [](E2eProgram* program, const char* count) {
        HWND box = e2e_wait_window(program->pid, "#32770", "Playlist Full", 30000);
        if (!box) return ::testing::AssertionFailure() << "not told";
        std::string said = e2e_box_text(box);
        e2e_press(box, IDOK);
        if (!e2e_wait_until([&] { return !IsWindow(box); }, 10000)) return ::testing::AssertionFailure() << "stays";
        if (said.find(std::string(count) + " files were not added") == std::string::npos)
            return ::testing::AssertionFailure() << said;
        return ::testing::AssertionSuccess();
    };

    E2eProgram program;
    HWND viewer = start_player(&program, ::quoted(long_list));
    ASSERT_TRUE(viewer);
    EXPECT_TRUE(told(&program, "904")) << "from the command line";
    HWND dialog = nullptr, name = open_files_name_field(&program, viewer, &dialog);
    ASSERT_TRUE(name);
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(long_list.c_str()));
    e2e_press(dialog, IDOK);
    EXPECT_TRUE(told(&program, "904")) << "from the Open dialog";

    // Stopped, so that nothing of the folder is opened meanwhile.
    ASSERT_TRUE(stop_playing(viewer));
    HWND list = open_playlist(&program, viewer);
    ASSERT_TRUE(list);
    PostMessageA(dialog_of(list), WM_COMMAND, 40024, 0);  // Clear
    ASSERT_TRUE(e2e_wait_until([&] { return SendMessageA(list, LB_GETCOUNT, 0, 0) == 0; }, 5000));
    DWORD start = GetTickCount();
    ASSERT_TRUE(e2e_drop(dialog_of(list), {many}));
    EXPECT_TRUE(told(&program, "15904")) << "from the dropped folder";
    printf("20000 files dropped, told after %lu ms\n", static_cast<unsigned long>(GetTickCount() - start));
    EXPECT_TRUE(e2e_wait_until([&] { return SendMessageA(list, LB_GETCOUNT, 0, 0) == 4096; }, 10000));
    // Every row chosen and removed: the whole list goes, not its first 1024 rows.
    SendMessageA(list, LB_SETSEL, TRUE, -1);
    PostMessageA(dialog_of(list), WM_COMMAND, 40019, 0);  // Remove
    EXPECT_TRUE(e2e_wait_until([&] { return SendMessageA(list, LB_GETCOUNT, 0, 0) == 0; }, 10000))
        << SendMessageA(list, LB_GETCOUNT, 0, 0) << " rows left";

    // A drop that fits: it plays, and no count from before comes with it.
    ASSERT_TRUE(e2e_drop(viewer, {clip_path}));
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 0; }, 15000)) << e2e_text(viewer);
    EXPECT_FALSE(e2e_wait_window(program.pid, "#32770", "Playlist Full", 1500)) << "a count told again";
    close_player(&program, viewer);
}

// A folder named at launch is imported as a drop is and plays. Enter plays
// the first chosen row and leaves the choice as it was: a Delete after it
// removes what the user chose, nothing more. A single row, rows chosen with
// Ctrl, and the last row.
TEST(PlaylistWindow, EnterKeepsTheChoiceSoDeleteRemovesOnlyIt) {
    std::string dir = e2e_scratch_dir("playlist-enter");
    CreateDirectoryA((dir + "\\ten").c_str(), nullptr);
    for (int i = 0; i < 10; i++) copy_clip("red.avi", dir + "\\ten\\" + std::to_string(i) + ".avi");
    E2eProgram program;
    HWND viewer = start_player(&program, quoted(dir + "\\ten\\"));
    ASSERT_TRUE(viewer);
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 0; }, 15000)) << "the folder does not play";
    HWND list = open_playlist(&program, viewer);
    ASSERT_TRUE(list);
    ASSERT_TRUE(e2e_wait_until([&] { return e2e_list_items(list).size() == 10; }, 10000));
    auto selected = [&] {
        std::vector<int> rows;
        for (int i = 0; i < SendMessageA(list, LB_GETCOUNT, 0, 0); i++)
            if (SendMessageA(list, LB_GETSEL, i, 0) > 0) rows.push_back(i);
        return rows;
    };
    auto enter_then_delete = [&](std::vector<int> chosen, std::vector<std::string> left) {
        std::vector<std::string> before = e2e_list_items(list);
        for (size_t i = 0; i < chosen.size(); i++) click_row(list, chosen[i], i > 0 ? "ctrl" : "");
        ASSERT_TRUE(e2e_wait_until([&] { return selected() == chosen; }, 5000));
        PostMessageA(viewer, WM_COMMAND, 40004, 0);  // stopped, so that what Enter plays shows
        ASSERT_TRUE(e2e_wait_until([&] { return e2e_text(viewer) == TITLE; }, 5000));
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
