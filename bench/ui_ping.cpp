// Asks a window for an answer every 20 ms from another process, as the
// system does to tell a hung window, and keeps the longest wait for one in a
// shared counter while the bench's "measure" event is set:
//   ui_ping <window handle in decimal>
// Ends when the "quit" event is set, or after two minutes.
#include <windows.h>
#include <stdlib.h>

#include "bench_timing.h"
#include "ui_ping.h"

int main(int argc, char** argv) {
    if (argc < 2) return 1;
    HWND window = reinterpret_cast<HWND>(static_cast<INT_PTR>(_strtoi64(argv[1], nullptr, 10)));
    HANDLE measure = OpenEventA(SYNCHRONIZE, FALSE, UI_PING_MEASURE);
    HANDLE quit = OpenEventA(SYNCHRONIZE, FALSE, UI_PING_QUIT);
    HANDLE shared = OpenFileMappingA(FILE_MAP_WRITE, FALSE, UI_PING_LONGEST);
    volatile LONG* longest_ms = shared ? static_cast<volatile LONG*>(MapViewOfFile(shared, FILE_MAP_WRITE, 0, 0, 4)) : nullptr;
    if (!measure || !quit || !longest_ms) return 2;
    double end = now_seconds() + 120;
    while (WaitForSingleObject(quit, 20) == WAIT_TIMEOUT && now_seconds() < end) {
        if (WaitForSingleObject(measure, 0) != WAIT_OBJECT_0) continue;
        double start = now_seconds();
        DWORD_PTR answer;
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
        LONG ms = static_cast<LONG>((now_seconds() - start) * 1000 + 0.5);
        if (ms > *longest_ms) InterlockedExchange(const_cast<LONG*>(longest_ms), ms);
    }
    return 0;
}
