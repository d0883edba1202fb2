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
// A network stream's station, song or connection changed: see media_get_stream_info.
#define MEDIA_EVENT_STREAM_INFO 10

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
// The status text the viewer shows now into out (size bytes), for
// assistive technology; 0 when it shows none. A frame forgets it, and the
// viewer forgets it as it paints its logo.
int media_shown_status(char* out, size_t size);
void media_forget_status();
// The serial that the current playback's events carry in their lParam.
uint32_t media_get_serial();
// A media thread never answered and still lives: nothing opens until it ends.
int media_is_stuck();
// The last open was refused for such a thread, not for its file.
int media_open_refused();
// Asks for the frame to be drawn again (the window was exposed, moved or resized).
void media_redraw();
int media_set_option(int index, int value);

// Network streams (http and https addresses). The connection's states:
#define MEDIA_NET_NONE 0          // no network stream is open
#define MEDIA_NET_CONNECTING 1    // the first connection is being made
#define MEDIA_NET_PLAYING 2
#define MEDIA_NET_RECONNECTING 3  // dropped: waiting, or connecting again
#define MEDIA_NET_FAILED 4        // given up; the error report says why
#define MEDIA_NET_ENDED 5         // a finite file came whole
// 1 while the open media is a network stream: it has no length and cannot be
// sought, and Play after Pause resumes where the stream is now.
int media_is_live();
// The station's name (its own, else "") and the song now playing ("" when
// the station names none), each into a buffer of the given size (either may
// be null). Returns a counter that grows with every change of either or of
// the connection, so a caller polling it redraws only when it moved; each
// change also posts MEDIA_EVENT_STREAM_INFO to the viewer.
uint32_t media_get_stream_info(char* station, size_t station_size, char* title, size_t title_size);
// MEDIA_NET_*; while reconnecting, *attempt (1 to 5) and *wait_ms, the time
// left before it, when the pointers are given.
int media_get_connection(int* attempt, int* wait_ms);
