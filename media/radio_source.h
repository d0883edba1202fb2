// The network source: a station or a file at an http(s) address, read by a
// thread of its own and played through a source filter of our own in the
// multimedia stream's graph. Used by the media thread.
#pragma once
#include <windows.h>
#include <amstream.h>
#include <stdint.h>

// Connects to url, waits for its first audio frame (the connection and
// first-data limits apply), and adds to the stream's graph a source that
// plays it through the graph's audio renderer. 0, or E_FAIL after appending
// the reason to the error report. Events about the station go to window,
// tagged with serial.
HRESULT media_open_network(IAMMultiMediaStream* stream, const char* url, HWND window, uint32_t serial);
// Ends the connection and releases the source; nothing when none is open.
void media_close_network();
// The connection's state (MEDIA_NET_*), for the media thread's loop.
int media_network_state();
// A finite file's last frame has been delivered and its time has passed.
bool media_network_played_out();
// Why the connection failed, into out (size bytes), ending in "\n"; "" when it did not.
void media_network_failure(char* out, size_t size);
// The status text for a connection being made again, into out (size bytes).
void media_network_status(char* out, size_t size);

// The body at url, a small file such as a playlist on a server, into out
// (size bytes) with a NUL after it: its length, or -1 when it did not come
// whole with status 200 within the connection limit or does not fit.
int media_fetch_text(const char* url, char* out, size_t size);
