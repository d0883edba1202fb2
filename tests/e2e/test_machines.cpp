// Machines unlike the test set-up: the player started from the build
// machine's shell with a sound server of its own, or with none at all.
#include "viewer_steps.h"

namespace {

// Starts the player from the shell with the sound server folder given, so
// that it finds that server or none; the program is held by its own handle.
HWND start_from_shell(E2eProgram* program, const std::string& sound_dir, const std::string& argument) {
    std::string command = "(XDG_RUNTIME_DIR='" + sound_dir + "' $WINE '" + e2e_unix_path(e2e_program_path()) + "' '" +
                          argument + "' >/dev/null 2>&1 &)";
    HWND viewer = e2e_run_unix(command, 10000) == 0 ? e2e_wait_window(0, "tavlin_viewer", nullptr, 30000) : nullptr;
    if (!viewer) return nullptr;
    GetWindowThreadProcessId(viewer, &program->pid);
    program->process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, program->pid);
    return viewer;
}

bool answers(HWND window) {
    DWORD_PTR result;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0;
}

}  // namespace

// With no sound server a video plays silently, and a file that holds only
// sound is reported with the reason; a server that ends while a clip plays
// leaves the clip playing and the window answering.
TEST(Machines, WithoutASoundDeviceVideoPlaysSilentlyAndSoundAloneIsExplained) {
    std::string dir = e2e_scratch_dir("machines");
    std::string unix_dir = e2e_unix_path(dir);
    // (a socket left by an earlier run is more than the scratch folder's own clean-up takes away)
    ASSERT_EQ(e2e_run_unix("cd '" + unix_dir + "' && rm -rf none own && mkdir -m 700 none own", 10000), 0);

    // No server at all from the start: [sound alone, a video with sound].
    std::string list = e2e_make_file(dir + "\\list.m3u", clip("tone.wav") + "\r\n" + clip("red.avi") + "\r\n");
    {
        E2eProgram program;
        HWND viewer = start_from_shell(&program, unix_dir + "/none", list);
        ASSERT_TRUE(viewer);
        std::string text;
        ASSERT_TRUE(answer_box(&program, "Media Engine Error", IDOK, &text)) << "no report for the sound file";
        EXPECT_NE(text.find("tone.wav"), std::string::npos) << text;
        EXPECT_NE(text.find("There is no sound output device to play this file's sound."), std::string::npos) << text;
        ASSERT_TRUE(answer_box(&program, "Proceed?", IDYES));
        EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 1; }, 15000)) << e2e_text(viewer);
        EXPECT_TRUE(top_shows(viewer, is_red, 5000)) << "the video is not shown";
        EXPECT_FALSE(e2e_find_window(program.pid, "#32770", "Media Engine Error")) << "the video was refused";
        close_player(&program, viewer);
    }

    // A server of the test's own, ended while the clip plays.
    std::string own = unix_dir + "/own";
    ASSERT_EQ(e2e_run_unix("XDG_RUNTIME_DIR='" + own +
                               "' pulseaudio -D --exit-idle-time=-1 --system=false -n "
                               "--load='module-null-sink sink_name=nullsink' --load=module-native-protocol-unix",
                           20000),
              0);
    std::string pid_file = own + "/pulse/pid";
    // Ended by its pid however the test goes.
    struct ServerEnd {
        std::string pid_file;
        bool ended = false;
        void now() { ended = ended || e2e_run_unix("kill $(cat '" + pid_file + "')", 10000) == 0; }
        ~ServerEnd() { now(); }
    } server{pid_file};
    ASSERT_EQ(e2e_run_unix("for i in $(seq 50); do [ -s '" + pid_file + "' ] || sleep 0.1; done; [ -s '" + pid_file + "' ]",
                           10000),
              0);
    E2eProgram program;
    HWND viewer = start_from_shell(&program, own, clip("long.avi"));
    ASSERT_TRUE(viewer);
    ASSERT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 1; }, 15000)) << e2e_text(viewer);
    server.now();
    EXPECT_TRUE(server.ended);
    std::string before = e2e_text(viewer);
    EXPECT_TRUE(e2e_wait_until([&] { return e2e_text(viewer) != before && title_seconds(viewer) >= 0; }, 5000))
        << "the clock stopped: " << before;
    EXPECT_TRUE(answers(viewer));
    EXPECT_FALSE(e2e_find_window(program.pid, "#32770", "Media Engine Error"));
    close_player(&program, viewer);
}
