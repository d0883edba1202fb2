// The player at the display's scale: run by at_dpi.sh once for each DPI, in
// a Wine prefix of its own whose LogPixels is that DPI.
#include <math.h>

#include "../../ui/art.h"
#include "viewer_steps.h"

namespace {

using namespace strip;

// The display's scale as the test sees it, which must be the DPI the run set.
double display_scale() {
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    const char* asked = getenv("TAVLIN_SCALE_DPI");
    if (asked) {
        EXPECT_EQ(dpi, atoi(asked)) << "the prefix's LogPixels did not take";
    }
    return dpi / 96.0;
}

int px(double v, double s) { return static_cast<int>(floor(v * s + 0.5)); }
// The middle pixel of skin unit u, where a user aims at it.
int mid(int u, double s) { return (px(u, s) + px(u + 1, s) - 1) / 2; }
void press_at(HWND player, POINT skin, double s) { click(player, mid(skin.x, s), mid(skin.y, s)); }

// Rows from first to last holding a cyan pixel, in an area of a picture.
int cyan_rows(const std::vector<uint32_t>& p, int stride, RECT area) {
    int first = -1, last = -1;
    for (int y = area.top; y < area.bottom; y++)
        for (int x = area.left; x < area.right; x++)
            if (green(p[y * stride + x]) > 150 && blue(p[y * stride + x]) > 150 && red(p[y * stride + x]) < 100) {
                if (first < 0) first = y;
                last = y;
                break;
            }
    return first < 0 ? 0 : last - first + 1;
}

// The height of a text in cyan on navy, Arial of 11 pixels, drawn here by GDI.
int text_rows_at_96(const char* text) {
    const int w = 200, h = 40;
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
    RECT all = {0, 0, w, h};
    HBRUSH navy = CreateSolidBrush(RGB(18, 34, 92));
    FillRect(dc, &all, navy);
    HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, DEFAULT_QUALITY, 0, "Arial");
    HGDIOBJ old_font = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 255, 255));
    TextOutA(dc, 2, 4, text, static_cast<int>(strlen(text)));
    GdiFlush();
    std::vector<uint32_t> p(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + w * h);
    SelectObject(dc, old_font);
    SelectObject(dc, old_bitmap);
    DeleteObject(font);
    DeleteObject(navy);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return cyan_rows(p, w, all);
}

// The centre column of the dark volume knob on a row of the face above the
// groove, where only the knob is dark, or -1.
int volume_knob(HWND player, double s) {
    int w, h, sum = 0, n = 0, row = px(53, s);
    std::vector<uint32_t> shot = e2e_capture_client(player, &w, &h);
    for (int x = px(345, s); x < px(450, s) && row < h && x < w; x++) {
        uint32_t p = shot[row * w + x];
        if (red(p) + green(p) + blue(p) < 240) sum += x, n++;
    }
    return n ? sum / n : -1;
}

// Pixels of a shot of the strip farther than one level from a picture of the
// face, outside the places of the two knobs (a knob's rows, over the whole
// track it travels). With `first`, where the first of them is.
int differences(const std::vector<uint32_t>& shot, int w, int h, const Surface& face, double s,
                POINT* first = nullptr) {
    RECT seek = {px(179, s), px(88, s), px(194, s), px(110, s)};
    RECT volume = {px(355, s), px(50, s), px(449, s), px(72, s)};
    int n = 0;
    for (int y = 0; y < h && y < face.height; y++)
        for (int x = 0; x < w && x < face.width; x++) {
            POINT p = {x, y};
            if (PtInRect(&seek, p) || PtInRect(&volume, p)) continue;
            uint32_t a = shot[y * w + x], b = face.pixels[y * face.stride + x];
            if (abs(red(a) - red(b)) > 1 || abs(green(a) - green(b)) > 1 || abs(blue(a) - blue(b)) > 1) {
                if (first && n == 0) *first = p;
                n++;
            }
        }
    return n;
}

// The viewer moved up out of the strip's way: where the screen has no room
// for both, the window manager may stack the viewer over the strip.
void clear_the_strip(HWND viewer, HWND player) {
    RECT v, p;
    GetWindowRect(viewer, &v);
    GetWindowRect(player, &p);
    SetWindowPos(viewer, nullptr, v.left, p.top - (v.bottom - v.top), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The strip on the screen is the skin's face drawn at scale s, to a level;
// and where s is not 1, no stretch of the face drawn at 1 comes near it.
void expect_artwork_at(HWND viewer, HWND player, double s) {
    clear_the_strip(viewer, player);
    Surface skin = {};
    ASSERT_TRUE(ui_draw_skin(&skin, s));
    ASSERT_TRUE(gfx_surface_lock(&skin, 0));
    int w = 0, h = 0;
    std::vector<uint32_t> shot;
    // Wine may bring a paint to the screen in parts: wait for the whole strip.
    e2e_wait_until([&] {
        shot = e2e_capture_client(player, &w, &h);
        return w == px(480, s) && h == px(156, s) && differences(shot, w, h, skin, s) == 0;
    }, 5000);
    EXPECT_EQ(w, px(480, s));
    EXPECT_EQ(h, px(156, s));
    POINT at = {-1, -1};
    EXPECT_EQ(differences(shot, w, h, skin, s, &at), 0) << "the strip is not the artwork at " << s << " from " << at.x
                                                        << "," << at.y;
    if (s != 1) {
        for (int mode : {GFX_RESIZE_NEAREST, GFX_RESIZE_SMOOTH}) {
            Surface stretched = {};
            ASSERT_TRUE(ui_draw_skin(&stretched, 1));
            ASSERT_TRUE(gfx_surface_resize(&stretched, skin.width, skin.height, mode));
            ASSERT_TRUE(gfx_surface_lock(&stretched, 0));
            EXPECT_GT(differences(shot, w, h, stretched, s), w * h / 50) << "a stretch passes as the artwork, mode " << mode;
            gfx_surface_release(&stretched, 0);
        }
    }
    gfx_surface_release(&skin, 0);
}

// WM_DPICHANGED as the system sends it when a window reaches a display of
// another DPI: its suggested rectangle lies at the same address in the
// program and here, whichever side Wine reads it on.
LRESULT send_dpi_changed(DWORD pid, HWND window, int dpi, RECT suggested) {
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return -1;
    // A free page at one address in both processes, among addresses either
    // kind of build can reach.
    void* here = nullptr;
    void* there = nullptr;
    for (uintptr_t at = 0x30000000; at < 0x70000000 && !there; at += 0x00100000) {
        here = VirtualAlloc(reinterpret_cast<void*>(at), 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        there = here ? VirtualAllocEx(process, here, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE) : nullptr;
        if (here && !there) VirtualFree(here, 0, MEM_RELEASE);
    }
    LRESULT result = -1;
    if (there) {
        *static_cast<RECT*>(here) = suggested;
        WriteProcessMemory(process, there, &suggested, sizeof suggested, nullptr);
        result = SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(there));
        VirtualFreeEx(process, there, 0, MEM_RELEASE);
        VirtualFree(here, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return result;
}

// A rectangle of w x h centred on the screen.
RECT centred(int w, int h) {
    int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    return RECT{x, y, x + w, y + h};
}

// The player started without a file, its viewer and its shown strip; null
// when either does not come.
HWND start_idle(E2eProgram* program, HWND* player) {
    HWND viewer = start_player(program, "");
    *player = viewer ? e2e_wait_window(program->pid, "tavlin_player", nullptr, 10000) : nullptr;
    if (!*player || !e2e_wait_until([&] { return IsWindowVisible(*player) != 0; }, 5000)) return nullptr;
    return viewer;
}

}  // namespace

TEST(Scale, TheStripAndTheViewerTakeTheScaleAndTheControlsActAtTheirScaledPlaces) {
    const double s = display_scale();
    E2eProgram program;
    HWND viewer = start_playing(&program, clip("steps.avi"), 1);
    ASSERT_TRUE(viewer);
    HWND player = e2e_find_window(program.pid, "tavlin_player");
    ASSERT_TRUE(player && e2e_wait_until([&] { return IsWindowVisible(player) != 0; }, 5000));
    RECT c, v;
    GetClientRect(player, &c);
    EXPECT_EQ(c.right, px(480, s));
    EXPECT_EQ(c.bottom, px(156, s));
    GetWindowRect(viewer, &v);
    EXPECT_EQ(v.right - v.left, px(512, s));
    EXPECT_EQ(v.bottom - v.top, px(288, s));

    press_at(player, PAUSE, s);
    ASSERT_TRUE(e2e_wait_until([&] { return clock_holds(viewer); }, 5000));
    // The file's name in the text area, in a font s times the height of 96 DPI's.
    int w, h;
    std::vector<uint32_t> shot = e2e_capture_client(player, &w, &h);
    ASSERT_EQ(w, px(480, s));
    int rows = cyan_rows(shot, w, RECT{px(2, s), px(122, s), px(382, s), px(154, s)}), at_96 = text_rows_at_96(" steps.avi");
    ASSERT_GT(at_96, 5);
    EXPECT_NEAR(rows, s * at_96, 1 + 0.15 * s * at_96) << "the text is " << rows << " rows high, " << at_96 << " at 96 DPI";

    click(player, mid(303, s), mid(SEEK_BAR_ROW, s));  // the middle of the seek bar: half of 12 s
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) == 6; }, 3000)) << e2e_text(viewer);
    press_at(player, PLAY, s);
    EXPECT_TRUE(clock_runs(viewer, 5000)) << e2e_text(viewer);

    // The volume knob comes under the pointer, within a skin unit's pixels,
    // the track's last column included.
    e2e_run_unix("xdotool mousemove 0 0", 10000);
    for (int x : {363, 401, 439}) {
        int at = mid(x, s);
        click(player, at, mid(60, s));
        EXPECT_TRUE(e2e_wait_until([&] { return abs(volume_knob(player, s) - at) <= s; }, 2000))
            << "pressed at " << at << ", knob at " << volume_knob(player, s);
    }

    hand_over(clip("red.avi"));
    press_at(player, NEXT, s);
    EXPECT_TRUE(top_shows(viewer, is_red, 15000));
    close_player(&program, viewer);
}

TEST(Scale, TheStripShowsTheArtworkDrawnAtItsScaleAndAtANewOneAfterAMove) {
    const double s = display_scale();
    E2eProgram program;
    HWND player = nullptr, viewer = start_idle(&program, &player);
    ASSERT_TRUE(viewer && player);
    e2e_run_unix("xdotool mousemove 0 0", 10000);  // no tooltip over the strip
    expect_artwork_at(viewer, player, s);

    // Moved to a display of twice the DPI (or back to 96 from one of 192 and more).
    const double to = s >= 2 ? 1 : 2;
    EXPECT_EQ(send_dpi_changed(program.pid, player, px(96, to), centred(px(480, to), px(156, to))), 0);
    expect_artwork_at(viewer, player, to);
    RECT suggested = centred(px(512, to), px(288, to)), v;
    send_dpi_changed(program.pid, viewer, px(96, to), suggested);
    GetWindowRect(viewer, &v);
    EXPECT_TRUE(EqualRect(&v, &suggested)) << "the viewer did not take the suggested place";
    close_player(&program, viewer);
}

TEST(Scale, TheLogoTheListAndTheDialogsAreDrawnAtTheScale) {
    const double s = display_scale();
    E2eProgram program;
    HWND player = nullptr, viewer = start_idle(&program, &player);
    ASSERT_TRUE(viewer && player);
    hide_player(&program, viewer);
    // The logo at its own size at the scale, on black, in the middle row.
    RECT client;
    GetClientRect(viewer, &client);
    int logo = 0;
    e2e_wait_until([&] {
        int w, h;
        std::vector<uint32_t> shot = e2e_capture_client(viewer, &w, &h);
        logo = 0;
        for (int x = 0; x < w && h > 0; x++) logo += shot[(h / 2) * w + x] != 0;
        return abs(logo - px(320, s)) <= 1;
    }, 5000);
    EXPECT_NEAR(logo, px(320, s), 1) << "the logo's width in the viewer";

    hand_over(clip("hues.avi"));
    hand_over(clip("steps.avi"));
    HWND list = open_playlist(&program, viewer);
    ASSERT_TRUE(list);
    EXPECT_EQ(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0), px(24, s));
    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 2);
    HWND about = nullptr;
    PostMessageA(viewer, WM_COMMAND, 40005, 0);
    about = e2e_wait_window(program.pid, "#32770", "About " TITLE, 10000);
    ASSERT_TRUE(about);
    GetClientRect(about, &client);
    EXPECT_EQ(client.right, px(320, s));
    EXPECT_EQ(client.bottom, px(270, s));
    PostMessageA(about, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(e2e_wait_until([&] { return !IsWindow(about); }, 5000));

    // The Control Panel scales as the system scales dialogs: every control
    // inside the window, none over another but inside its group, no text cut.
    HWND panel = open_controls(&program, viewer);
    ASSERT_TRUE(panel);
    GetClientRect(panel, &client);
    std::vector<HWND> children;
    for (HWND c = GetWindow(panel, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
    ASSERT_GE(children.size(), 5u);
    auto rect_of = [&](HWND c) {
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    auto is_group = [](HWND c) { return (GetWindowLongA(c, GWL_STYLE) & 0xF) == BS_GROUPBOX; };
    // The dialog's own font as the system makes it: 8 points at the display's DPI.
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontA(-MulDiv(8, px(96, s), 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                             "MS Sans Serif");
    HGDIOBJ old_font = SelectObject(dc, font);
    for (HWND a : children) {
        RECT r = rect_of(a), both;
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
            << e2e_text(a) << " is cut by the window's edge";
        char text[64] = "";
        GetWindowTextA(a, text, sizeof text);
        SIZE extent = {};
        GetTextExtentPoint32A(dc, text, static_cast<int>(strlen(text)), &extent);
        if (text[0] && !is_group(a)) {
            EXPECT_LE(extent.cx, r.right - r.left) << "\"" << text << "\" is cut";
        }
        for (HWND b : children)
            if (a < b && !is_group(a) && !is_group(b)) {
                RECT rb = rect_of(b);
                EXPECT_FALSE(IntersectRect(&both, &r, &rb)) << e2e_text(a) << " lies over " << e2e_text(b);
            }
    }
    SelectObject(dc, old_font);
    DeleteObject(font);
    DeleteDC(dc);
    PostMessageA(panel, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(e2e_wait_until([&] { return !IsWindow(panel); }, 5000));
    close_player(&program, viewer);
}
