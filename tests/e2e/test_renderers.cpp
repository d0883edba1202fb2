// The video under Wine's GDI renderer for Direct3D, which has no video
// memory to give: the frame still reaches the viewer fitted, and smoothed.
#include <string.h>

#include "viewer_steps.h"

namespace {

// The renderer Wine's Direct3D takes in programs started from now on; null
// goes back to its default.
void set_renderer(const char* name) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Direct3D", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    if (name)
        RegSetValueExA(key, "renderer", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                       static_cast<DWORD>(strlen(name) + 1));
    else
        RegDeleteValueA(key, "renderer");
    RegCloseKey(key);
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

TEST(Renderers, UnderTheGdiRendererTheFrameIsFittedAndSmoothed) {
    set_renderer("gdi");
    struct Default {
        ~Default() { set_renderer(nullptr); }
    } back_to_default;
    E2eProgram program;
    HWND viewer = start_playing(&program, clip("banded.avi"), 0);
    ASSERT_TRUE(viewer);
    hide_player(&program, viewer);
    int w = 0, h = 0;
    expect_banded_fitted(viewer, &w, &h);
    // Smoothing off leaves the band's edge sharp; at its strongest it smears it.
    PostMessageA(viewer, WM_COMMAND, 40021, 0);
    HWND panel = e2e_wait_window(program.pid, "#32770", "Controls | " TITLE, 10000);
    ASSERT_TRUE(panel);
    SetWindowPos(panel, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);  // off the video's middle
    HWND bar = GetDlgItem(panel, 1005);
    PostMessageA(panel, WM_HSCROLL, SB_LEFT, reinterpret_cast<LPARAM>(bar));
    int sharp = 99;
    EXPECT_TRUE(e2e_wait_until([&] { return (sharp = smeared(viewer)) <= 3; }, 3000)) << sharp;
    PostMessageA(panel, WM_HSCROLL, SB_RIGHT, reinterpret_cast<LPARAM>(bar));
    EXPECT_TRUE(e2e_wait_until([&] { return smeared(viewer) >= sharp + 3; }, 8000)) << smeared(viewer);
    e2e_press(panel, IDCANCEL);
    EXPECT_TRUE(e2e_wait_until([&] { return !IsWindow(panel); }, 3000));
    close_player(&program, viewer);
}
