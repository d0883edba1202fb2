// Playlist files: the text's rules on their own, then real files in a
// scratch folder read, resolved, nested and written.
#include <gtest/gtest.h>
#include <string.h>
#include <wchar.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../../app/app.h"
#include "../../app/fault_guard.h"
#include "../../playlist/playlist.h"
#include "../e2e/e2e.h"

namespace {

std::vector<std::string> names_in(const char* text, bool plain_allowed, int* kind = nullptr) {
    std::vector<std::string> out;
    int k = plist_parse_text(text, plain_allowed, [](const char* line, size_t n, void* c) {
        static_cast<std::vector<std::string>*>(c)->push_back(std::string(line, n));
    }, &out);
    if (kind) *kind = k;
    return out;
}

std::string name_of(const std::string& line) {
    char out[PLIST_PATH_SIZE] = "x";
    return plist_name_from_line(line.data(), line.size(), out, sizeof out) ? out : "<refused>";
}

std::vector<std::string> xspf_paths(const std::string& text, int* found) {
    std::vector<std::string> out;
    *found = plist_parse_xspf(text.c_str(), plist_utf8_to_path, [](const char* path, size_t, void* c) {
        static_cast<std::vector<std::string>*>(c)->push_back(path);
    }, &out);
    return out;
}

std::vector<std::string> entries() {
    std::vector<std::string> out;
    char path[PLIST_PATH_SIZE];
    for (int i = 0; plist_get(path, sizeof path, i); i++) out.push_back(plist_name_part(path));
    return out;
}

class PlaylistFiles : public ::testing::Test {
protected:
    std::string dir = e2e_test_dir("lists ");
    void SetUp() override {
        CreateDirectoryA((dir + "\\sub").c_str(), nullptr);
        plist_reset();
    }
    std::string write(const std::string& name, const std::string& content) {
        return e2e_make_file(dir + "\\" + name, content);
    }
    int load(const std::string& path) {
        char buffer[PLIST_PATH_SIZE];
        lstrcpynA(buffer, path.c_str(), sizeof buffer);
        return plist_add_path(buffer);
    }
};

}  // namespace

TEST(PlaylistText, MarkersLinesAndValues) {
    int kind;
    // Everything before the marker is ignored; the marker line is a name like the rest.
    EXPECT_EQ(names_in("junk\r\n#extm3u\r\na.mp3\n\n#EXTINF:1,x\rb c.mp3", false, &kind),
              (std::vector<std::string>{"#extm3u", "a.mp3", "#EXTINF:1,x", "b c.mp3"}));
    EXPECT_EQ(kind, PLIST_TEXT_M3U);
    // Both markers: M3U, whatever the order.
    names_in("[playlist]\nFile1=x\n#EXTM3U\ny", false, &kind);
    EXPECT_EQ(kind, PLIST_TEXT_M3U);
    // PLS: every value in line order, keys unread; a value may hold '='.
    EXPECT_EQ(names_in("[PlayList]\nFile2=second\nFile1=C:\\a=b.mp3\nTitle1=t\nnoequals\nNumberOfEntries=2", false,
                       &kind),
              (std::vector<std::string>{"second", "C:\\a=b.mp3", "t", "2"}));
    EXPECT_EQ(kind, PLIST_TEXT_PLS);
    // Neither marker: nothing, unless the name allows a plain list.
    EXPECT_TRUE(names_in("a.mp3\nb.mp3", false, &kind).empty());
    EXPECT_EQ(kind, PLIST_TEXT_NONE);
    EXPECT_EQ(names_in("\xEF\xBB\xBF" "a.mp3\r\nb.mp3\r\n", true, &kind), (std::vector<std::string>{"a.mp3", "b.mp3"}));
    EXPECT_EQ(kind, PLIST_TEXT_PLAIN);

    EXPECT_EQ(name_of("file:///C:/Music/My%20Song.mp3"), "C:\\Music\\My Song.mp3");
    EXPECT_EQ(name_of("FILE://localhost/D:/a%2Fb%zz.ogg"), "D:\\a/b%zz.ogg");  // escapes are taken as they are
    EXPECT_EQ(name_of("file:///C:/nul%00here.mp3"), "<refused>");
    EXPECT_EQ(name_of("relative\\name.avi"), "relative\\name.avi");
    EXPECT_EQ(name_of(std::string(259, 'n')).size(), 259u);
    EXPECT_EQ(name_of(std::string(260, 'n')), "<refused>");  // never cut into another path
    EXPECT_EQ(plist_find_text("abc", nullptr, true), std::string("abc"));
    EXPECT_EQ(plist_find_text("", "", true), nullptr);
}

// Each track's first location, in document order, as a path in the code
// page (here 1252); a location with a character the code page lacks is left out.
TEST(PlaylistText, XspfLocations) {
    int found = 0;
    std::string text =
        "junk <b>before</b><?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\"><title>no <location>x</location></title>\n"
        "<trackList>\n"
        " <track><title>no location</title></track>\n"
        " <track>\n   <location>\n     file:///C:/My%20Music/caf%C3%A9.mp3\n   </location>"
        "<location>an alternative</location></track>\n"
        " <!-- <track><location>C:\\commented.mp3</location></track> -->\n"
        " <track><location>C:\\Tom &amp; Jerry &lt;1&gt; &apos;x&apos; &quot;y&quot;.avi</location></track>\n"
        " <track><location a=\"&gt;\">rel/na&#xEF;ve&#233;.ogg</location></track>\n"
        " <track><location>file:///C:/%E4%B8%AD.mp3</location></track>\n"
        " <track><location>file://server/share/a.mp3</location></track>\n"
        " <track><location>&#0;bad</location></track>\n"
        "</trackList></playlist> trailing junk <track><location>";
    EXPECT_EQ(xspf_paths(text, &found),
              (std::vector<std::string>{"C:\\My Music\\caf\xE9.mp3", "C:\\Tom & Jerry <1> 'x' \"y\".avi",
                                        "rel/na\xEFve\xE9.ogg", "\\\\server\\share\\a.mp3"}));
    EXPECT_EQ(found, 6);
    EXPECT_TRUE(xspf_paths("<playlist><trackList></trackList></playlist>", &found).empty());
    EXPECT_EQ(found, 0);
    // CDATA is taken as it stands, comments drop out, and neither ends the location.
    EXPECT_EQ(xspf_paths("<playlist><track><location> <![CDATA[C:\\a&amp;</location>]]><!-- x\\ -->.mp3 "
                         "</location></track><track><location>\n <!-- c -->\n file:///C:/b%20c.ogg<!---->\n"
                         "</location></track><track><location><![CDATA[ ]]></location></track></playlist>",
                         &found),
              (std::vector<std::string>{"C:\\a&amp;</location>.mp3", "C:\\b c.ogg"}));
    EXPECT_EQ(found, 3);

    // An XSPF list by its root element, past what may come before it.
    EXPECT_TRUE(plist_text_is_xspf("\xEF\xBB\xBF \r\n<?xml version=\"1.0\"?><!-- <svg> --><playlist>"));
    EXPECT_TRUE(plist_text_is_xspf("<?xml version='1.0'?><!DOCTYPE x [<!ENTITY a '>'>]><x:playlist xmlns:x='y'/>"));
    EXPECT_TRUE(plist_text_is_xspf("<playlist version=\"1\">"));
    EXPECT_FALSE(plist_text_is_xspf("<?xml version=\"1.0\"?><svg><playlist>"));
    EXPECT_FALSE(plist_text_is_xspf("<?xml version=\"1.0\"?>\n<playlists>"));
    EXPECT_FALSE(plist_text_is_xspf("<?xml version=\"1.0\"?><!-- cut off before the root"));
    EXPECT_FALSE(plist_text_is_xspf("<?xml version=\"1.0\"?><playlist"));
    EXPECT_FALSE(plist_text_is_xspf("#EXTM3U\n<?xml"));
}

TEST_F(PlaylistFiles, LoadsResolvesAndNestsWithoutLoopingForever) {
    std::string a = write("a clip.avi", "x"), b = write("sub\\b clip.avi", "x");
    write("sub\\inner.m3u", "#EXTM3U\r\nb clip.avi\r\n..\\a clip.avi\r\n");  // relative to its own folder
    // Names a folder (skipped), the nested list, a missing file and an over-long line.
    write("outer.pls", "[playlist]\nFile1=" + dir + "\nFile2=sub\\inner.m3u\nFile3=missing.avi\nFile4=" +
                           std::string(300, 'z') + "\nFile5=file:///" + a + "\n");
    SetCurrentDirectoryA("C:\\");  // relative lines must not depend on where the process stands
    EXPECT_EQ(load(dir + "\\outer.pls"), 1);
    EXPECT_EQ(entries(), (std::vector<std::string>{"b clip.avi", "a clip.avi", "a clip.avi"}));
    char first[PLIST_PATH_SIZE];
    plist_get(first, sizeof first, 0);
    EXPECT_EQ(lstrcmpiA(first, b.c_str()), 0) << first << " is stored by its full path";

    // A list naming itself, and two naming each other, finish loading.
    plist_reset();
    write("self.m3u", "#EXTM3U\r\nself.m3u\r\na clip.avi\r\n");
    EXPECT_EQ(load(dir + "\\self.m3u"), 1);
    EXPECT_EQ(entries(), (std::vector<std::string>{"a clip.avi"}));
    plist_reset();
    write("one.m3u", "#EXTM3U\r\ntwo.m3u\r\na clip.avi\r\n");
    write("two.m3u", "#EXTM3U\r\none.m3u\r\nsub\\b clip.avi\r\n");
    EXPECT_EQ(load(dir + "\\one.m3u"), 1);
    EXPECT_EQ(entries(), (std::vector<std::string>{"b clip.avi", "a clip.avi"}));

    // Sniffed: a marker in the first 200 bytes of any name; later only by name.
    EXPECT_TRUE(plist_is_playlist_file(write("songs.txt", "#extm3u\n" + std::string(300, ' ')).c_str()));
    EXPECT_FALSE(plist_is_playlist_file(write("late.txt", std::string(300, ' ') + "#EXTM3U\n").c_str()));
    EXPECT_FALSE(plist_is_playlist_file(write("short.txt", "#EXTM3U\n").c_str()));  // fewer than 200 bytes
    // A media type's name is taken at its word: never opened to look.
    EXPECT_FALSE(plist_is_playlist_file(write("song.MP3", "#extm3u\n" + std::string(300, ' ')).c_str()));
    // XSPF by its start, however short, its locations beside the list.
    plist_reset();
    EXPECT_EQ(load(write("other.txt", "<playlist><trackList><track><location>a%20clip.avi</location></track>")), 1);
    EXPECT_EQ(entries(), (std::vector<std::string>{"a clip.avi"}));
    // UTF-8 with a byte-order mark, in a plain list without a marker.
    plist_reset();
    std::string accented = write("caf\xE9.avi", "x");  // in this system's code page
    write("utf.m3u8", "\xEF\xBB\xBF" "caf\xC3\xA9.avi\r\n");
    EXPECT_EQ(load(dir + "\\utf.m3u8"), 1);
    EXPECT_EQ(entries(), (std::vector<std::string>{"caf\xE9.avi"}));
}

TEST_F(PlaylistFiles, SavesWholeFilesOrNone) {
    auto read = [&](const std::string& name) { return e2e_read_file(dir + "\\" + name); };
    char name[PLIST_PATH_SIZE];
    auto save = [&](const std::string& as) {
        lstrcpynA(name, (dir + "\\" + as).c_str(), sizeof name);
        return plist_save_m3u(name, sizeof name);
    };
    ASSERT_EQ(save("empty"), 1);
    EXPECT_EQ(read("empty.m3u"), "#EXTM3U\r\n");
    std::string a = write("a.avi", "x"), b = write("b.avi", "x");
    plist_append(b.c_str());
    plist_append(a.c_str());
    const std::string expected = "#EXTM3U\r\n" + b + "\r\n" + a + "\r\n";
    ASSERT_EQ(save("list.txt"), 1);
    EXPECT_STREQ(name + strlen(name) - 12, "list.txt.m3u");
    // A name ending in .m3u8 is kept (what it holds, UTF-8, the Unicode test and the launch test check).
    ASSERT_EQ(save("utf.m3u8"), 1);
    EXPECT_STREQ(name + strlen(name) - 8, "utf.m3u8");

    // Names up to the longest a path may be are saved whole, and a file of the
    // user's that merely looks like a scratch name beside the target is left
    // alone; the list loads back.
    write("list.M3U.part", "mine");
    ASSERT_EQ(save("list.M3U"), 1);
    EXPECT_EQ(read("list.M3U.part"), "mine");
    for (size_t length = 255; length <= PLIST_PATH_MAX; length++) {
        std::string file = std::string(length - dir.size() - 5, 'L') + ".m3u";
        ASSERT_EQ(save(file), 1) << length;
        EXPECT_EQ(read(file), expected) << length;
        DeleteFileA((dir + "\\" + file).c_str());
    }
    EXPECT_EQ(read("list.M3U"), expected);
    plist_reset();
    EXPECT_EQ(load(dir + "\\list.M3U"), 1);
    EXPECT_EQ(entries(), (std::vector<std::string>{"b.avi", "a.avi"}));

    // A target that cannot be written: 0, and nothing left behind.
    auto listing = [&] {
        std::vector<std::string> names;
        WIN32_FIND_DATAA f;
        HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &f);
        do names.push_back(f.cFileName);
        while (FindNextFileA(find, &f));
        FindClose(find);
        return names;
    };
    CreateDirectoryA((dir + "\\taken.m3u").c_str(), nullptr);
    std::vector<std::string> before = listing();
    EXPECT_EQ(save("taken.m3u"), 0);
    EXPECT_EQ(listing(), before);
    std::string longest(PLIST_PATH_MAX - dir.size() - 3, 'n');  // no room for ".m3u"
    EXPECT_EQ(save(longest), 0);
}

// Station addresses in every kind of list are kept as they stand, each with
// the title its list gives it; a title-like value is no entry.
TEST_F(PlaylistFiles, StationAddressesKeepTheirTitlesInEveryFormat) {
    struct Case {
        std::string name, text;
        std::vector<std::string> urls, titles;
    };
    const Case cases[] = {
        {"radio.pls",
         "[playlist]\nTitle2=Second FM\nFile1=http://127.0.0.1:8000/one\nFile2=https://radio.example/two?x=1&y=%20\n"
         "Title1=First FM\nFile3=http://radio.example/three\nTitle3=\nTitle4=http://radio.example/title\n"
         "Title01=late\nNumberOfEntries=3\n",
         {"http://127.0.0.1:8000/one", "https://radio.example/two?x=1&y=%20", "http://radio.example/three"},
         {"First FM", "Second FM", ""}},
        {"radio.m3u",
         "#EXTM3U\n#EXTINF:-1 tvg-name=\"a,b\",  Jazz, Live  \n#EXTVLCOPT:network-caching=1000\n"
         "https://radio.example/jazz\nhttp://radio.example/untitled\n#EXTINF:-1,Orphan\n",
         {"https://radio.example/jazz", "http://radio.example/untitled"}, {"Jazz, Live", ""}},
        {"radio.m3u8", "#EXTM3U\n#EXTINF:-1,Caf\xC3\xA9 Radio\nhttp://radio.example/caf%C3%A9\n",
         {"http://radio.example/caf%C3%A9"}, {"Caf\xE9 Radio"}},
        {"radio.xspf",
         "<playlist><trackList><track><location>http://radio.example/a%20b \xC3\xA9</location>"
         "<extension><title>not this</title></extension><title>A &amp; B</title></track>"
         "<track><title><![CDATA[Caf\xC3\xA9]]></title><location>https://radio.example/c</location></track>"
         "<track><location>http://radio.example/d</location></track></trackList></playlist>",
         {"http://radio.example/a%20b%20%C3%A9", "https://radio.example/c", "http://radio.example/d"},
         {"A & B", "Caf\xE9", ""}},
    };
    for (const Case& c : cases) {
        plist_reset();
        for (const std::string& url : c.urls) plist_set_title(url.c_str(), nullptr);
        ASSERT_EQ(load(write(c.name, c.text)), 1) << c.name;
        std::vector<std::string> urls, titles;
        char path[PLIST_PATH_SIZE], title[PLIST_TITLE_SIZE];
        for (int i = 0; plist_get(path, sizeof path, i); i++) {
            urls.push_back(path);
            int found = plist_title_of(path, title, sizeof title);
            EXPECT_EQ(found, title[0] ? 1 : 0);
            titles.push_back(title);
        }
        EXPECT_EQ(urls, c.urls) << c.name;
        EXPECT_EQ(titles, c.titles) << c.name;
    }
}

// Titles are kept by address, the newest word standing, and no more of them
// than the list holds entries: the first set is the first forgotten.
TEST(PlaylistText, TitlesAreKeptByAddressTheOldestForgotten) {
    auto title_of = [](const std::string& path, size_t size = PLIST_TITLE_SIZE) {
        char out[PLIST_TITLE_SIZE] = "junk";
        int found = plist_title_of(path.c_str(), out, size);
        EXPECT_EQ(found, out[0] ? 1 : 0);
        return std::string(out);
    };
    auto url = [](int i) { return "http://radio.example/" + std::to_string(i); };
    for (int i = 0; i <= PLAYLIST_CAPACITY; i++) plist_set_title(url(i).c_str(), ("Station " + std::to_string(i)).c_str());
    EXPECT_EQ(title_of(url(0)), "");
    EXPECT_EQ(title_of(url(1)), "Station 1");
    EXPECT_EQ(title_of(url(PLAYLIST_CAPACITY)), "Station " + std::to_string(PLAYLIST_CAPACITY));
    // A new address forgets the oldest; a new title for a known one, or
    // none, forgets nothing else.
    plist_set_title("http://radio.example/new", std::string(300, 't').c_str());
    plist_set_title(url(2).c_str(), "Renamed");
    plist_set_title(url(3).c_str(), "");
    EXPECT_EQ(title_of(url(1)), "");
    EXPECT_EQ(title_of(url(2)), "Renamed");
    EXPECT_EQ(title_of(url(3)), "");
    EXPECT_EQ(title_of(url(4)), "Station 4");
    EXPECT_EQ(title_of("http://radio.example/new"), std::string(PLIST_TITLE_SIZE - 1, 't'));
    EXPECT_EQ(title_of(url(2), 4), "Ren");  // cut to the caller's buffer
    EXPECT_EQ(title_of("http://radio.example/1/"), "");
}

namespace {

// A code page of UTF-8, answered as Windows answers it: the best-fit flag and
// the lossy question are refused. Each path converted is checked to stay in
// the folder scanned, and one that leaves it is refused, so a scan cannot
// climb the tree.
std::string g_scanned;
bool g_left_scanned;
UINT WINAPI utf8_code_page() { return CP_UTF8; }
int WINAPI utf8_conversion(UINT page, DWORD flags, LPCWCH wide, int n, LPSTR out, int size, LPCCH fallback,
                           LPBOOL lossy) {
    if (page != CP_ACP && page != CP_UTF8) return WideCharToMultiByte(page, flags, wide, n, out, size, fallback, lossy);
    if (flags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    if (fallback || lossy) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int made = WideCharToMultiByte(CP_UTF8, flags, wide, n, out, size, nullptr, nullptr);
    if (made > 0 && out) {
        const std::string path = std::string(out) + "\\", folder = g_scanned + "\\";
        const bool inside = lstrcmpiA(path.substr(0, folder.size()).c_str(), folder.c_str()) == 0 &&
                            path.find("\\.\\") == std::string::npos && path.find("\\..\\") == std::string::npos;
        if (!inside) {
            g_left_scanned = true;
            return 0;
        }
    }
    return made;
}
DWORD WINAPI no_short_name(LPCWSTR, LPWSTR, DWORD) { return 0; }

}  // namespace

TEST_F(PlaylistFiles, AFolderScanLoadsThePlaylistsItHoldsAndStaysInItsFolder) {
    CreateDirectoryA((dir + "\\scan").c_str(), nullptr);
    CreateDirectoryA((dir + "\\scan\\deeper").c_str(), nullptr);
    write("scan\\1.avi", "x");
    write("scan\\deeper\\2.avi", "x");
    write("scan\\Thumbs.db", "x");
    write("scan\\list.m3u", "#EXTM3U\r\n1.avi\r\n");
    // XML of any name is a list only when its root is one; the rest are files.
    write("scan\\songs.xml", "<?xml version=\"1.0\"?>\n<!-- <svg> -->\n<!DOCTYPE playlist [<!ENTITY e \">\">]>\n"
                             "<playlist xmlns=\"http://xspf.org/ns/0/\"><trackList><track>"
                             "<location>deeper/2.avi</location></track></trackList></playlist>");
    write("scan\\drawing.svg", "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\">" +
                                   std::string(100000, ' ') + "<text>playlist</text></svg>");
    const std::vector<std::string> expected = {"1.avi", "1.avi", "2.avi", "2.avi", "drawing.svg"};
    EXPECT_EQ(load(dir + "\\scan\\"), 1);  // a trailing separator is dropped
    std::vector<std::string> got = entries();
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, expected);

    // Under a UTF-8 code page the scan finds the same files and never leaves
    // the folder it was given through "." or "..".
    plist_reset();
    g_scanned = dir + "\\scan";
    g_left_scanned = false;
    app_code_page = utf8_code_page;
    app_wide_to_ansi = utf8_conversion;
    app_short_path_lookup = no_short_name;
    EXPECT_EQ(load(dir + "\\scan"), 1);
    app_code_page = GetACP;
    app_wide_to_ansi = WideCharToMultiByte;
    app_short_path_lookup = GetShortPathNameW;
    EXPECT_FALSE(g_left_scanned);
    got = entries();
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, expected);
}

TEST_F(PlaylistFiles, HostileListsAndTreesEndWithoutHarm) {
    // 10,000 lines naming one missing file, and a 100 MB list of noise.
    std::string missing = "#EXTM3U\r\n";
    for (int i = 0; i < 10000; i++) missing += dir + "\\gone.avi\r\n";
    DWORD start = GetTickCount();
    EXPECT_EQ(load(write("missing.m3u", missing)), 1);
    std::string noise(100u << 20, 'n');
    uint32_t seed = 3;
    for (size_t i = 0; i < noise.size(); i += 97) noise[i] = static_cast<char>((seed = seed * 1664525u + 1013904223u) >> 24);
    noise.replace(0, 9, "#EXTM3U\r\n");
    EXPECT_EQ(load(write("huge.m3u", noise)), 1);
    noise.clear();
    EXPECT_EQ(plist_count(), 0);
    EXPECT_LT(GetTickCount() - start, 30000u);

    // A tree 50 folders deep: what fits in 259 characters is added, the rest passed over.
    std::string deep = dir + "\\deep";
    CreateDirectoryA(deep.c_str(), nullptr);
    for (int level = 0; level < 50; level++) {
        write(deep.substr(dir.size() + 1) + "\\f.avi", "x");
        deep += "\\d";
        if (!CreateDirectoryA(deep.c_str(), nullptr)) break;  // the file system's own limit
    }
    EXPECT_EQ(load(dir + "\\deep"), 1);
    EXPECT_GT(plist_count(), 0);
    char path[PLIST_PATH_SIZE];
    for (int i = 0; plist_get(path, sizeof path, i); i++) ASSERT_LE(strlen(path), 259u);

    // Exactly 259 characters is a path; 260 is refused, not cut.
    plist_reset();
    std::string at259 = dir + "\\" + std::string(259 - dir.size() - 1, 'p');
    write(at259.substr(dir.size() + 1), "x");
    EXPECT_EQ(load(at259), 1);
    EXPECT_EQ(plist_count(), 1);
    EXPECT_EQ(load(at259 + "q"), 0);
    EXPECT_EQ(plist_count(), 1);
}

// A fault in the middle of loading one playlist, nested in another, is caught
// by the guard a message runs under; afterwards both load as before.
TEST_F(PlaylistFiles, AFaultWhileLoadingLeavesThePlaylistLoadable) {
    write("a.avi", "x");
    write("b.avi", "x");
    write("inner.m3u", "#EXTM3U\r\nb.avi\r\n");
    std::string outer = write("outer.m3u", "#EXTM3U\r\ninner.m3u\r\na.avi\r\n");
    static bool faulting;
    static volatile int* nowhere;
    plist_loading_line_hook = [](const char* name) {
        if (faulting && strcmp(name, "b.avi") == 0) *nowhere = 1;
    };
    faulting = true;
    app_run_guarded([](void* path) { plist_load_file(static_cast<std::string*>(path)->c_str()); }, &outer);
    faulting = false;
    plist_reset();
    EXPECT_EQ(load(outer), 1);
    EXPECT_EQ(entries(), (std::vector<std::string>{"b.avi", "a.avi"}));
    plist_loading_line_hook = nullptr;
}

// Names beyond the code page as other tools write them: UTF-8 in an .m3u8
// beside the list, an escaped file:// URL in an .m3u, bare UTF-8 in a .pls
// and an XSPF. Each opens by its short name; saved as .m3u8, the real name
// goes back out.
TEST_F(PlaylistFiles, UnicodeNamesOpenByTheirShortNamesAndSaveByTheirReal) {
    const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC.avi";  // two kanji, in UTF-8
    const std::wstring wide = e2e_make_file(e2e_wide(dir + "\\" + japanese, CP_UTF8));
    std::string url = "file:///" + dir + "/%E6%97%A5%E6%9C%AC.avi";
    std::replace(url.begin(), url.end(), '\\', '/');
    write("a.m3u8", "#EXTM3U\r\n" + japanese + "\r\n");
    write("b.m3u", "#EXTM3U\r\n" + url + "\r\n");
    write("c.pls", "[playlist]\r\nFile1=" + dir + "\\" + japanese + "\r\n");
    write("d.xspf", "<playlist><trackList><track><location>" + japanese + "</location></track></trackList></playlist>");
    // An older list in the code page whose bytes merely read as UTF-8 still names its own file.
    write("\xC3\xA9.avi", "x");
    write("e.m3u", "#EXTM3U\r\n\xC3\xA9.avi\r\n");
    for (const char* list : {"a.m3u8", "b.m3u", "c.pls", "d.xspf", "e.m3u"})
        EXPECT_EQ(load(dir + "\\" + list), 1) << list;
    ASSERT_EQ(plist_count(), 5);
    // A list so named is opened by a short name that keeps ".M3U" of ".m3u8":
    // still UTF-8 alone, so the code page's bytes of "cafe" name nothing.
    write("caf\xE9.avi", "x");
    const std::wstring list = e2e_make_file(e2e_wide(dir + "\\" + japanese + ".m3u8", CP_UTF8), "caf\xE9.avi\r\n");
    EXPECT_EQ(plist_add_wide_path(list.c_str()), 1);
    EXPECT_EQ(plist_count(), 5) << "a line not in UTF-8 was taken from an .m3u8";
    char path[PLIST_PATH_SIZE];
    for (int i = 0; i < 4; i++) {
        ASSERT_TRUE(plist_get(path, sizeof path, i));
        WCHAR real[MAX_PATH];
        EXPECT_TRUE(app_file_exists(path)) << path;
        ASSERT_TRUE(app_long_name(path, real, MAX_PATH)) << path;
        EXPECT_STREQ(wcsrchr(real, '\\') + 1, wcsrchr(wide.c_str(), '\\') + 1);
        // Shown again, the name already found still fits the buffer it is given, or is refused.
        ASSERT_TRUE(app_shown_name(path, real, MAX_PATH)) << path;
        ASSERT_TRUE(app_shown_name(path, real, MAX_PATH)) << path;
        EXPECT_STREQ(wcsrchr(real, '\\') + 1, wcsrchr(wide.c_str(), '\\') + 1);
        EXPECT_FALSE(app_shown_name(path, real, wide.size())) << path;
    }
    ASSERT_TRUE(plist_get(path, sizeof path, 4));
    EXPECT_STREQ(plist_name_part(path), "\xC3\xA9.avi");

    char name[PLIST_PATH_SIZE];
    lstrcpynA(name, (dir + "\\round.m3u8").c_str(), sizeof name);
    ASSERT_EQ(plist_save_m3u(name, sizeof name), 1);
    plist_reset();
    ASSERT_EQ(load(name), 1);
    std::string text = e2e_read_file(name);
    EXPECT_EQ(text.find('~'), std::string::npos) << text;
    EXPECT_NE(text.find("\\" + japanese + "\r\n"), std::string::npos) << text;
    EXPECT_EQ(plist_count(), 5) << "the saved list loads back whole";

    // A real name far longer than a path buffer, opened by a short name that
    // fits one, is saved whole: three bytes of UTF-8 to each of its characters.
    WCHAR by_short[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, dir.c_str(), -1, by_short, MAX_PATH);
    std::string tail;
    for (int level = 0; level < 4; level++) {
        const std::wstring folder = by_short + (L"\\" + std::wstring(80, L'\u65E5'));
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        ASSERT_GT(GetShortPathNameW(folder.c_str(), by_short, MAX_PATH), 0u);
        tail += "\\";
        for (int i = 0; i < 80; i++) tail += "\xE6\x97\xA5";
    }
    lstrcatW(by_short, L"\\f.avi");
    e2e_make_file(by_short);
    ASSERT_TRUE(WideCharToMultiByte(CP_ACP, 0, by_short, -1, path, sizeof path, nullptr, nullptr));
    plist_reset();
    plist_append(path);
    ASSERT_EQ(plist_save_m3u(name, sizeof name), 1) << path;
    text = e2e_read_file(name);
    EXPECT_NE(text.find(tail + "\\f.avi\r\n"), std::string::npos) << text;
}
