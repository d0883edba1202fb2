// The player's choice of Wine's Direct3D renderer, seen from outside: with
// nothing set it plays on the GDI renderer without Wine's command thread, the
// frame still fitted and smoothed as the Control Panel's bar sets it; a setting
// of the user's own is kept; and a DirectDraw that cannot be loaded is named in
// the error report.
#include "viewer_steps.h"

namespace {

const char D3D_KEY[] = "Software\\Wine\\Direct3D";

// Sets a value (or deletes it, for null) under HKEY_CURRENT_USER, which
// Wine reads in programs started from now on.
void set_value(const std::string& key_name, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_name.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    if (data)
        RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    else
        RegDeleteValueA(key, name);
    RegCloseKey(key);
}

// Nothing chosen for Wine's Direct3D, neither in the registry nor in the
// environment the player inherits; so again when the test ends, however it
// ends, with the programs' own keys it made removed.
struct NothingChosen {
    std::vector<std::string> made;  // innermost first
    NothingChosen() { clear(); }
    ~NothingChosen() {
        clear();
        for (const std::string& key : made) RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
    }
    void clear() {
        set_value(D3D_KEY, "renderer", REG_SZ, nullptr, 0);
        set_value(D3D_KEY, "csmt", REG_DWORD, nullptr, 0);
        SetEnvironmentVariableA("WINE_D3D_CONFIG", nullptr);
    }
};

const DWORD CSMT_ON = 1;

struct Direct3D {
    int command_threads = -1;  // Wine's Direct3D command threads; -1: process not found
    int gl_libraries = -1;     // OpenGL libraries mapped into the process
};

// Read from the build machine's side: the threads' names and the mapped
// files of the process whose command line holds `token` (the "[.]" keeps
// the shell that looks from matching itself).
Direct3D direct3d_of(const std::string& token) {
    std::string out = e2e_unix_output("p=$(pgrep -f '" + token + "[.]' | head -n 1); if test -d /proc/$p/task; then "
                                      "echo $(cat /proc/$p/task/*/comm 2>/dev/null | grep -c -x wined3d_cs) "
                                      "$(grep -c -E 'libGL|swrast|gallium' /proc/$p/maps); fi",
                                      10000);
    Direct3D d;
    if (sscanf(out.c_str(), "%d %d", &d.command_threads, &d.gl_libraries) != 2) d = Direct3D();
    return d;
}

// Rows of the middle column near the top that are neither the blue band nor
// the red below: how far the band's edge is smeared.
int smeared(HWND viewer) {
    int w, h, n = 0;
    std::vector<uint32_t> shot = e2e_capture_client(viewer, &w, &h);
    for (int y = 5; y < 60 && y < h; y++) n += !is_red(shot[y * w + w / 2]) && !is_blue(shot[y * w + w / 2]);
    return n;
}

}  // namespace

TEST(Renderers, WithNothingChosenThePlayerTakesTheGdiRendererWithoutCommandThread) {
    NothingChosen nothing;
    std::string name = unique_name("gdi");
    std::string path = copy_clip("banded.avi", e2e_scratch_dir("renderers") + "\\" + name + ".avi");
    E2eProgram program;
    HWND viewer = start_playing(&program, path, 1);
    ASSERT_TRUE(viewer);
    // Playing means DirectDraw and its Direct3D device exist by now.
    Direct3D d = direct3d_of(name);
    EXPECT_EQ(d.command_threads, 0);
    EXPECT_EQ(d.gl_libraries, 0);

    // The GDI renderer has no video memory to give: the frame still reaches
    // the viewer fitted, and smoothed.
    hide_player(&program, viewer);
    int w = 0, h = 0;
    expect_banded_fitted(viewer, &w, &h);
    // Smoothing off leaves the band's edge sharp; at its strongest it smears it.
    // The Control Panel's bar takes places that follow the level, its arrows
    // clicked for real, and Cancel keeps the level.
    HWND panel = open_controls(&program, viewer);
    ASSERT_TRUE(panel);
    HWND bar = GetDlgItem(panel, 1005);
    auto place = [&] { return SendMessageA(bar, SBM_GETPOS, 0, 0); };
    EXPECT_EQ(place(), 100);
    PostMessageA(panel, WM_HSCROLL, SB_LEFT, reinterpret_cast<LPARAM>(bar));
    int sharp = 99;
    EXPECT_TRUE(e2e_wait_until([&] { return (sharp = smeared(viewer)) <= 3; }, 3000)) << sharp;
    PostMessageA(panel, WM_HSCROLL, SB_RIGHT, reinterpret_cast<LPARAM>(bar));
    EXPECT_TRUE(e2e_wait_until([&] { return smeared(viewer) >= sharp + 3; }, 8000)) << smeared(viewer);
    EXPECT_TRUE(e2e_wait_until([&] { return place() == 191; }, 3000)) << "the last place, for the level of 200";
    // Right sets 192 from the bar's 191, shown at 191 still; left then sets 190.
    RECT r;
    GetClientRect(bar, &r);
    click(bar, r.right - 4, r.bottom / 2);
    click(bar, 4, r.bottom / 2);
    EXPECT_TRUE(e2e_wait_until([&] { return place() == 190; }, 3000));
    e2e_press(panel, IDCANCEL);
    EXPECT_TRUE(e2e_wait_until([&] { return !IsWindow(panel); }, 3000));
    ASSERT_TRUE(panel = open_controls(&program, viewer));
    EXPECT_EQ(SendMessageA(GetDlgItem(panel, 1005), SBM_GETPOS, 0, 0), 190) << "Cancel kept the level";
    close_player(&program, viewer);
}

TEST(Renderers, AUsersOwnDirect3DSettingIsKept) {
    NothingChosen nothing;
    std::string dir = e2e_scratch_dir("renderers-own");
    std::string name = unique_name("own");
    std::string path = copy_clip("banded.avi", dir + "\\" + name + ".avi");
    // The user's command thread, for all programs.
    {
        set_value(D3D_KEY, "csmt", REG_DWORD, &CSMT_ON, sizeof CSMT_ON);
        E2eProgram program;
        HWND viewer = start_playing(&program, path, 1);
        EXPECT_TRUE(viewer);
        EXPECT_TRUE(e2e_wait_until([&] { return direct3d_of(name).command_threads == 1; }, 5000))
            << direct3d_of(name).command_threads;
        nothing.clear();
        if (viewer) close_player(&program, viewer);
    }
    // The same for this program alone, under whatever name its file has.
    std::string renamed = unique_name("renamed");
    std::string exe = dir + "\\" + renamed + ".exe";
    ASSERT_TRUE(CopyFileA(e2e_program_path().c_str(), exe.c_str(), FALSE));
    std::string app_key = "Software\\Wine\\AppDefaults\\" + renamed + ".exe";
    nothing.made = {app_key + "\\Direct3D", app_key};
    set_value(nothing.made[0], "csmt", REG_DWORD, &CSMT_ON, sizeof CSMT_ON);
    E2eProgram program;
    EXPECT_TRUE(e2e_start_program(&program, exe, e2e_wide(::quoted(path))));
    HWND viewer = e2e_wait_window(program.pid, "tavlin_viewer", nullptr, 30000);
    EXPECT_TRUE(viewer && e2e_wait_until([&] { return title_seconds(viewer) >= 1; }, 15000));
    EXPECT_TRUE(e2e_wait_until([&] { return direct3d_of(renamed).command_threads == 1; }, 5000))
        << direct3d_of(renamed).command_threads;
    if (viewer) close_player(&program, viewer);
}

TEST(Renderers, ADirectDrawThatCannotBeLoadedIsNamedInTheErrorReport) {
    // Wine's own switch for one program's libraries: empty, it never loads it.
    NothingChosen nothing;
    nothing.made = {"Software\\Wine\\AppDefaults\\tavlin.exe\\DllOverrides", "Software\\Wine\\AppDefaults\\tavlin.exe"};
    set_value(nothing.made[0], "ddraw", REG_SZ, "", 1);
    E2eProgram program;
    HWND viewer = start_player(&program, quoted(clip("banded.avi")));
    ASSERT_TRUE(viewer);
    std::string text;
    ASSERT_TRUE(answer_box(&program, "Media Engine Error", IDOK, &text));
    EXPECT_NE(text.find("ddraw.dll"), std::string::npos) << text;
    EXPECT_NE(text.find("DirectX Initialization failed"), std::string::npos) << text;
    close_player(&program, viewer);
}
