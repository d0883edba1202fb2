// Playlists to and from other players, and a folder named at launch.
#include <algorithm>
#include <fstream>
#include <iterator>

#include "viewer_steps.h"

namespace {

// file:///Z:/... as other players under this system write it: the build
// machine's path behind drive Z, with spaces escaped.
std::string file_url(const std::string& windows_path) {
    std::string url = "file:///Z:";
    for (char c : e2e_unix_path(windows_path)) url += c == ' ' ? std::string("%20") : std::string(1, c);
    return url;
}

}  // namespace

TEST(Launch, AnXspfFromAnotherPlayerLoadsAndPlaysInOrder) {
    std::string dir = e2e_scratch_dir("launch-xspf");
    std::string green = copy_clip("green.wmv", dir + "\\green clip.wmv");
    std::string red = copy_clip("red.avi", dir + "\\red.avi");
    std::string list = e2e_make_file(
        dir + "\\list.xspf",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">\n"
        "  <trackList>\n"
        "    <track><location>" + file_url(green) + "</location><title>Green</title></track>\n"
        "    <track><location>" + file_url(red) + "</location><title>Red</title></track>\n"
        "  </trackList>\n</playlist>\n");
    E2eProgram program;
    HWND viewer = start_player(&program, ::quoted(list));
    ASSERT_TRUE(viewer);
    hide_player(&program, viewer);
    EXPECT_TRUE(top_shows(viewer, is_green, 15000));
    PostMessageA(viewer, WM_COMMAND, 40013, 0);  // Go To Next Track
    EXPECT_TRUE(top_shows(viewer, is_red, 15000));
    // The playlist window covers the middle of the video: opened last.
    HWND rows = open_playlist(&program, viewer);
    EXPECT_EQ(e2e_list_items(rows), (std::vector<std::string>{"green clip.wmv", "red.avi"}));
    close_player(&program, viewer);
}

// A folder named at launch is imported as a drop is and its first file
// plays; a second launch with a folder hands it to the running copy.
TEST(Launch, AFolderPlaysAndASecondLaunchHandsItsFolderOver) {
    std::string dir = e2e_scratch_dir("launch-folder");
    CreateDirectoryA((dir + "\\first").c_str(), nullptr);
    CreateDirectoryA((dir + "\\second").c_str(), nullptr);
    CreateDirectoryA((dir + "\\second\\inner").c_str(), nullptr);
    copy_clip("green.wmv", dir + "\\first\\green.wmv");
    copy_clip("red.avi", dir + "\\second\\red.avi");
    copy_clip("steps.avi", dir + "\\second\\inner\\steps.avi");
    E2eProgram program;
    HWND viewer = start_player(&program, ::quoted(dir + "\\first\\"));
    ASSERT_TRUE(viewer);
    hide_player(&program, viewer);
    EXPECT_TRUE(top_shows(viewer, is_green, 15000));
    HWND rows = open_playlist(&program, viewer);

    hand_over(dir + "\\second");
    std::vector<std::string> got;
    e2e_wait_until([&] { return (got = e2e_list_items(rows)).size() >= 3; }, 15000);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], "green.wmv");
    std::sort(got.begin() + 1, got.end());
    EXPECT_EQ(got, (std::vector<std::string>{"green.wmv", "red.avi", "steps.avi"}));
    close_player(&program, viewer);
}

// Save offers M3U8 beside M3U: choosing it gives the name its extension, and
// the file holds the paths in UTF-8.
TEST(Launch, SaveWritesUtf8WhenM3u8IsChosen) {
    std::string dir = e2e_scratch_dir("save-m3u8");
    E2eProgram program;
    HWND viewer = start_player(&program, ::quoted(copy_clip("red.avi", dir + "\\caf\xE9.avi")));
    ASSERT_TRUE(viewer);
    HWND list = open_playlist(&program, viewer);
    ASSERT_TRUE(list);
    PostMessageA(GetParent(list), WM_COMMAND, 40022, 0);
    HWND save = e2e_wait_window(program.pid, "#32770", "Save Playlist", 10000);
    ASSERT_TRUE(save);
    HWND types = GetDlgItem(save, 0x470);
    ASSERT_EQ(SendMessageA(types, CB_SETCURSEL, 1, 0), 1) << "no second type";
    for (WORD notice : {CBN_SELCHANGE, CBN_SELENDOK})  // as a choice with the mouse sends them
        SendMessageA(save, WM_COMMAND, MAKEWPARAM(0x470, notice), reinterpret_cast<LPARAM>(types));
    HWND name = GetDlgItem(save, 0x47C);  // the file name field: a combo box
    if (!name) name = GetDlgItem(save, 0x480);  // or an edit, in the older layout
    ASSERT_TRUE(name);
    std::string target = dir + "\\saved";
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(target.c_str()));
    e2e_press(save, IDOK);
    std::string bytes;
    EXPECT_TRUE(e2e_wait_until([&] {
        std::ifstream in(target + ".m3u8", std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return !bytes.empty();
    }, 10000));
    EXPECT_EQ(bytes, "#EXTM3U\r\n" + dir + "\\caf\xC3\xA9.avi\r\n");
    close_player(&program, viewer);
}
