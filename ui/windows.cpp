// The window set: classes, creation, the skin surfaces, and window services.
#include "ui.h"

HWND g_viewer_window, g_player_window, g_bubble_window, g_control_panel_window;
Surface g_logo_surface, g_skin_surface, g_player_back_surface;
double g_ui_scale = 1, g_strip_scale = 1;

namespace {

// The viewer's windowed size at 96 DPI, and the size it comes back to from
// full screen, in pixels at its scale.
const int VIEWER_WIDTH = 512, VIEWER_HEIGHT = 288;
int g_saved_width = VIEWER_WIDTH, g_saved_height = VIEWER_HEIGHT;

void register_class(const char* name, UINT style, WNDPROC proc, bool icons, HBRUSH background) {
    WNDCLASSEXA c = {};
    c.cbSize = sizeof c;
    c.style = style;
    c.lpfnWndProc = proc;
    c.hInstance = g_instance;
    if (icons) {
        c.hIcon = LoadIconA(g_instance, MAKEINTRESOURCEA(IDI_PROGRAM));
        c.hIconSm = LoadIconA(g_instance, MAKEINTRESOURCEA(IDI_PROGRAM_SMALL));
    }
    c.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    c.hbrBackground = background;
    c.lpszClassName = name;
    RegisterClassExA(&c);
}

void screen_size(int* w, int* h) {
    HDC desktop = GetDC(nullptr);
    *w = GetDeviceCaps(desktop, HORZRES);
    *h = GetDeviceCaps(desktop, VERTRES);
    ReleaseDC(nullptr, desktop);
}

// When the screen has room for both, the strip sits centred just below the
// viewer and the pair is centred on the screen, so the strip covers no video.
void place_strip_below_viewer() {
    RECT v, p;
    GetWindowRect(g_viewer_window, &v);
    GetWindowRect(g_player_window, &p);
    int sh = GetSystemMetrics(SM_CYSCREEN);
    int vh = v.bottom - v.top, ph = p.bottom - p.top, pw = p.right - p.left;
    if (vh + ph > sh) return;
    int top = (sh - vh - ph) / 2;
    SetWindowPos(g_viewer_window, nullptr, v.left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(g_player_window, nullptr, (v.left + v.right) / 2 - pw / 2, top + vh, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The strip just below the viewer, centred under it, where the screen has room
// for it there; the viewer keeps its place.
void move_strip_below_viewer() {
    RECT v, p;
    GetWindowRect(g_viewer_window, &v);
    GetWindowRect(g_player_window, &p);
    int pw = p.right - p.left, ph = p.bottom - p.top;
    if (v.bottom + ph > GetSystemMetrics(SM_CYSCREEN)) return;
    SetWindowPos(g_player_window, nullptr, (v.left + v.right) / 2 - pw / 2, v.bottom, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Whether the viewer lies over any part of the strip.
bool strip_covered() {
    RECT v, p, both;
    GetWindowRect(g_viewer_window, &v);
    GetWindowRect(g_player_window, &p);
    return IntersectRect(&both, &v, &p) != 0;
}

}  // namespace

// A full-screen window in front has the pointer confined to the screen by
// Wine, through a screen-sized window of its own; after the popup menu that
// window takes every click, in full screen and after it. A clip set and
// cleared again makes the platform drop any confinement (on Windows, a no-op).
void ui_release_pointer() {
    ReleaseCapture();
    RECT nearly = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN) - 1};
    ClipCursor(&nearly);
    ClipCursor(nullptr);
}

double ui_scale_of(HWND window) {
    // Asked of the system at run time: older systems have no DPI per window.
    typedef UINT(WINAPI * DpiForWindow)(HWND);
    static DpiForWindow dpi_for_window = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    UINT dpi = window && dpi_for_window ? dpi_for_window(window) : 0;
    if (!dpi) {
        HDC screen = GetDC(nullptr);
        dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
        ReleaseDC(nullptr, screen);
    }
    return dpi >= 24 && dpi <= 96 * 8 ? dpi / 96.0 : 1;
}

// Failures leave the surfaces empty: the windows are made all the same.
int ui_set_strip_scale(double scale) {
    Surface skin = {};
    if (!ui_draw_skin(&skin, scale)) return 0;
    gfx_surface_release(&g_skin_surface, 0);
    g_skin_surface = skin;
    gfx_surface_release(&g_player_back_surface, 0);
    gfx_surface_create(&g_player_back_surface, ui_px(UI_SKIN_WIDTH, scale), ui_px(UI_FACE_HEIGHT, scale), 0);
    g_strip_scale = scale;
    return 1;
}

int ui_set_viewer_scale(double scale) {
    if (g_ui_scale != scale) {
        g_saved_width = static_cast<int>(g_saved_width * scale / g_ui_scale + 0.5);
        g_saved_height = static_cast<int>(g_saved_height * scale / g_ui_scale + 0.5);
    }
    g_ui_scale = scale;
    Surface logo = {};
    if (!ui_draw_logo(&logo, scale)) return 0;
    gfx_surface_release(&g_logo_surface, 0);
    g_logo_surface = logo;
    return 1;
}

// Drawn at the display's scale: the windows are made on it.
int ui_load_skin() {
    double scale = ui_scale_of(nullptr);
    g_saved_width = ui_px(VIEWER_WIDTH, scale);
    g_saved_height = ui_px(VIEWER_HEIGHT, scale);
    g_ui_scale = scale;
    ui_set_viewer_scale(scale);
    ui_set_strip_scale(scale);
    return 1;
}

int ui_create_windows(int) {
    register_class(UI_VIEWER_CLASS, CS_OWNDC | CS_DBLCLKS, ui_viewer_proc, true, nullptr);
    register_class(UI_PLAYER_CLASS, CS_OWNDC, ui_player_proc, true, GetSysColorBrush(COLOR_BTNFACE));
    register_class(UI_BUBBLE_CLASS, CS_DROPSHADOW, ui_bubble_proc, false, nullptr);

    g_viewer_window = CreateWindowExA(WS_EX_ACCEPTFILES, UI_VIEWER_CLASS, UI_TITLE,
                                      WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, -500, -500, g_saved_width,
                                      g_saved_height, nullptr, nullptr, g_instance, nullptr);
    ShowWindow(g_viewer_window, SW_HIDE);
    g_player_window = CreateWindowExA(WS_EX_ACCEPTFILES, UI_PLAYER_CLASS, UI_TITLE, WS_POPUP | WS_CLIPCHILDREN,
                                      -500, -500, ui_px(UI_SKIN_WIDTH, g_strip_scale),
                                      ui_px(UI_FACE_HEIGHT, g_strip_scale), g_viewer_window, nullptr, g_instance,
                                      nullptr);
    ShowWindow(g_player_window, SW_HIDE);
    // A window made on a display of another scale than the system's is drawn at its own.
    double viewer_scale = ui_scale_of(g_viewer_window), strip_scale = ui_scale_of(g_player_window);
    if (viewer_scale != g_ui_scale && ui_set_viewer_scale(viewer_scale))
        SetWindowPos(g_viewer_window, nullptr, 0, 0, g_saved_width, g_saved_height, SWP_NOMOVE | SWP_NOZORDER);
    if (strip_scale != g_strip_scale && ui_set_strip_scale(strip_scale))
        SetWindowPos(g_player_window, nullptr, 0, 0, ui_px(UI_SKIN_WIDTH, strip_scale),
                     ui_px(UI_FACE_HEIGHT, strip_scale), SWP_NOMOVE | SWP_NOZORDER);
    g_bubble_window = CreateWindowExA(WS_EX_TOPMOST, UI_BUBBLE_CLASS, "", WS_POPUP, -500, -500, 32, 32,
                                      g_viewer_window, nullptr, g_instance, nullptr);
    ShowWindow(g_bubble_window, SW_HIDE);

    ui_center_window(g_player_window, GetDesktopWindow());
    ui_center_window(g_viewer_window, GetDesktopWindow());
    SendMessageA(g_player_window, WM_SIZE, 0, 0);
    SendMessageA(g_viewer_window, WM_SIZE, 0, 0);
    ui_set_viewer_mode(g_viewer_window, VIEWER_MODE_WINDOWED);
    place_strip_below_viewer();
    ShowWindow(g_player_window, SW_SHOW);
    ShowWindow(g_viewer_window, SW_SHOW);
    UpdateWindow(g_player_window);
    UpdateWindow(g_viewer_window);
    return g_viewer_window && g_player_window ? 1 : 0;
}

int ui_set_viewer_mode(HWND window, int mode) {
    bool windowed = (GetWindowLongA(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
    if (mode == VIEWER_MODE_QUERY) return windowed ? 0 : 1;
    if (mode == VIEWER_MODE_FULLSCREEN) {
        int sw, sh;
        screen_size(&sw, &sh);
        if (windowed) {
            RECT r;
            GetWindowRect(window, &r);
            g_saved_width = r.right - r.left;
            g_saved_height = r.bottom - r.top;
            if (g_saved_width * 4 > sw * 3 || g_saved_height * 4 > sh * 3) {
                g_saved_width = ui_px(VIEWER_WIDTH, g_ui_scale);
                g_saved_height = ui_px(VIEWER_HEIGHT, g_ui_scale);
            }
        }
        SetWindowLongA(window, GWL_EXSTYLE, WS_EX_TOPMOST | WS_EX_ACCEPTFILES);
        SetWindowLongA(window, GWL_STYLE, WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_MAXIMIZE);
        SetWindowPos(window, HWND_TOPMOST, 0, 0, sw, sh, SWP_FRAMECHANGED | SWP_SHOWWINDOW);
        SetWindowRgn(window, nullptr, TRUE);
        ShowWindow(window, SW_MAXIMIZE);
        InvalidateRect(window, nullptr, TRUE);
        ui_raise_strip();
        return 1;
    }
    if (mode == VIEWER_MODE_WINDOWED) {
        SetWindowLongA(window, GWL_EXSTYLE, WS_EX_ACCEPTFILES);
        SetWindowLongA(window, GWL_STYLE, WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_OVERLAPPEDWINDOW);
        SetWindowPos(window, HWND_TOPMOST, 0, 0, g_saved_width, g_saved_height, SWP_FRAMECHANGED | SWP_SHOWWINDOW);
        ui_center_window(window, GetDesktopWindow());
        ShowWindow(window, SW_SHOWNORMAL);
        InvalidateRect(window, nullptr, TRUE);
        if (!windowed) {
            ui_release_pointer();
            if (window == g_viewer_window && strip_covered()) move_strip_below_viewer();
        }
        ui_raise_strip();
    }
    return 1;
}

// The strip belongs above the video in both modes. Windows keeps an owned
// window above its owner; a window manager may not. Within one stacking
// layer a raise brings it back, but a full-screen viewer sits in a layer of
// its own, and only a window shown anew is placed above it there.
void ui_raise_strip() {
    if (!g_viewer_window || !g_player_window || !IsWindowVisible(g_player_window)) return;
    if (ui_set_viewer_mode(g_viewer_window, VIEWER_MODE_QUERY)) {
        ShowWindow(g_player_window, SW_HIDE);
        ShowWindow(g_player_window, SW_SHOWNA);
    }
    bool topmost = (GetWindowLongA(g_viewer_window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    SetWindowPos(g_player_window, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

int ui_center_window(HWND window, HWND reference) {
    if (!IsWindow(window)) return 0;
    HWND desktop = GetDesktopWindow();
    if (!reference || IsIconic(reference)) reference = desktop;
    RECT r, d;
    GetWindowRect(reference, &r);
    GetWindowRect(desktop, &d);
    POINT c = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    if (!PtInRect(&d, c)) c = {(d.left + d.right) / 2, (d.top + d.bottom) / 2};
    RECT w;
    GetWindowRect(window, &w);
    int width = w.right - w.left + 1, height = w.bottom - w.top + 1;
    return SetWindowPos(window, nullptr, c.x - width / 2, c.y - height / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

int ui_set_client_size(HWND window, int cw, int ch) {
    RECT outer, client;
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    int fw = (outer.right - outer.left) - client.right + 1;
    int fh = (outer.bottom - outer.top) - client.bottom + 1;
    if (fw > 12) fw = 4;
    if (fh > 32) fh = 20;
    const UINT keep = SWP_NOMOVE | SWP_NOZORDER;
    SetWindowPos(window, nullptr, 0, 0, fw + cw, fh + ch, keep);
    GetClientRect(window, &client);
    if (client.right == cw && client.bottom == ch) return 1;
    SetWindowPos(window, nullptr, 0, 0, fw + cw + (cw - client.right), fh + ch + (ch - client.bottom), keep);
    return 1;
}

int ui_set_window_alpha(HWND window, int alpha) {
    typedef BOOL(WINAPI * SetLayeredProc)(HWND, COLORREF, BYTE, DWORD);
    static SetLayeredProc set_layered;
    LONG ex = GetWindowLongA(window, GWL_EXSTYLE);
    if (alpha > 255) {
        if (ex & WS_EX_LAYERED) {
            SetWindowLongA(window, GWL_EXSTYLE, ex & ~WS_EX_LAYERED);
            InvalidateRect(window, nullptr, TRUE);
        }
        return 1;
    }
    if (!set_layered) {
        HMODULE user = GetModuleHandleA("user32.dll");
        set_layered = user ? reinterpret_cast<SetLayeredProc>(
                                 reinterpret_cast<void*>(GetProcAddress(user, "SetLayeredWindowAttributes")))
                           : nullptr;
        if (!set_layered) return 0;
    }
    if (alpha < 0) alpha = 0;
    if (!(ex & WS_EX_LAYERED)) {
        SetWindowLongA(window, GWL_EXSTYLE, ex | WS_EX_LAYERED);
        InvalidateRect(window, nullptr, TRUE);
    }
    return set_layered(window, 0, static_cast<BYTE>(alpha), LWA_ALPHA);
}

namespace {
HFONT font_of_height(const char* face, int height, int bold, int italic, int underline, int strike_out) {
    return CreateFontA(-height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic != 0, underline != 0, strike_out != 0,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
}
}  // namespace

HFONT ui_create_scaled_font(const char* face, int size, int bold, double scale) {
    return font_of_height(face, ui_px(size, scale), bold, 0, 0, 0);
}

HFONT ui_create_font(const char* face, int size, int bold, int italic, int underline, int strike_out,
                     int size_in_points) {
    int h = ui_px(size, g_ui_scale);
    if (size_in_points) {
        HWND desktop = GetDesktopWindow();
        HDC dc = GetDC(desktop);
        h = MulDiv(size, GetDeviceCaps(dc, LOGPIXELSY), 72);
        ReleaseDC(desktop, dc);
    }
    return font_of_height(face, h, bold, italic, underline, strike_out);
}

int ui_drag_window(HWND window, POINT* last) {
    POINT p;
    GetCursorPos(&p);
    RECT r;
    GetWindowRect(window, &r);
    SetWindowPos(window, nullptr, r.left + p.x - last->x, r.top + p.y - last->y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    *last = p;
    return 1;
}

LRESULT ui_clamp_sizing(RECT* proposed, int min_width, int min_height, int max_width, int max_height) {
    int w = proposed->right - proposed->left, h = proposed->bottom - proposed->top;
    if (w < min_width) proposed->right = proposed->left + min_width;
    if (w > max_width) proposed->right = proposed->left + max_width;
    if (h < min_height) proposed->bottom = proposed->top + min_height;
    if (h > max_height) proposed->bottom = proposed->top + max_height;
    return TRUE;
}
