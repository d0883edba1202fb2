// The playlist store: a fixed table of paths with a count and a current index
// that is -1 exactly when the list is empty.
#include <string.h>

#include <algorithm>
#include <vector>

#include "../app/app.h"
#include "playlist.h"

namespace {

PlaylistEntry g_entries[PLAYLIST_CAPACITY + 1];  // one spare slot behind the table
int g_count;
int g_current = -1;
uint32_t g_generation;  // counts the times the list was emptied to be built anew
uint32_t g_random_state;

void random_seed(uint32_t seed) { g_random_state = seed; }

int random_next() {
    g_random_state = g_random_state * 214013u + 2531011u;
    return static_cast<int>((g_random_state >> 16) & 0x7FFF);
}

void swap_entries(int a, int b) {
    PlaylistEntry t = g_entries[a];
    g_entries[a] = g_entries[b];
    g_entries[b] = t;
}

}  // namespace

int plist_reset() {
    g_count = 0;
    g_current = -1;
    g_generation++;
    return 1;
}

uint32_t plist_generation() { return g_generation; }

int plist_clear() {
    memset(g_entries, 0, sizeof g_entries);
    return plist_reset();
}

int plist_append(const char* path) {
    if (!path || strlen(path) > PLIST_PATH_MAX) return 0;
    if (g_count >= PLAYLIST_CAPACITY) {
        g_count = PLAYLIST_CAPACITY;
        return 0;  // a full list drops the path, and says so
    }
    strcpy(g_entries[g_count].path, path);
    g_count++;
    if (g_current < 0) g_current = 0;
    return 1;
}

int plist_remove(int index) {
    int n = g_count > PLAYLIST_CAPACITY ? PLAYLIST_CAPACITY : g_count;
    if (index < 0 || index >= n) return 1;
    if (index == g_current) g_current = 0;
    for (int j = index; j < n - 1; j++) g_entries[j] = g_entries[j + 1];
    g_count = n - 1;
    memset(&g_entries[n - 1], 0, sizeof g_entries[0]);
    if (g_current > index) g_current--;
    if (g_current < 0) g_current = 0;
    if (g_current >= g_count) g_current = g_count - 1;
    return 1;
}

bool plist_get(char* out, size_t size, int index) {
    if (index < 0 || index >= g_count) return false;
    return app_copy_text(out, size, g_entries[index].path) != 0;
}

int plist_get_current(char* out, size_t size) {
    if (out && size) {
        out[0] = 0;
        if (g_current >= 0 && g_current < g_count) app_copy_text(out, size, g_entries[g_current].path);
    }
    return g_current;
}

int plist_count() { return g_count; }

int plist_select(int step, bool relative) {
    if (g_count == 0) return 0;
    // 64-bit: steps near the int limits must not overflow into a negative index.
    long long v = static_cast<long long>(step) + (relative ? g_current : 0) + 10LL * g_count;
    long long r = v % g_count;
    if (r < 0) r += g_count;
    g_current = static_cast<int>(r);
    return g_current;
}

const char* plist_name_part(const char* path) {
    const char* p = strrchr(path, '\\');
    if (!p) p = strrchr(path, '/');
    return p ? p + 1 : path;
}

// Only the first ten characters count, bytes compare as signed, and a name
// that is a leading part of another never moves before it.
bool plist_name_goes_after(const char* a, const char* b) {
    if (!a[0]) return false;
    for (int k = 0;; k++) {
        if (!b[k] || k >= 10) return false;
        signed char ak = static_cast<signed char>(a[k]), bk = static_cast<signed char>(b[k]);
        if (ak > bk) return true;
        if (ak != bk) return false;
        if (!a[k + 1]) return false;
    }
}

void plist_shuffle(uint32_t seed) {
    random_seed(seed);
    for (int j = 0; j < g_count - 1; j++) swap_entries(j, random_next() % g_count);
}

int plist_arrange(int mode) {
    if (mode == PLIST_SORT_BY_NAME) {
        for (int pass = 0; pass < g_count - 1; pass++) {
            int swaps = 0;
            for (int j = 0; j < g_count - 1; j++) {
                if (plist_name_goes_after(plist_name_part(g_entries[j].path),
                                          plist_name_part(g_entries[j + 1].path))) {
                    swap_entries(j, j + 1);
                    swaps++;
                }
            }
            if (!swaps) break;
        }
    } else if (mode == PLIST_RANDOMIZE) {
        plist_shuffle(GetTickCount());
    }
    return g_current;
}

namespace {

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
inline unsigned char folded(char c) { return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c); }

}  // namespace

bool plist_natural_before(const char* a, const char* b) {
    while (*a && *b) {
        if (is_digit(*a) && is_digit(*b)) {
            while (*a == '0') a++;
            while (*b == '0') b++;
            size_t da = 0, db = 0;
            while (is_digit(a[da])) da++;
            while (is_digit(b[db])) db++;
            if (da != db) return da < db;  // the shorter run without leading zeros is the smaller number
            int order = strncmp(a, b, da);
            if (order) return order < 0;
            a += da;
            b += db;
            continue;
        }
        if (folded(*a) != folded(*b)) return folded(*a) < folded(*b);
        a++;
        b++;
    }
    return !*a && *b;
}

void plist_order_naturally(int first, int end) {
    if (first < 0) first = 0;
    if (end > g_count) end = g_count;
    if (end - first < 2) return;
    std::vector<PlaylistEntry> moved(g_entries + first, g_entries + end);
    std::vector<int> order(moved.size());
    for (size_t i = 0; i < order.size(); i++) order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](int x, int y) { return plist_natural_before(moved[x].path, moved[y].path); });
    int current = g_current;
    for (size_t i = 0; i < order.size(); i++) {
        g_entries[first + i] = moved[order[i]];
        if (current == first + order[i]) g_current = first + static_cast<int>(i);
    }
}
