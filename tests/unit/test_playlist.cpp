#include <gtest/gtest.h>
#include <ctype.h>
#include <string.h>

#include <algorithm>

#include <string>
#include <vector>

#include "../../playlist/playlist.h"

namespace {

void fill(const std::vector<std::string>& paths) {
    plist_clear();
    for (auto& p : paths) plist_append(p.c_str());
}

std::vector<std::string> entries() {
    std::vector<std::string> out;
    char path[PLIST_PATH_SIZE];
    for (int i = 0; plist_get(path, sizeof path, i); i++) out.push_back(path);
    return out;
}

}  // namespace

TEST(PlaylistStore, AppendMakesFirstEntryCurrentAndRefusesWhatDoesNotFit) {
    plist_reset();
    char out[PLIST_PATH_SIZE] = "untouched";
    EXPECT_EQ(plist_get_current(out, sizeof out), -1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(plist_select(1, true), 0);
    EXPECT_EQ(plist_get_current(nullptr, 0), -1);

    EXPECT_EQ(plist_append("C:\\a.mp3"), 1);
    EXPECT_EQ(plist_get_current(out, sizeof out), 0);
    EXPECT_STREQ(out, "C:\\a.mp3");

    std::string longest(PLIST_PATH_MAX, 'x'), too_long(PLIST_PATH_MAX + 1, 'y');
    EXPECT_EQ(plist_append(longest.c_str()), 1);
    EXPECT_EQ(plist_append(too_long.c_str()), 0);
    EXPECT_EQ(plist_count(), 2);
    EXPECT_TRUE(plist_get(out, sizeof out, 1));
    EXPECT_EQ(longest, out);
    strcpy(out, "kept");
    EXPECT_FALSE(plist_get(out, sizeof out, 2));
    EXPECT_FALSE(plist_get(out, sizeof out, -1));
    EXPECT_STREQ(out, "kept");

    // A full list refuses the next path and keeps the first 4096.
    plist_clear();
    for (int i = 0; i < PLAYLIST_CAPACITY; i++) ASSERT_EQ(plist_append(std::to_string(i).c_str()), 1);
    EXPECT_EQ(plist_append("one too many"), 0);
    EXPECT_EQ(plist_count(), PLAYLIST_CAPACITY);
    ASSERT_TRUE(plist_get(out, sizeof out, PLAYLIST_CAPACITY - 1));
    EXPECT_STREQ(out, "4095");
    EXPECT_EQ(plist_get_current(nullptr, 0), 0);
    plist_clear();
}

TEST(PlaylistStore, SelectWrapsBothWaysAndTakesTheModulo) {
    fill({"a", "b", "c"});
    EXPECT_EQ(plist_select(2, false), 2);
    EXPECT_EQ(plist_select(1, true), 0);    // last to first
    EXPECT_EQ(plist_select(-1, true), 2);   // first to last
    EXPECT_EQ(plist_select(5, false), 2);   // (5 + 30) % 3
    EXPECT_EQ(plist_select(-30, false), 0);
    EXPECT_EQ(plist_select(-31, true), 2);  // still inside the list
    // Steps far outside the list still land inside it.
    int r = plist_select(0x7FFFFFFF, true);
    EXPECT_TRUE(r >= 0 && r < 3);
    r = plist_select(-0x7FFFFFFF - 1, false);
    EXPECT_TRUE(r >= 0 && r < 3);
}

TEST(PlaylistStore, RemoveKeepsTheCurrentIndexInsideTheList) {
    struct Case {
        int remove;
        int expect_current;
        const char* expect_current_path;
    } cases[] = {{3, 0, "p0"}, {1, 2, "p3"}, {4, 3, "p3"}, {0, 2, "p3"}};
    for (const Case& c : cases) {
        fill({"p0", "p1", "p2", "p3", "p4"});
        plist_select(3, false);
        plist_remove(c.remove);
        char out[PLIST_PATH_SIZE];
        EXPECT_EQ(plist_get_current(out, sizeof out), c.expect_current) << "removing " << c.remove;
        EXPECT_STREQ(out, c.expect_current_path) << "removing " << c.remove;
        EXPECT_EQ(plist_count(), 4);
    }
    fill({"p0", "p1", "p2"});
    plist_select(2, false);
    plist_remove(2);  // the current entry: the first becomes current, not a neighbour
    EXPECT_EQ(plist_get_current(nullptr, 0), 0);
    plist_remove(7);  // no such entry
    plist_remove(-1);
    EXPECT_EQ(entries(), (std::vector<std::string>{"p0", "p1"}));

    fill({"alone"});
    plist_remove(0);
    EXPECT_EQ(plist_count(), 0);
    EXPECT_EQ(plist_get_current(nullptr, 0), -1);
}

TEST(PlaylistStore, SortComparesTenCharactersOfTheNamePartAsSignedBytes) {
    fill({"C:\\y\\b.mp3", "D:\\x\\a.mp3", "alpha.mp3", "/music/Beta.mp3", "Track 01 - Outro.mp3",
          "Track 01 - Intro.mp3", "Song 2", "Song", "\xE9t\xE9.mp3"});
    plist_select(4, false);
    EXPECT_EQ(plist_arrange(PLIST_SORT_BY_NAME), 4);
    EXPECT_EQ(entries(), (std::vector<std::string>{"\xE9t\xE9.mp3", "/music/Beta.mp3", "Song 2", "Song",
                                                   "Track 01 - Outro.mp3", "Track 01 - Intro.mp3",
                                                   "D:\\x\\a.mp3", "alpha.mp3", "C:\\y\\b.mp3"}));
    EXPECT_EQ(plist_get_current(nullptr, 0), 4);  // the Outro entry, where it now stands
    EXPECT_EQ(plist_arrange(7), 4);  // unknown mode: nothing happens
    EXPECT_STREQ(plist_name_part("a/b\\c"), "c");
    EXPECT_STREQ(plist_name_part("a\\b/c"), "b/c");
    EXPECT_STREQ(plist_name_part("plain"), "plain");
}

TEST(PlaylistStore, ShuffleFollowsTheGeneratorAndKeepsEveryEntry) {
    // Seed 1 draws 41, 18467, 6334, 26500: swaps with 1, 2, 4, 0 in a list of five.
    fill({"a", "b", "c", "d", "e"});
    plist_select(2, false);
    plist_shuffle(1);
    EXPECT_EQ(entries(), (std::vector<std::string>{"d", "c", "e", "b", "a"}));
    char current[PLIST_PATH_SIZE];
    EXPECT_EQ(plist_get_current(current, sizeof current), 1);  // "c" moved, and stays current
    EXPECT_STREQ(current, "c");

    fill({"only"});
    plist_arrange(PLIST_RANDOMIZE);
    EXPECT_EQ(entries(), (std::vector<std::string>{"only"}));

    std::vector<std::string> many;
    for (int i = 0; i < 200; i++) many.push_back(std::to_string(i));
    fill(many);
    plist_arrange(PLIST_RANDOMIZE);
    std::vector<std::string> after = entries();
    EXPECT_NE(after, many);
    std::sort(after.begin(), after.end());
    std::sort(many.begin(), many.end());
    EXPECT_EQ(after, many);
}

namespace {

// The sort as its rule is worded: positions walked one by one, whole passes
// of adjacent swaps over (name, id) pairs, at most count - 1 of them.
bool rule_goes_after(const std::string& a, const std::string& b) {
    if (a.empty()) return false;
    for (size_t k = 0;; k++) {
        if (k >= b.size() || k >= 10) return false;
        if (static_cast<signed char>(a[k]) > static_cast<signed char>(b[k])) return true;
        if (a[k] != b[k] || k + 1 >= a.size()) return false;
    }
}

std::string name_of(const std::string& path) {
    size_t slash = path.rfind('\\');
    if (slash == std::string::npos) slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<int> reference_sort(const std::vector<std::string>& paths) {
    std::vector<int> ids(paths.size());
    for (size_t i = 0; i < ids.size(); i++) ids[i] = static_cast<int>(i);
    for (size_t pass = 0; pass + 1 < paths.size(); pass++) {
        bool swapped = false;
        for (size_t j = 0; j + 1 < paths.size(); j++)
            if (rule_goes_after(name_of(paths[ids[j]]), name_of(paths[ids[j + 1]]))) {
                std::swap(ids[j], ids[j + 1]);
                swapped = true;
            }
        if (!swapped) break;
    }
    return ids;
}

// Names that tie, lead one another and carry bytes from 0x80 up: mostly
// one letter, else a few others, a space or a high byte; 0 to 13 of them,
// so some are empty behind a folder and some reach past ten.
std::string random_path(unsigned& state) {
    auto draw = [&](unsigned n) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % n;
    };
    static const char letters[] = {'a', 'b', 'B', ' ', '\xE9', '\x80'};
    static const char* const folders[] = {"", "C:\\m\\", "x/", "C:\\a/b\\"};
    std::string path = folders[draw(4)];
    size_t length = draw(14);
    for (size_t i = 0; i < length; i++) path += draw(3) ? 'a' : letters[draw(sizeof letters)];
    return path;
}

}  // namespace

TEST(PlaylistStore, SortGivesTheExchangeSortsOrderAndTheCurrentEntryStaysCurrent) {
    unsigned state = 20261208;
    auto check = [&](size_t count, int lists) {
        for (int list = 0; list < lists; list++) {
            std::vector<std::string> paths(count);
            for (auto& p : paths) p = random_path(state);
            fill(paths);
            int current = paths.empty() ? -1 : static_cast<int>(state % paths.size());
            if (current >= 0) plist_select(current, false);
            std::vector<int> ids = reference_sort(paths);
            int moved_to = plist_arrange(PLIST_SORT_BY_NAME);
            std::vector<std::string> expected;
            for (int id : ids) expected.push_back(paths[id]);
            ASSERT_EQ(entries(), expected) << count << " entries, list " << list;
            int expected_current = current < 0 ? -1 : static_cast<int>(std::find(ids.begin(), ids.end(), current) - ids.begin());
            ASSERT_EQ(moved_to, expected_current) << count << " entries, list " << list;
            ASSERT_EQ(plist_get_current(nullptr, 0), expected_current);
        }
    };
    for (size_t count = 0; count <= 64; count++) check(count, 154);  // 10,010 lists
    check(PLAYLIST_CAPACITY, 2);
    // A reversed full list: the most passes the sort makes.
    std::vector<std::string> reversed;
    for (int i = PLAYLIST_CAPACITY - 1; i >= 0; i--) reversed.push_back("D:\\" + std::to_string(100000 + i));
    fill(reversed);
    plist_arrange(PLIST_SORT_BY_NAME);
    EXPECT_EQ(entries(), std::vector<std::string>(reversed.rbegin(), reversed.rend()));
}

TEST(PlaylistStore, RemovingRowsAtOnceEndsAsRemovingThemOneByOne) {
    unsigned state = 7;
    for (int round = 0; round < 2000; round++) {
        state = state * 1103515245u + 12345u;
        int count = static_cast<int>((state >> 16) % 24);
        std::vector<std::string> paths;
        for (int i = 0; i < count; i++) paths.push_back("p" + std::to_string(i));
        std::vector<int> rows;
        for (int i = 0; i < count; i++) {
            state = state * 1103515245u + 12345u;
            if ((state >> 16) % 3 == 0) rows.push_back(i);
        }
        int current = count ? static_cast<int>(state % count) : 0;
        fill(paths);
        plist_select(current, false);
        for (auto row = rows.rbegin(); row != rows.rend(); ++row) plist_remove(*row);
        std::vector<std::string> one_by_one = entries();
        int current_one_by_one = plist_get_current(nullptr, 0);

        fill(paths);
        plist_select(current, false);
        std::vector<int> shuffled(rows.rbegin(), rows.rend());  // any order, and a row twice
        if (!rows.empty()) shuffled.push_back(rows[0]);
        shuffled.push_back(count + 3);
        EXPECT_EQ(plist_remove_rows(shuffled.data(), static_cast<int>(shuffled.size())), static_cast<int>(rows.size()));
        ASSERT_EQ(entries(), one_by_one) << "round " << round;
        ASSERT_EQ(plist_get_current(nullptr, 0), current_one_by_one) << "round " << round;
        ASSERT_EQ(plist_count(), count - static_cast<int>(rows.size()));
    }
    // Every row of a full list.
    std::vector<std::string> full(PLAYLIST_CAPACITY, "x");
    fill(full);
    std::vector<int> all(PLAYLIST_CAPACITY);
    for (int i = 0; i < PLAYLIST_CAPACITY; i++) all[i] = i;
    EXPECT_EQ(plist_remove_rows(all.data(), PLAYLIST_CAPACITY), PLAYLIST_CAPACITY);
    EXPECT_EQ(plist_count(), 0);
    EXPECT_EQ(plist_get_current(nullptr, 0), -1);
}

// What a folder scan makes of the names it meets, without touching a folder.
namespace {

// The order a folder lists names in, written another way: every run of
// digits widened to 24 places without its leading zeros, letters folded to
// lower case, then the texts compared as bytes.
std::string widened(const std::string& name) {
    std::string out;
    for (size_t i = 0; i < name.size();) {
        if (isdigit(static_cast<unsigned char>(name[i]))) {
            size_t j = i;
            while (j < name.size() && isdigit(static_cast<unsigned char>(name[j]))) j++;
            std::string digits = name.substr(i, j - i);
            digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
            out += std::string(24 - digits.size(), '0') + digits;
            i = j;
        } else {
            char c = name[i++];
            out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
    }
    return out;
}

}  // namespace

// A burst of handed-over files goes into the list as a folder lists them.
TEST(PlaylistStore, NaturalOrderTakesNumbersByValueAndIgnoresLetterCase) {
    EXPECT_TRUE(plist_natural_before("c:\\v\\Clip 2.avi", "c:\\v\\clip 10.avi"));
    EXPECT_FALSE(plist_natural_before("clip 10.avi", "Clip 2.avi"));
    EXPECT_FALSE(plist_natural_before("A.avi", "a.avi"));
    EXPECT_FALSE(plist_natural_before("a.avi", "A.avi"));
    EXPECT_TRUE(plist_natural_before("a", "a1"));
    const char alphabet[] = "aB0129 .-_\xe9";
    uint32_t seed = 7;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int round = 0; round < 20000; round++) {
        std::string a, b;
        for (int n = next() % 8; n > 0; n--) a += alphabet[next() % (sizeof alphabet - 1)];
        b = next() % 3 == 0 ? a.substr(0, next() % (a.size() + 1)) : "";
        for (int n = next() % 8; n > 0; n--) b += alphabet[next() % (sizeof alphabet - 1)];
        ASSERT_EQ(plist_natural_before(a.c_str(), b.c_str()), widened(a) < widened(b)) << "'" << a << "' '" << b << "'";
    }
    // A range put in that order; entries outside it, and the current file, stay.
    fill({"z", "c10", "C1", "c2", "c01", "a"});
    plist_select(1, false);
    plist_order_naturally(1, 5);
    EXPECT_EQ(entries(), (std::vector<std::string>{"z", "C1", "c01", "c2", "c10", "a"}));
    char path[PLIST_PATH_SIZE];
    plist_get_current(path, sizeof path);
    EXPECT_STREQ(path, "c10");
    plist_reset();
}

TEST(PlaylistImport, SkipListJoinedPathsAndTrailingSeparators) {
    for (const WCHAR* name : {L".", L"..", L"Thumbs.db", L"DESKTOP.INI", L"folder.htt"})
        EXPECT_TRUE(plist_import_skips(name));
    for (const WCHAR* name : {L"thumbs.db.avi", L"...", L"a.ini", L"", L"\u00E9"})
        EXPECT_FALSE(plist_import_skips(name));

    char out[PLIST_PATH_SIZE] = "untouched";
    ASSERT_TRUE(plist_join_path(out, sizeof out, "C:\\music", "a.mp3"));
    EXPECT_STREQ(out, "C:\\music\\a.mp3");
    // 259 characters in all fit; 260 are refused and the buffer is left alone.
    std::string folder(200, 'f'), tail(58, 't');
    ASSERT_TRUE(plist_join_path(out, sizeof out, folder.c_str(), tail.c_str()));
    EXPECT_EQ(strlen(out), 259u);
    strcpy(out, "untouched");
    EXPECT_FALSE(plist_join_path(out, sizeof out, folder.c_str(), (tail + "t").c_str()));
    EXPECT_STREQ(out, "untouched");
    char small[16];
    EXPECT_FALSE(plist_join_path(small, sizeof small, "C:\\music", "long name.mp3"));

    char a[PLIST_PATH_SIZE] = "C:\\music\\", b[PLIST_PATH_SIZE] = "D:/clips/", c[PLIST_PATH_SIZE] = "C:\\a.avi";
    EXPECT_EQ(plist_trim_separator(a), 8u);
    EXPECT_STREQ(a, "C:\\music");
    EXPECT_EQ(plist_trim_separator(b), 8u);
    EXPECT_EQ(plist_trim_separator(c), 8u);
    EXPECT_STREQ(c, "C:\\a.avi");
}
