// The texts a slider's value is read and set by, as assistive technology
// shows them: free of any window, so they can be fuzzed.
#pragma once
#include <stddef.h>

// "75 %".
void ui_percent_text(int percent, wchar_t* out, size_t count);
// "0:01:23 of 0:04:00" from a position and a length in 100 ns units; "No
// file" for no length.
void ui_position_text(long long position, long long length, wchar_t* out, size_t count);
// "75 %", "75%" or "75" as 0 to 100; -1 for anything else.
int ui_parse_percent(const wchar_t* text);
// "h:mm:ss", "m:ss" or whole seconds, optionally followed by " of " and
// anything, as seconds; -1 for anything else.
long long ui_parse_clock(const wchar_t* text);
