// The media engine's process-wide state, shared by the user-interface thread
// and the media thread, and the procedures of the media thread's side.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <ddraw.h>
#include <dsound.h>
#include <mmstream.h>
#include <amstream.h>
#include <ddstream.h>
#include <stdint.h>

#include <atomic>

#include "../gfx/gfx.h"
#include "media.h"

#define REQ_NONE 0
#define REQ_PLAY 1
#define REQ_PAUSE 2
#define REQ_SEEK 3
#define REQ_SEEK_PAUSED 4
#define REQ_STOP 5
#define REQ_SNAPSHOT 6

#define SMOOTHING_MIN_LEVEL 5
#define SMOOTHING_MAX_WIDTH 800
#define BORDER_CROP_FRACTION 0.13333333333333333

// The request and state words and the 64-bit times are atomics: neither
// thread may see one torn or out of order.
struct PlaybackState {
    HANDLE thread;
    std::atomic<int32_t> request;
    std::atomic<int64_t> seek_target;
    std::atomic<int32_t> state;
    std::atomic<int64_t> position;
    std::atomic<int64_t> duration;
    HWND window;
    char path[260];
    char error_text[1024];
    char type_name[64];
    std::atomic<uint8_t> has_video;
    std::atomic<uint8_t> notify;
    std::atomic<int32_t> volume;
    std::atomic<uint8_t> use_aspect;
    std::atomic<uint8_t> remove_borders;
    std::atomic<int32_t> smoothing_level;
    RECT video_rect;
    // Tags every WM_MEDIA_EVENT (its lParam) with the playback it belongs to,
    // so the viewer can ignore events of a playback since replaced.
    std::atomic<uint32_t> serial;
    // Set when the picture on screen may have changed (exposed, moved,
    // resized, an option): a paused frame is drawn again only then.
    std::atomic<uint8_t> redraw;
    // A playback that ended without ever showing its media failed.
    std::atomic<uint8_t> shown_any;
};

struct MediaObjects {
    IDirectDraw* ddraw;
    IDirectDrawSurface* primary_surface;
    // The frame as last drawn, whole and at the video's size: copied from the
    // sample, smoothed in place, stretched from here into the window, and
    // read by snapshots. Our own 32-bit surface in system memory: copies
    // between platform surfaces cost far more than the frame itself.
    Surface work_surface;
    IDirectDrawClipper* clipper;
    IDirectSound* dsound;  // none on a machine without a sound device
    bool sound_output;     // the stream's sound has a renderer to play it
    IAMMultiMediaStream* mm_stream;
    IMediaStream* video_stream;
    IDirectDrawMediaStream* ddraw_stream;
    IStreamSample* stream_sample;
    IDirectDrawStreamSample* ddraw_sample;
    IDirectDrawSurface* sample_surface;
    RECT sample_rect;
    int32_t video_width, video_height;
    // Where the media position stands: the stream's own clock counts from
    // the last run after a seek on some platforms, so it is offset by hand.
    int64_t clock_base;
    int64_t frames_decoded;    // new frames the sample took, shown or not
    int64_t frames_presented;  // new frames carried to the window, for the benchmark
    int64_t frames_on_time;    // of those, shown within a frame's time of their stamp
    RECT last_dest;            // where the previous frame went, in client coordinates
    bool work_is_current;      // the work surface holds the frame on screen
    // The window and file the thread was started for, its own copies: the
    // controller may set the next ones while a thread it gave up on lives.
    HWND window;
    char path[260];
};

extern PlaybackState g_playback;
extern MediaObjects g_media;

// Where a seek lands: within the file, its end included.
inline int64_t media_clamp_target(int64_t target, int64_t duration) {
    if (target < 0) return 0;
    return target >= duration ? duration : target;
}

// The texts and the rectangle shared by the two threads change only under a
// small lock, so a reader never sees one half-written. Written by the media
// thread (and by the controller while none runs); read as whole copies,
// which callers pass on only after the lock is free.
void media_append_error(const char* line);
void media_clear_error();
void media_set_type_name(const char* name);
void media_store_video_rect(const RECT& r);
void media_copy_type_name(char (&out)[sizeof PlaybackState::type_name]);
void media_copy_error(char (&out)[sizeof PlaybackState::error_text]);
RECT media_copy_video_rect();

// Set-up and teardown of the decoding chain, on the media thread.
HRESULT media_setup_devices();
HRESULT media_open_stream();
HRESULT media_setup_video();
int media_teardown();
void media_apply_volume();

// Stream time, run/stop and seek on the open stream; the time is the media
// position even after a seek.
HRESULT media_stream_time(int64_t* out);
HRESULT media_stream_run(bool run);
HRESULT media_stream_seek(int64_t position);

DWORD WINAPI media_thread_proc(LPVOID);
// Whether a playback that reached the end of its stream played (else it
// failed), from what it showed, the new frames it decoded, the position it
// reached and its length.
bool media_ended_as_played(bool shown_any, bool video, int64_t frames, int64_t reached, int64_t length);
// The length a media file's first bytes declare (an AVI header's); 0 when unknown.
int64_t media_declared_length(const uint8_t* head, size_t size);

// Presentation.
int media_present_frame(bool advance);
int media_fit_rect(RECT* out);
int media_blit_frame(const RECT* dest, const RECT* src);
// A device context for drawing into the window from any thread.
HDC media_window_dc(HWND window);
// Fills the client area black but for keep (client coordinates).
void media_blacken_outside(HWND window, const RECT* keep);

#define SNAPSHOT_NAME_FORMAT "c:\\pic\\%08i.bmp"

// Type names, snapshots and the BMP writer.
const char* media_type_name(const char* path, bool has_video);
int media_take_snapshot();
int media_write_bmp(Surface* s, const char* name);
// The BMP file of a top-down 32-bit picture: its size with out null, else
// written into out (size bytes); 0 when it does not fit.
size_t media_bmp_encode(const uint32_t* pixels, int stride, int width, int height, uint8_t* out, size_t size);

// Pure parts of the presentation, free of devices.
void media_fit_in(int client_w, int client_h, int video_w, int video_h, bool use_aspect, RECT* out);
void media_crop_borders(RECT* src);
void media_smooth(uint32_t* pixels, int stride, int left, int top, int right, int bottom, int level);

// Called by the media thread as it starts opening; tests stand in for a
// decoder that hangs there. Null in the program.
extern void (*media_opening_hook)();
// Called as a seek begins: tests stand in for a decoder that hangs in it.
extern void (*media_seek_hook)();
// Called by the media thread with each request it has taken, at the head of
// a pass: tests hold the thread there. Null in the program.
extern void (*media_request_hook)(int32_t request);
// Called as a snapshot is written: tests stand in for a slow disk.
extern void (*media_snapshot_hook)();
