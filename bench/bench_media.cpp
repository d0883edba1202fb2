// Times video presentation: the smoothing filter on 640 x 480 and 800 x 600
// frames beside memcpy of the same bytes, and a real playback of a 720p clip
// counting the frames presented, those on time, and the media thread's
// processor time. Prints "name = value" lines.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "../media/media_state.h"
#include "bench_timing.h"

namespace {

void smoothing(int w, int h) {
    std::vector<uint32_t> frame(static_cast<size_t>(w) * h), copy(frame.size());
    uint32_t seed = 5;
    for (auto& p : frame) p = (seed = seed * 1664525u + 1013904223u) & 0xFFFFFF;
    double reference = best_seconds([&] { memcpy(copy.data(), frame.data(), frame.size() * 4); });
    double filter = best_seconds([&] { media_smooth(frame.data(), w, 0, 0, w - 1, h - 1, 100); });
    printf("smooth_%dx%d_ms = %.3f\n", w, h, filter * 1000);
    printf("smooth_%dx%d_vs_memcpy = %.3f\n", w, h, reference / filter);
}

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}

// With a name, prints only the share of the clip's frames shown on time
// under that name.
void playback(const char* clip, int clip_frames, const char* name) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = window_proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "bench_media_window";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RegisterClassA(&wc);
    HWND window = CreateWindowA(wc.lpszClassName, "bench", WS_POPUP | WS_VISIBLE, 0, 0, 960, 540, nullptr, nullptr,
                                wc.hInstance, nullptr);
    media_init();
    media_set_option(MEDIA_OPTION_ASPECT, 1);
    media_set_window(window);
    media_set_path(clip);
    if (!media_play()) {
        printf("playback_error = could not open %s\n", clip);
        return;
    }
    // The thread's times are read while it lives: not every platform keeps
    // them after it has ended.
    auto thread_cpu = [] {
        FILETIME created, ended, kernel, user;
        if (!GetThreadTimes(g_playback.thread, &created, &ended, &kernel, &user)) return 0.0;
        auto seconds = [](FILETIME f) {
            return (static_cast<double>(f.dwHighDateTime) * 4294967296.0 + f.dwLowDateTime) / 1e7;
        };
        return seconds(kernel) + seconds(user);
    };
    double start = now_seconds(), cpu = 0;
    MSG msg;
    while (media_get_state() != MEDIA_STOPPED && media_get_state() != MEDIA_ERROR && now_seconds() - start < 60) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        double now = thread_cpu();
        if (now > cpu) cpu = now;
        Sleep(20);
    }
    int64_t presented = g_media.frames_presented, on_time = g_media.frames_on_time;
    media_stop();
    DestroyWindow(window);
    if (name) {
        printf("%s = %.3f\n", name, clip_frames ? static_cast<double>(on_time) / clip_frames : 0.0);
        return;
    }
    printf("playback_frames_presented = %lld\n", static_cast<long long>(presented));
    printf("playback_frames_in_clip = %d\n", clip_frames);
    printf("playback_presented_ratio = %.3f\n", clip_frames ? static_cast<double>(presented) / clip_frames : 0.0);
    printf("playback_on_time_ratio = %.3f\n", clip_frames ? static_cast<double>(on_time) / clip_frames : 0.0);
    printf("playback_cpu_ms_per_frame = %.2f\n", presented ? cpu * 1000 / presented : 0.0);
}

// From the command that changes the track to the new track's first frame
// in the window, the median of five changes between two clips.
void track_change(const char* first, const char* second) {
    HWND window = CreateWindowA("bench_media_window", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 640, 360, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    media_init();
    media_set_window(window);
    std::vector<double> waits;
    MSG msg;
    for (int run = 0; run < 5; run++) {
        media_set_path(run % 2 ? second : first);
        media_play();
        for (double until = now_seconds() + 0.5; now_seconds() < until; Sleep(10))
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        double start = now_seconds();
        media_stop();
        media_set_path(run % 2 ? first : second);
        media_play();
        while (g_media.frames_presented == 0 && now_seconds() - start < 10) {
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            Sleep(2);
        }
        waits.push_back((now_seconds() - start) * 1000);
        media_stop();
    }
    std::sort(waits.begin(), waits.end());
    printf("next_track_to_first_frame_ms = %.0f\n", waits[2]);
    DestroyWindow(window);
}

// Writing a 1920 x 1080 snapshot of one colour, of 256 colours and of a
// photograph-like frame (every pixel its own shade): the median of five.
void snapshots() {
    Surface frame = {};
    if (!gfx_surface_create(&frame, 1920, 1080, 0)) return;
    char temp[MAX_PATH], name[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    snprintf(name, sizeof name, "%sbench-snapshot.bmp", temp);
    const char* kinds[] = {"one_colour", "256_colours", "photo"};
    for (int kind = 0; kind < 3; kind++) {
        uint32_t* p = gfx_surface_lock(&frame, 0);
        uint32_t seed = 9;
        for (int i = 0; i < 1920 * 1080; i++) {
            seed = seed * 1664525u + 1013904223u;
            p[i] = kind == 0 ? 0x00336699 : kind == 1 ? (i / 7 % 256) * 0x010101u : (seed >> 8);
        }
        gfx_surface_unlock(&frame, 0);
        std::vector<double> t;
        for (int run = 0; run < 5; run++) {
            DeleteFileA(name);
            double start = now_seconds();
            media_write_bmp(&frame, name);
            t.push_back((now_seconds() - start) * 1000);
        }
        std::sort(t.begin(), t.end());
        printf("snapshot_1080p_%s_ms = %.1f\n", kinds[kind], t[2]);
    }
    DeleteFileA(name);
    gfx_surface_release(&frame, 0);
}

}  // namespace

// Usage: bench_media <clip> <frames in the clip> [<first> <second>: a track change]
//        bench_media on-time <clip> <frames in the clip> <name>
int main(int argc, char** argv) {
    if (argc > 4 && !strcmp(argv[1], "on-time")) {
        playback(argv[2], atoi(argv[3]), argv[4]);
        return 0;
    }
    smoothing(640, 480);
    smoothing(800, 600);
    snapshots();
    if (argc > 2) playback(argv[1], atoi(argv[2]), nullptr);
    if (argc > 4) track_change(argv[3], argv[4]);
    return 0;
}
