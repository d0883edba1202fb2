// Stand-in for the system header when the artwork tool builds the engine's
// pixel code for the build machine: the handles a Surface carries, as opaque
// pointers nothing here dereferences, and the UTF-16 character and the
// attribute word the playlist's declarations name (only named on the build
// machine).
#pragma once
#include <stdint.h>
typedef void* HDC;
typedef void* HBITMAP;
typedef void* HWND;
typedef wchar_t WCHAR;
typedef uint32_t DWORD;
#define WM_APP 0x8000
