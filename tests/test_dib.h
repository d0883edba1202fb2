// The header of a top-down DIB of w x h pixels, for the tests' bitmaps and files.
#pragma once
#include <windows.h>

inline BITMAPINFOHEADER test_dib_header(int w, int h, int bits) {
    BITMAPINFOHEADER hd = {};
    hd.biSize = sizeof hd;
    hd.biWidth = w;
    hd.biHeight = -h;
    hd.biPlanes = 1;
    hd.biBitCount = static_cast<WORD>(bits);
    return hd;
}
