// From a click on the strip's seek bar to the title clock showing the new
// place, in the real program: the median of five clicks. Prints a
// "name = value" line. Usage: bench_seek <tavlin.exe> <clip of some seconds>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench_timing.h"

namespace {

// The title clock's position (or, with duration set, its duration) in seconds.
int title_seconds(HWND viewer, bool duration = false) {
    char t[256] = "";
    SendMessageTimeoutA(viewer, WM_GETTEXT, sizeof t, reinterpret_cast<LPARAM>(t), SMTO_ABORTIFHUNG, 1000, nullptr);
    const char* at = strstr(t, duration ? " / " : " | ");
    int h, m, s;
    if (!at || sscanf(at + 3, "%d:%d:%d", &h, &m, &s) != 3) return -1;
    return h * 3600 + m * 60 + s;
}

template <class Condition>
bool wait_for(Condition c, double seconds) {
    for (double until = now_seconds() + seconds; now_seconds() < until; Sleep(2))
        if (c()) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 1;
    std::string line = std::string("\"") + argv[1] + "\" \"" + argv[2] + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1;
    HWND viewer = nullptr, player = nullptr;
    wait_for([&] { return (viewer = FindWindowA("tavlin_viewer", nullptr)) && title_seconds(viewer) >= 1; }, 30);
    player = FindWindowA("tavlin_player", nullptr);
    std::vector<double> waits;
    int duration = viewer ? title_seconds(viewer, true) : 0;
    for (int run = 0; viewer && player && duration > 4 && run < 5; run++) {
        int off = run % 2 ? 58 : 175;  // a quarter and three quarters of the 234-pixel bar from x = 186
        int target = duration * off / 234;
        LPARAM at = MAKELPARAM(186 + off, 98);
        double start = now_seconds();
        PostMessageA(player, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(player, WM_LBUTTONUP, 0, at);
        if (wait_for([&] { int s = title_seconds(viewer); return s == target || s == target + 1; }, 5))
            waits.push_back((now_seconds() - start) * 1000);
        Sleep(300);
    }
    std::sort(waits.begin(), waits.end());
    if (waits.size() == 5) printf("seek_click_to_clock_ms = %.0f\n", waits[2]);
    else printf("seek_click_to_clock_ms = failed (%u of 5)\n", static_cast<unsigned>(waits.size()));
    TerminateProcess(pi.hProcess, 0);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return 0;
}
