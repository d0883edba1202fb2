// Waits a user feels with a full playlist, each the median of five runs:
// importing a folder tree of 4096 files, loading a 4096-entry M3U, sorting
// 4096 entries (random and reversed order), refreshing the playlist window.
// Prints "name = value" lines.
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../playlist/playlist.h"
#include "../ui/ui.h"
#include "bench_timing.h"

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
    lstrcpynA(list, (root + "\\all.m3u").c_str(), sizeof list);
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
    return 0;
}
