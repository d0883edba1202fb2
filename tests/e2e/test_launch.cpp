// What a launch may name besides a media file.
#include <algorithm>

#include "viewer_steps.h"

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
