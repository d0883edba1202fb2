// What a launch may name besides a media file: a folder, and playlists that
// other players write.
#include <algorithm>

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
