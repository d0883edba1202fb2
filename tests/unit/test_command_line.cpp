// Command-line parsing against real files in a scratch folder.
#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wchar.h>

#include <algorithm>
#include <string>

#include "../../app/app.h"
#include "../../app/command_line_parse.h"
#include "../../playlist/playlist.h"
#include "../../ui/ui.h"
#include "../e2e/e2e.h"

namespace {

class CommandLine : public ::testing::Test {
protected:
    // A folder of each test's own, its name with a space.
    std::string dir = e2e_test_dir("cmd ");
    std::string make(const std::string& name) { return e2e_make_file(dir + "\\" + name, ""); }
    std::string parse(const std::string& line) {
        char out[APP_PATH_SIZE] = "sentinel";
        EXPECT_EQ(app_parse_command_line(line.c_str(), out, sizeof out), 1) << line;
        return out;
    }
};

bool make_shortcut(const std::string& link_path, const std::string& target) {
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    bool ok = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                         reinterpret_cast<void**>(&link)));
    if (ok) ok = SUCCEEDED(link->SetPath(target.c_str()));
    if (ok) ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
    if (ok) {
        ok = SUCCEEDED(file->Save(e2e_wide(link_path).c_str(), TRUE));
        file->Release();
    }
    if (link) link->Release();
    CoUninitialize();
    return ok;
}

}  // namespace

TEST_F(CommandLine, FindsPathsWithSpacesQuotesAndTrailingText) {
    char out[APP_PATH_SIZE] = "sentinel";
    EXPECT_EQ(app_parse_command_line(nullptr, out, sizeof out), 0);
    EXPECT_EQ(app_parse_command_line("", out, sizeof out), 0);
    EXPECT_STREQ(out, "sentinel");

    std::string spaced = make("my clip.final.avi");
    EXPECT_EQ(parse(spaced), spaced);                    // unquoted, spaces in folder and name
    EXPECT_EQ(parse(spaced + " /fullscreen"), spaced);   // switches after the name
    EXPECT_EQ(parse("\"" + spaced + "\""), spaced);

    std::string no_dot = make("README");
    EXPECT_EQ(parse("\"" + no_dot + "\""), no_dot);      // only the quote rule finds it
    EXPECT_EQ(parse(no_dot), "");

    // A dot after the name misleads the scan; quotes rescue it, nothing else does.
    EXPECT_EQ(parse("\"" + spaced + "\" -volume 0.5"), spaced);
    EXPECT_EQ(parse(spaced + " -volume 0.5"), "");

    EXPECT_EQ(parse("abc"), "");
    EXPECT_EQ(parse("C:\\no such folder\\none.mp3"), "");

    // A folder is named too: quoted or not, with or without its trailing
    // separator, with no dot to end its name.
    std::string folder = dir + "\\a folder.d", album = dir + "\\my album";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA(album.c_str(), nullptr);
    EXPECT_EQ(parse(folder), folder);
    EXPECT_EQ(parse(folder + "\\"), folder + "\\");
    EXPECT_EQ(parse("\"" + album + "\\\""), album + "\\");
    EXPECT_EQ(parse(album), album);
    EXPECT_EQ(parse(album + "\\ "), album + "\\");

    // A file held open without read sharing cannot be opened for reading.
    HANDLE held = CreateFileA(spaced.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(app_file_exists(spaced.c_str()), 0);
    CloseHandle(held);
}

TEST_F(CommandLine, OverlongCandidatesAreRefusedNotCut) {
    // A real file whose path is the first 259 characters of a longer name: cutting
    // the long name would silently open this other file.
    std::string base = dir + "\\";
    std::string name(259 - base.size() - 4, 'n');
    std::string short_file = make(name + ".avi");
    ASSERT_EQ(short_file.size(), 259u);
    EXPECT_EQ(parse(short_file), short_file);

    std::string longer = short_file + "x.avi";
    EXPECT_EQ(parse(longer), "");
    EXPECT_EQ(parse("\"" + longer + "\""), "");
    std::string huge(100000, 'q');
    EXPECT_EQ(parse("C:\\" + huge + ".mp3"), "");
    EXPECT_EQ(parse("\"" + huge + "\""), "");
}

TEST_F(CommandLine, ResolvesLowerCaseShortcutsOnly) {
    std::string target = make("target clip.wmv");
    std::string link = dir + "\\clip.lnk";
    ASSERT_TRUE(make_shortcut(link, target));
    std::string resolved = parse(link);
    EXPECT_EQ(lstrcmpiA(resolved.c_str(), target.c_str()), 0) << resolved;
    char small[8] = "keep";  // a target that does not fit leaves the buffer alone
    EXPECT_EQ(app_resolve_shortcut(small, sizeof small, link.c_str()), 0);
    EXPECT_STREQ(small, "keep");

    std::string upper = dir + "\\CLIP2.LNK";
    ASSERT_TRUE(make_shortcut(upper, target));
    EXPECT_EQ(lstrcmpiA(parse(upper).c_str(), upper.c_str()), 0);

    // Reached by its short name, whose extension is ".LNK" whatever the real
    // one's: the real name tells, and capitals there still mean no shortcut.
    const std::wstring wide_link = e2e_wide(link), folder = e2e_wide(dir + "\\");
    for (const std::wstring real : {L"\u65E5\u672C.lnk", L"\u65E5\u672C.LNK"}) {
        const std::wstring beyond = folder + real;
        ASSERT_TRUE(MoveFileW(wide_link.c_str(), beyond.c_str()));
        char by_short[APP_PATH_SIZE], out[APP_PATH_SIZE];
        ASSERT_EQ(app_ansi_path(beyond.c_str(), by_short, sizeof by_short), APP_PATH_SHORT);
        ASSERT_EQ(app_parse_wide_command_line(beyond.c_str(), out, sizeof out), 1);
        const std::string expected = real.back() == L'k' ? target : by_short;
        EXPECT_EQ(lstrcmpiA(out, expected.c_str()), 0) << out;
        MoveFileW(beyond.c_str(), wide_link.c_str());
    }

    // Not a shortcut at all: the path stays as it was.
    std::string fake = make("broken.lnk");
    EXPECT_EQ(parse(fake), fake);
    char buffer[APP_PATH_SIZE];
    lstrcpyA(buffer, fake.c_str());
    EXPECT_EQ(app_resolve_shortcut(buffer, sizeof buffer, buffer), 0);
    EXPECT_EQ(fake, buffer);
}

namespace {

DWORD WINAPI no_short_name(LPCWSTR, LPWSTR, DWORD) { return 0; }
// As a drive with short names off answers: the long name back.
DWORD WINAPI long_name_back(LPCWSTR path, LPWSTR out, DWORD count) {
    lstrcpynW(out, path, static_cast<int>(count));
    return static_cast<DWORD>(lstrlenW(out));
}

// The text of a box with this caption the test raises, closed with OK; empty
// when none came before the telling ended (or within 10 s).
struct BoxWatch {
    const char* caption;
    std::string text;
    volatile bool told;
};
DWORD WINAPI answer_box(void* p) {
    BoxWatch* watch = static_cast<BoxWatch*>(p);
    for (int waited = 0; waited < 10000 && !watch->told; waited += 20, Sleep(20)) {
        HWND box = FindWindowA("#32770", watch->caption);
        if (!box) continue;
        char text[512] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        watch->text = text;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return 0;
    }
    return 0;
}

}  // namespace

TEST_F(CommandLine, NamesBeyondTheCodePageGoByTheirShortNamesOrAreCountedOnce) {
    const std::wstring wide_dir = e2e_wide(dir), japanese = wide_dir + L"\\\u65E5\u672C\u8A9E.avi";
    e2e_make_file(japanese);
    char out[APP_PATH_SIZE];
    // Names in the code page, and a short name's way from the command line to
    // the strip, are checked by the launch tests. A look-alike is another name.
    make("a.avi");
    EXPECT_EQ(app_ansi_path((wide_dir + L"\\\u0101.avi").c_str(), out, sizeof out), APP_PATH_NONE);
    // Otherwise the short name, in ASCII; a plain path is shown as it stands.
    ASSERT_EQ(app_ansi_path(japanese.c_str(), out, sizeof out), APP_PATH_SHORT);
    std::string short_form = out;
    EXPECT_TRUE(std::all_of(short_form.begin(), short_form.end(), [](char c) { return c > 0; })) << short_form;
    WCHAR real[MAX_PATH];
    EXPECT_FALSE(app_long_name(dir.c_str(), real, MAX_PATH));
    char tiny[8] = "x";
    EXPECT_EQ(app_ansi_path(japanese.c_str(), tiny, sizeof tiny), APP_PATH_NONE);
    EXPECT_STREQ(tiny, "");

    // Short names off: no name to open it by, the command line says so, and each import
    // counts it for one telling, beside the files a full list left out.
    for (auto lookup : {no_short_name, long_name_back}) {
        app_short_path_lookup = lookup;
        EXPECT_EQ(app_ansi_path(japanese.c_str(), out, sizeof out), APP_PATH_UNOPENABLE_NAME);
        EXPECT_EQ(app_parse_wide_command_line(japanese.c_str(), out, sizeof out), APP_PATH_UNOPENABLE_NAME);
        plist_reset();
        EXPECT_EQ(plist_add_wide_path(japanese.c_str()), 0);
        EXPECT_EQ(plist_count(), 0);
    }
    app_short_path_lookup = GetShortPathNameW;
    std::string some = make("some.avi");
    for (int i = 0; i < PLAYLIST_CAPACITY; i++) plist_append(some.c_str());
    std::vector<char> full(some.begin(), some.end());
    full.push_back(0);
    plist_add_path(full.data());
    g_viewer_window = CreateWindowA("STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    auto tell = [] {
        BoxWatch watch = {"Files Not Added", "", false};
        HANDLE watcher = CreateThread(nullptr, 0, answer_box, &watch, 0, nullptr);
        plist_tell_not_added();
        watch.told = true;
        WaitForSingleObject(watcher, 15000);
        CloseHandle(watcher);
        return watch.text;
    };
    std::string told = tell();
    EXPECT_NE(told.find("1 files were not added."), std::string::npos) << told;
    EXPECT_NE(told.find("2 files were not added: their names"), std::string::npos) << told;
    EXPECT_EQ(tell(), "") << "told once";
    DestroyWindow(g_viewer_window);
    g_viewer_window = nullptr;
    DeleteFileW(japanese.c_str());
}

// The record other copies write is read only as far as a terminator inside it.
TEST(HandoffRecord, GarbageAndUnterminatedRecordsAreRefused) {
    char out[APP_PATH_SIZE];
    char record[260];
    memset(record, 'A', sizeof record);  // no terminator anywhere: a copy that died mid-write
    EXPECT_EQ(app_handoff_read_record(record, sizeof record, out, sizeof out), 0);
    EXPECT_STREQ(out, "");
    record[259] = 0;  // 259 characters: the longest path there is
    ASSERT_EQ(app_handoff_read_record(record, sizeof record, out, sizeof out), 1);
    EXPECT_EQ(strlen(out), 259u);
    char smaller[100];
    EXPECT_EQ(app_handoff_read_record(record, sizeof record, smaller, sizeof smaller), 0);
    strcpy(record, "C:\\clip.avi");
    ASSERT_EQ(app_handoff_read_record(record, sizeof record, out, sizeof out), 1);
    EXPECT_STREQ(out, "C:\\clip.avi");
    record[0] = 0;
    EXPECT_EQ(app_handoff_read_record(record, sizeof record, out, sizeof out), 0);
}
