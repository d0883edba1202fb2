// Video presentation: the next frame from the stream carried through the
// work surface into the viewer window, fitted, cropped and smoothed;
// and the status texts drawn in the viewer.
#include <string.h>

#include "../gfx/gfx.h"
#include "../ui/ui.h"
#include "media_state.h"

namespace {

bool restore_lost_surfaces() {
    IDirectDrawSurface* s = g_media.primary_surface;
    return !s || s->IsLost() != DDERR_SURFACELOST || SUCCEEDED(s->Restore());
}

// Whether a locked surface holds 32-bit pixels in the work surface's order.
bool is_xrgb32(const DDPIXELFORMAT& f) {
    return (f.dwFlags & DDPF_RGB) && f.dwRGBBitCount == 32 && f.dwRBitMask == 0xFF0000 && f.dwGBitMask == 0xFF00 &&
           f.dwBBitMask == 0xFF;
}

// The sample's whole frame into the work surface: rows copied straight from
// the locked sample, or through the sample's device context when its pixels
// are in another format.
bool take_frame(uint32_t* work, int stride, int width, int height) {
    IDirectDrawSurface* sample = g_media.sample_surface;
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    if (SUCCEEDED(sample->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) {
        bool copied = is_xrgb32(desc.ddpfPixelFormat) && static_cast<int>(desc.dwWidth) >= width &&
                      static_cast<int>(desc.dwHeight) >= height;
        if (copied) {
            const uint8_t* from = static_cast<const uint8_t*>(desc.lpSurface);
            for (int y = 0; y < height; y++, from += desc.lPitch)
                memcpy(work + static_cast<ptrdiff_t>(y) * stride, from, static_cast<size_t>(width) * 4);
        }
        sample->Unlock(nullptr);
        if (copied) return true;
    }
    HDC from = nullptr, to = nullptr;
    if (FAILED(sample->GetDC(&from))) return false;
    bool done = gfx_surface_get_dc(&g_media.work_surface, &to, nullptr) &&
                BitBlt(to, 0, 0, width, height, from, 0, 0, SRCCOPY);
    gfx_surface_release_dc(&g_media.work_surface, &to);
    sample->ReleaseDC(from);
    return done;
}

// The one scaled copy, from the work surface into the window's device
// context, like everything else the viewer shows. (A blit to the primary
// surface lands, under some platforms, in a layer of its own over the window
// that the window's own painting never reaches, so old frames would stay.)
bool stretch_to_window(const RECT* to, const RECT* from_rect) {
    HDC source = nullptr;
    if (!gfx_surface_get_dc(&g_media.work_surface, &source, nullptr)) return false;
    HDC window = media_window_dc(g_media.window);
    SetStretchBltMode(window, COLORONCOLOR);
    BOOL done = StretchBlt(window, to->left, to->top, to->right - to->left, to->bottom - to->top, source,
                           from_rect->left, from_rect->top, from_rect->right - from_rect->left,
                           from_rect->bottom - from_rect->top, SRCCOPY);
    ReleaseDC(g_media.window, window);
    gfx_surface_release_dc(&g_media.work_surface, &source);
    return done != 0;
}

// One pass of the smoothing filter over a row, in either direction.
inline void smooth_row(uint32_t* row, uint32_t* line, int from, int to, int step, uint32_t level) {
    uint32_t r = row[from];
    for (int x = from;; x += step) {
        uint32_t avg = ((r & 0xFEFEFE) + (line[x] & 0xFEFEFE)) >> 1;
        uint32_t p = gfx_pixel_lerp(avg, row[x], level);
        row[x] = line[x] = r = p;
        if (x == to) break;
    }
}

// A duration not yet known (0) is no end: a stream can take a moment to
// report it, and would otherwise end before its first frame.
bool reached_end() {
    int64_t duration = g_playback.duration;
    return duration > 0 && g_playback.position >= duration;
}

}  // namespace

void media_fit_in(int client_w, int client_h, int video_w, int video_h, bool use_aspect, RECT* out) {
    double a = use_aspect ? static_cast<double>(video_w) / video_h : static_cast<double>(client_w) / client_h;
    int width, height;
    if (static_cast<double>(video_h) / client_h >= static_cast<double>(video_w) / client_w) {
        height = client_h;
        width = static_cast<int>(client_h * a);
    } else {
        width = client_w;
        height = static_cast<int>(client_w / a);
    }
    out->left = (client_w - width) / 2;
    out->top = (client_h - height) / 2;
    out->right = out->left + width;
    out->bottom = out->top + height;
}

void media_crop_borders(RECT* src) {
    int crop = static_cast<int>((src->bottom - src->top + 1) * BORDER_CROP_FRACTION);
    src->top += crop;
    src->bottom -= crop;
}

// The line of the filter is fixed storage on the stack: the filter runs under
// the media thread's guard, which a fault leaves by a jump. Wider spans than
// the filter serves are left as they are.
void media_smooth(uint32_t* pixels, int stride, int left, int top, int right, int bottom, int level) {
    if (right < left || bottom < top || right - left >= SMOOTHING_MAX_WIDTH) return;
    const uint32_t w = static_cast<uint32_t>(level);
    const int last = right - left;
    uint32_t line[SMOOTHING_MAX_WIDTH];
    auto row = [&](int y) { return pixels + static_cast<ptrdiff_t>(y) * stride + left; };
    memcpy(line, row(top), static_cast<size_t>(last + 1) * 4);
    for (int y = top; y <= bottom; y++) smooth_row(row(y), line, 0, last, 1, w);
    memcpy(line, row(bottom), static_cast<size_t>(last + 1) * 4);
    for (int y = bottom; y >= top; y--) smooth_row(row(y), line, last, 0, -1, w);
}

int media_fit_rect(RECT* out) {
    if (!g_playback.has_video) return 0;
    RECT client;
    GetClientRect(g_media.window, &client);
    const RECT& v = g_media.sample_rect;
    if (client.right <= 0 || client.bottom <= 0 || v.right - v.left <= 0 || v.bottom - v.top <= 0) {
        *out = {0, 0, 0, 0};
        return 1;
    }
    media_fit_in(client.right, client.bottom, v.right - v.left, v.bottom - v.top, g_playback.use_aspect != 0, out);
    return 1;
}

int media_blit_frame(const RECT* dest, const RECT* src) {
    // While paused the work surface keeps the frame as it was last drawn; a
    // frame new since then (a seek while paused) is taken unsmoothed.
    bool paused = g_playback.state == MEDIA_PAUSED;
    if (!paused || !g_media.work_is_current) {
        Surface& work = g_media.work_surface;
        const RECT& whole = g_media.sample_rect;
        uint32_t* pixels = gfx_surface_lock(&work, 0);
        if (!pixels) return 0;
        g_media.work_is_current = false;
        // The whole frame, not just the part on screen: a snapshot takes all
        // of it, and the part shown is the same whatever is cropped.
        bool taken = take_frame(pixels, work.stride, whole.right, whole.bottom);
        if (taken && !paused && g_playback.smoothing_level >= SMOOTHING_MIN_LEVEL &&
            g_media.video_width <= SMOOTHING_MAX_WIDTH)
            media_smooth(pixels, work.stride, 0, 0, whole.right - 1, whole.bottom - 1, g_playback.smoothing_level);
        gfx_surface_unlock(&work, 0);
        if (!taken) return 0;
        g_media.work_is_current = true;
    }
    return stretch_to_window(dest, src) ? 1 : 0;
}

int media_present_frame(bool advance) {
    bool fresh = false;
    int state = g_playback.state;
    if (state == MEDIA_ERROR || state == MEDIA_STOPPED || !g_media.mm_stream) return 0;
    if (advance && g_playback.has_video) {
        if (!restore_lost_surfaces()) {
            media_draw_status(g_media.window, "Video Error");
            Sleep(120);
        } else {
            // The sample is about to take another frame: what the work surface
            // holds no longer belongs to it.
            g_media.work_is_current = false;
            HRESULT hr = g_media.stream_sample->Update(SSUPDATE_ASYNC, nullptr, nullptr, 0);
            if (hr == E_ABORT || hr == E_INVALIDARG || hr == E_POINTER) return 1;
            hr = g_media.stream_sample->CompletionStatus(COMPSTAT_WAIT, 100);
            if (hr == MS_S_ENDOFSTREAM) return 2;
            if (hr == E_ABORT) return 1;
            fresh = hr == S_OK;
            if (fresh) {
                g_playback.shown_any = 1;
                g_media.frames_decoded++;
            }
        }
        if (reached_end()) return 2;
    }
    if (advance && !g_playback.has_video) {
        STREAM_TIME duration = 0;
        int64_t position = 0;
        g_media.mm_stream->GetDuration(&duration);
        if (duration) g_playback.duration = duration;
        media_stream_time(&position);
        if (position) g_playback.position = position;
        if (position > 0) g_playback.shown_any = 1;
        if (reached_end()) return 2;
        media_draw_status(g_media.window, "Audio Only");
        Sleep(60);
        return 0;
    }
    RECT dest;  // in the viewer's client coordinates
    if (!media_fit_rect(&dest)) return 0;
    media_store_video_rect(dest);
    // Whatever the window showed outside a new video rectangle (an old frame
    // of another size or place, the logo) goes black before the frame lands.
    if (!EqualRect(&dest, &g_media.last_dest)) {
        media_blacken_outside(g_media.window, &dest);
        g_media.last_dest = dest;
    }
    if (IsIconic(g_media.window) || IsRectEmpty(&dest) || !IsWindowVisible(g_media.window) ||
        !g_media.stream_sample)
        return 0;
    RECT src = g_media.sample_rect;
    if (g_playback.remove_borders) media_crop_borders(&src);
    src.right -= 1;
    src.bottom -= 1;
    if (!media_blit_frame(&dest, &src)) return 1;
    if (fresh) {
        g_media.frames_presented++;
        media_forget_status();
        // On time: on the screen within one frame's length of its stamp.
        STREAM_TIME start = 0, end = 0, now = 0;
        if (SUCCEEDED(g_media.stream_sample->GetSampleTimes(&start, &end, &now)) && end > start &&
            now - start <= end - start && start - now <= end - start)
            g_media.frames_on_time++;
    }
    return 0;
}

HDC media_window_dc(HWND window) {
    // A cache DC: the viewer's own DC belongs to its thread, and what other
    // threads draw through it may never reach the screen.
    return GetDCEx(window, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS | DCX_CLIPCHILDREN);
}

void media_fill_black(HWND window, HDC dc, const RECT* keep) {
    RECT client;
    GetClientRect(window, &client);
    int saved = SaveDC(dc);
    if (keep) ExcludeClipRect(dc, keep->left, keep->top, keep->right, keep->bottom);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    RestoreDC(dc, saved);
}

void media_blacken_outside(HWND window, const RECT* keep) {
    HDC dc = media_window_dc(window);
    media_fill_black(window, dc, keep);
    ReleaseDC(window, dc);
}

namespace {
// The status text the viewer shows now, for assistive technology: set by
// either thread as it is drawn, gone with the next frame or the logo.
SRWLOCK g_status_lock = SRWLOCK_INIT;
char g_status[128];

void set_status(const char* text) {
    AcquireSRWLockExclusive(&g_status_lock);
    lstrcpynA(g_status, text ? text : "", sizeof g_status);
    ReleaseSRWLockExclusive(&g_status_lock);
}
}  // namespace

void media_forget_status() {
    if (g_status[0]) set_status(nullptr);
}

int media_shown_status(char* out, size_t size) {
    if (!out || !size) return 0;
    AcquireSRWLockShared(&g_status_lock);
    lstrcpynA(out, g_status, static_cast<int>(size));
    ReleaseSRWLockShared(&g_status_lock);
    return out[0] != 0;
}

int media_draw_status(HWND window, const char* text) {
    if (!window) return 1;
    set_status(text);
    RECT client;
    GetClientRect(window, &client);
    HDC dc = media_window_dc(window);
    media_fill_black(window, dc, nullptr);
    HFONT font = ui_create_font("Arial", 15, 1, 0, 0, 0, 0);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, 0xFFFFFF);
    RECT measure = {0, 0, client.right, 0};
    int text_height = DrawTextA(dc, text, -1, &measure, DT_CALCRECT | DT_CENTER);
    int offset = (client.bottom - text_height) / 2;
    if (offset < 0) offset = 0;
    RECT place = {0, offset, client.right, client.bottom};
    DrawTextA(dc, text, -1, &place, DT_CENTER);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(window, dc);
    return 1;
}
