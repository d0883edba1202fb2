// The media engine's face towards the user-interface thread.
#pragma once
#include <windows.h>
#include <stdint.h>

#define WM_MEDIA_EVENT (WM_USER + 99)

#define MEDIA_ERROR 0
#define MEDIA_LOADING 1
#define MEDIA_PLAYING 2
#define MEDIA_PAUSED 3
#define MEDIA_STOPPING 4
#define MEDIA_STOPPED 5

#define MEDIA_EVENT_OPENING 0
#define MEDIA_EVENT_STARTED 1
#define MEDIA_EVENT_END 2
#define MEDIA_EVENT_STOPPED 3
#define MEDIA_EVENT_OPEN_FAILED 8
#define MEDIA_EVENT_FAILED 9

int media_init();
int media_set_window(HWND viewer);
int media_set_path(const char* path);
int media_get_path(char* out, size_t size);
int media_play();
int media_pause();
int media_seek(int64_t target);
int media_stop();
int media_snapshot();
int media_get_state();
int media_is_active();
int64_t media_get_position();
int64_t media_get_duration();
int media_get_info(char* type_out, size_t type_size, int* has_video_out);
// The error report's length (0 when there is none); copied only when out holds all of it.
int media_get_error(char* out, size_t size);
int media_get_video_rect(RECT* out);
// The options' indices.
#define MEDIA_OPTION_VOLUME 0
#define MEDIA_OPTION_ASPECT 1
#define MEDIA_OPTION_BORDERS 2
#define MEDIA_OPTION_SMOOTHING 3
#define MEDIA_VOLUME_FULL (65535 | (65535 << 8))  // the volume option at level 65535
int media_get_option(int index);
// Fills the window's client area black through dc, but for keep (client
// coordinates) when given; the dc's clipping is left as it was.
void media_fill_black(HWND window, HDC dc, const RECT* keep);
// A status text centred in white on a black window.
int media_draw_status(HWND window, const char* text);
// The serial that the current playback's events carry in their lParam.
uint32_t media_get_serial();
// A media thread never answered and still lives: nothing opens until it ends.
int media_is_stuck();
// The last open was refused for such a thread, not for its file.
int media_open_refused();
// Asks for the frame to be drawn again (the window was exposed, moved or resized).
void media_redraw();
int media_set_option(int index, int value);
