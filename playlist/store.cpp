// The playlist store: a fixed table of paths with a count and a current index
// that is -1 exactly when the list is empty.
#include <string.h>

#include <algorithm>
#include <string>
#include <unordered_map>
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

int plist_remove_rows(const int* rows, int n) {
    static bool doomed[PLAYLIST_CAPACITY];
    int count = g_count > PLAYLIST_CAPACITY ? PLAYLIST_CAPACITY : g_count;
    memset(doomed, 0, sizeof doomed);
    for (int i = 0; i < n; i++)
        if (rows[i] >= 0 && rows[i] < count) doomed[rows[i]] = true;
    // The current index moves as it would through removals one at a time,
    // from the highest index down.
    int left = count;
    for (int i = count - 1; i >= 0; i--) {
        if (!doomed[i]) continue;
        if (i == g_current) g_current = 0;
        left--;
        if (g_current > i) g_current--;
        if (g_current < 0) g_current = 0;
        if (g_current >= left) g_current = left - 1;
    }
    int kept = 0;
    for (int i = 0; i < count; i++)
        if (!doomed[i]) {
            if (kept != i) g_entries[kept] = g_entries[i];
            kept++;
        }
    memset(&g_entries[kept], 0, (count - kept) * sizeof g_entries[0]);
    g_count = kept;
    return count - kept;
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

namespace {

// Where each entry goes: the entry now at slot i moves to where order names
// it, one slot at a time along each cycle of the permutation, so the table
// needs no second copy. The current index goes with its entry.
void apply_order(const uint16_t* from, int n) {
    static bool placed[PLAYLIST_CAPACITY];
    memset(placed, 0, sizeof placed);
    int current = g_current;
    for (int start = 0; start < n; start++) {
        if (placed[start]) continue;
        PlaylistEntry held = g_entries[start];
        int at = start;
        for (;;) {
            placed[at] = true;
            int source = from[at];
            if (source == current) g_current = at;
            if (source == start) break;
            g_entries[at] = g_entries[source];
            at = source;
        }
        g_entries[at] = held;
    }
}

// A name part as the sort sees it: its first ten bytes, each flipped so that
// signed order becomes the order of plain numbers, read as one big-endian
// number in two pieces, and how many of them the name has.
struct SortKey {
    uint64_t head;  // bytes 0 to 7
    uint16_t tail;  // bytes 8 and 9
    uint16_t length;
};

SortKey key_of(int entry) {
    const unsigned char* name = reinterpret_cast<const unsigned char*>(plist_name_part(g_entries[entry].path));
    SortKey k = {0, 0, 0};
    while (k.length < 10 && name[k.length]) {
        unsigned flipped = name[k.length] ^ 0x80u;
        if (k.length < 8) k.head |= static_cast<uint64_t>(flipped) << (56 - 8 * k.length);
        else k.tail |= static_cast<uint16_t>(flipped << (8 * (9 - k.length)));
        k.length++;
    }
    return k;
}

// The name comparison on keys: the first difference counts only inside the
// shorter name, so comparing the keys cut to that length gives it at once.
inline bool key_goes_after(const SortKey& a, const SortKey& b) {
    static const uint64_t head_mask[11] = {0,
                                           0xFF00000000000000ull,
                                           0xFFFF000000000000ull,
                                           0xFFFFFF0000000000ull,
                                           0xFFFFFFFF00000000ull,
                                           0xFFFFFFFFFF000000ull,
                                           0xFFFFFFFFFFFF0000ull,
                                           0xFFFFFFFFFFFFFF00ull,
                                           ~0ull,
                                           ~0ull,
                                           ~0ull};
    static const uint16_t tail_mask[11] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF00, 0xFFFF};
    int shorter = a.length < b.length ? a.length : b.length;
    uint64_t ah = a.head & head_mask[shorter], bh = b.head & head_mask[shorter];
    unsigned at = a.tail & tail_mask[shorter], bt = b.tail & tail_mask[shorter];
    return ah > bh || (ah == bh && at > bt);
}

// The exchange sort's passes, swap for swap, over entry numbers: the entry a
// pass carries along moves on while it goes after the next one. A pass ends
// early only where the rest of it could swap nothing: past the last swap of
// the pass before, the entries stand in order, so once the carried entry
// stops there, every later comparison would answer as it did then. The
// entries themselves move once, at the end.
void sort_by_name() {
    static SortKey keys[PLAYLIST_CAPACITY];
    static uint16_t from[PLAYLIST_CAPACITY];
    int n = g_count;
    if (n < 2) return;
    for (int i = 0; i < n; i++) {
        keys[i] = key_of(i);
        from[i] = static_cast<uint16_t>(i);
    }
    int quiet_from = n - 1;  // the step from which a step without a swap ends the pass
    for (int pass = 0; pass < n - 1; pass++) {
        int last_swap = -1;
        unsigned carried = from[0];
        SortKey carried_key = keys[carried];
        int j = 0;
        for (; j < n - 1; j++) {
            unsigned next = from[j + 1];
            const SortKey next_key = keys[next];
            if (key_goes_after(carried_key, next_key)) {
                from[j] = static_cast<uint16_t>(next);
                last_swap = j;
            } else {
                from[j] = static_cast<uint16_t>(carried);
                carried = next;
                carried_key = next_key;
                if (j >= quiet_from) break;  // the rest stands as it was
            }
        }
        if (j == n - 1) from[n - 1] = static_cast<uint16_t>(carried);
        if (last_swap < 0) break;
        quiet_from = last_swap;
    }
    apply_order(from, n);
}

}  // namespace

void plist_shuffle(uint32_t seed) {
    static uint16_t from[PLAYLIST_CAPACITY];
    for (int i = 0; i < g_count; i++) from[i] = static_cast<uint16_t>(i);
    random_seed(seed);
    for (int j = 0; j < g_count - 1; j++) {
        int r = random_next() % g_count;
        uint16_t t = from[j];
        from[j] = from[r];
        from[r] = t;
    }
    apply_order(from, g_count);
}

int plist_arrange(int mode) {
    if (mode == PLIST_SORT_BY_NAME) sort_by_name();
    else if (mode == PLIST_RANDOMIZE) plist_shuffle(GetTickCount());
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

// Titles by path: a ring of slots, the oldest overwritten when full, and an
// index from path to slot so a list of thousands of stations loads at once.
namespace {

struct TitleSlot {
    std::string path, title;
};
std::vector<TitleSlot> g_titles;
std::unordered_map<std::string, size_t> g_title_slot;
size_t g_oldest_title;

}  // namespace

void plist_set_title(const char* path, const char* title) {
    if (!path) return;
    auto found = g_title_slot.find(path);
    if (!title || !*title) {
        if (found != g_title_slot.end()) {
            g_titles[found->second].path.clear();
            g_titles[found->second].title.clear();
            g_title_slot.erase(found);
        }
        return;
    }
    std::string kept(title, strnlen(title, PLIST_TITLE_SIZE - 1));
    if (found != g_title_slot.end()) {
        g_titles[found->second].title = kept;
        return;
    }
    size_t slot;
    if (g_titles.size() < PLAYLIST_CAPACITY) {
        slot = g_titles.size();
        g_titles.push_back(TitleSlot());
    } else {
        slot = g_oldest_title;
        g_oldest_title = (g_oldest_title + 1) % PLAYLIST_CAPACITY;
        if (!g_titles[slot].path.empty()) g_title_slot.erase(g_titles[slot].path);
    }
    g_titles[slot] = {path, kept};
    g_title_slot[path] = slot;
}

int plist_title_of(const char* path, char* out, size_t size) {
    if (!out || size == 0) return 0;
    out[0] = 0;
    auto found = path ? g_title_slot.find(path) : g_title_slot.end();
    if (found == g_title_slot.end()) return 0;
    // A title is only shown: cut to the buffer rather than lost.
    const std::string& title = g_titles[found->second].title;
    size_t n = title.size() < size - 1 ? title.size() : size - 1;
    memcpy(out, title.data(), n);
    out[n] = 0;
    return 1;
}
