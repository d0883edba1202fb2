// Waits a user feels with a full playlist, each the median of five runs:
// importing a folder tree of 4096 files, loading a 4096-entry M3U, sorting
// 4096 entries (random and reversed order), refreshing the playlist window;
// then the longest time a window of this thread, standing for the viewer,
// takes to answer another process while each list operation runs on a full
// list (three times each). Prints "name = value" lines.
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../playlist/playlist.h"
#include "../ui/ui.h"
#include "bench_timing.h"
#include "ui_ping.h"

namespace {

template <class Before, class Op>
double median_ms(Before before, Op op) {
    std::vector<double> t;
    for (int run = 0; run < 5; run++) {
        before();
        double start = now_seconds();
        op();
        t.push_back((now_seconds() - start) * 1000);
    }
    std::sort(t.begin(), t.end());
    return t[2];
}

void add(const std::string& path) {
    char buffer[PLIST_PATH_SIZE];
    lstrcpynA(buffer, path.c_str(), sizeof buffer);
    plist_add_path(buffer);
}

// Handles this thread's messages for a while, as the message loop would
// between a user's commands.
void pump(double seconds) {
    double end = now_seconds() + seconds;
    for (double left; (left = end - now_seconds()) > 0;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left * 1000) + 1, QS_ALLINPUT);
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
}

void fill_list(const std::vector<std::string>& paths) {
    plist_clear();
    for (auto& p : paths) plist_append(p.c_str());
}

// The longest wait of the other process for an answer while op runs, over
// three runs, each on a list made anew by before.
template <class Before, class Op>
long longest_gap(HANDLE measure, volatile LONG* longest, Before before, Op op) {
    long worst = 0;
    for (int run = 0; run < 3; run++) {
        before();
        pump(0.1);
        *longest = 0;
        SetEvent(measure);
        pump(0.06);
        op();
        pump(0.1);
        ResetEvent(measure);
        pump(0.03);  // a wait begun before the reset ends and is counted
        if (*longest > worst) worst = *longest;
    }
    return worst;
}

LRESULT CALLBACK stand_in_proc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

void ui_gaps(const std::string& folder) {
    WNDCLASSA c = {};
    c.lpfnWndProc = stand_in_proc;
    c.hInstance = g_instance;
    c.lpszClassName = "tavlin_bench_viewer";
    RegisterClassA(&c);
    g_viewer_window = CreateWindowA(c.lpszClassName, UI_TITLE, WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                    g_instance, nullptr);
    HANDLE measure = CreateEventA(nullptr, TRUE, FALSE, UI_PING_MEASURE);
    HANDLE quit = CreateEventA(nullptr, TRUE, FALSE, UI_PING_QUIT);
    HANDLE shared = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, UI_PING_LONGEST);
    volatile LONG* longest = static_cast<volatile LONG*>(MapViewOfFile(shared, FILE_MAP_WRITE, 0, 0, 4));
    char exe[MAX_PATH], command[MAX_PATH + 32];
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    *strrchr(exe, '\\') = 0;
    snprintf(command, sizeof command, "\"%s\\ui_ping.exe\" %lld", exe,
             static_cast<long long>(reinterpret_cast<INT_PTR>(g_viewer_window)));
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!longest || !CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        printf("playlist_ui_longest_gap_ms = unmeasured\n");
        return;
    }
    std::vector<std::string> paths;
    for (int i = 0; i < PLAYLIST_CAPACITY; i++)
        paths.push_back(folder + "\\folder " + std::to_string(i % 16) + "\\track " + std::to_string(i / 16) + ".avi");
    HWND window = plist_create_window(g_viewer_window);
    HWND list = GetDlgItem(window, IDC_PLAYLIST_LIST);
    auto full = [&] {
        fill_list(paths);
        SendMessageA(window, PLIST_WM_REFRESH, 0, 0);
    };
    auto command_of = [&](int id) { return [=] { SendMessageA(window, WM_COMMAND, id, 0); }; };
    char saved[PLIST_PATH_SIZE];
    snprintf(saved, sizeof saved, "%s-saved.m3u", folder.c_str());
    struct Figure {
        const char* name;
        long ms;
    } figures[] = {
        {"sort", longest_gap(measure, longest, full, command_of(CMD_SORT_BY_NAME))},
        {"randomize", longest_gap(measure, longest, full, command_of(CMD_RANDOMIZE))},
        {"remove_all", longest_gap(measure, longest, [&] { full(); SendMessageA(list, LB_SETSEL, TRUE, -1); },
                                   command_of(CMD_REMOVE))},
        {"clear", longest_gap(measure, longest, full, command_of(CMD_CLEAR))},
        {"save", longest_gap(measure, longest, full, [&] { plist_save_m3u(saved, sizeof saved); })},
        {"refresh", longest_gap(measure, longest, full, [&] { SendMessageA(window, PLIST_WM_REFRESH, 0, 0); })},
    };
    SetEvent(quit);
    WaitForSingleObject(pi.hProcess, 5000);
    long worst = 0;
    for (const Figure& f : figures) {
        printf("playlist_ui_gap_%s_ms = %ld\n", f.name, f.ms);
        if (f.ms > worst) worst = f.ms;
    }
    printf("playlist_ui_longest_gap_ms = %ld\n", worst);
    DeleteFileA(saved);
}

}  // namespace

int main() {
    g_instance = GetModuleHandleA(nullptr);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string root = std::string(temp) + "tavlin-bench-playlist";
    CreateDirectoryA(root.c_str(), nullptr);
    for (int d = 0; d < 16; d++) {  // 16 folders of 256 files
        std::string folder = root + "\\folder " + std::to_string(d);
        CreateDirectoryA(folder.c_str(), nullptr);
        for (int f = 0; f < 256; f++) {
            std::string name = folder + "\\track " + std::to_string(f) + ".avi";
            CloseHandle(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        }
    }
    printf("import_4096_files_ms = %.0f\n", median_ms(plist_reset, [&] { add(root); }));
    char list[PLIST_PATH_SIZE];
    // Beside the tree, not in it: the import must not load it on the next run.
    lstrcpynA(list, (std::string(temp) + "tavlin-bench-all.m3u").c_str(), sizeof list);
    plist_save_m3u(list, sizeof list);
    printf("load_4096_entry_m3u_ms = %.0f\n", median_ms(plist_reset, [&] { add(list); }));
    uint32_t seed = 1;
    printf("sort_4096_random_ms = %.0f\n",
           median_ms([&] { plist_shuffle(seed++); }, [] { plist_arrange(PLIST_SORT_BY_NAME); }));
    printf("sort_4096_reversed_ms = %.0f\n", median_ms([] {
        plist_arrange(PLIST_SORT_BY_NAME);
        int n = plist_count();
        std::vector<std::string> paths(n);
        char p[PLIST_PATH_SIZE];
        for (int i = 0; i < n; i++) plist_get(p, sizeof p, i), paths[i] = p;
        plist_clear();
        for (int i = n - 1; i >= 0; i--) plist_append(paths[i].c_str());
    }, [] { plist_arrange(PLIST_SORT_BY_NAME); }));
    HWND window = plist_create_window(nullptr);
    printf("refresh_4096_rows_ms = %.0f\n", median_ms([] {}, [&] {
        SendMessageA(window, PLIST_WM_REFRESH, 0, 0);
        UpdateWindow(GetDlgItem(window, IDC_PLAYLIST_LIST));
    }));
    ui_gaps(root);
    return 0;
}
