// A station as the user meets it in the real program: named in the strip and
// the playlist, its songs following the station's, its clock without a
// length, let go on Stop, and its failure reported like a file's.
#include <oleacc.h>

#include "viewer_steps.h"

namespace {

const IID IID_Accessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// A child's name or value as the strip's accessible object gives it.
std::wstring strip_text(HWND player, long child, bool value) {
    IAccessible* a = nullptr;
    if (FAILED(AccessibleObjectFromWindow(player, static_cast<DWORD>(OBJID_CLIENT), IID_Accessible,
                                          reinterpret_cast<void**>(&a))))
        return L"";
    VARIANT id;
    VariantInit(&id);
    id.vt = VT_I4;
    id.lVal = child;
    BSTR b = nullptr;
    HRESULT hr = value ? a->get_accValue(id, &b) : a->get_accName(id, &b);
    std::wstring s = SUCCEEDED(hr) && b ? std::wstring(b) : L"";
    SysFreeString(b);
    a->Release();
    return s;
}

const long SEEK_BAR = 15, TEXT_AREA = 17;

// The test station's connections to one path that it opened, and let go of.
int log_count(const std::string& dir, const std::string& line) {
    std::string log = e2e_read_file(dir + "\\log");
    int n = 0;
    for (size_t at = 0; (at = log.find(line + "\n", at)) != std::string::npos; at += line.size()) n++;
    return n;
}

}  // namespace

TEST(RadioUi, AStationShowsItsNameAndSongsRunsLiveIsLetGoOnStopAndItsFailureIsReported) {
    CoInitialize(nullptr);
    std::string dir = e2e_test_dir("radio ui");
    std::string source = __FILE__;  // the sources' folder, from this file's path as the build gave it
    source.resize(source.rfind("/tests/"));
    e2e_run_unix("python3 '" + source + "/tools/radio_server.py' '" + e2e_unix_path(dir) + "' 60 >/dev/null 2>&1 & true",
                 10000);
    std::string line;
    ASSERT_TRUE(e2e_wait_until([&] { return (line = e2e_read_file(dir + "\\port")).find('\n') != std::string::npos; },
                               30000));
    int port = 0, server_pid = 0;
    ASSERT_EQ(sscanf(line.c_str(), "%d %d", &port, &server_pid), 2);
    const std::string host = "http://127.0.0.1:" + std::to_string(port);
    // The list names the first station; the second goes by the name it gives itself.
    std::string list = e2e_make_file(dir + "\\radio.pls", "[playlist]\nFile1=" + host + "/stream\nTitle1=Loopback Radio\n"
                                                          "File2=" + host + "/drop\nNumberOfEntries=2\n");
    E2eProgram program;
    HWND viewer = start_player(&program, ::quoted(list));
    HWND player = viewer ? e2e_wait_window(program.pid, "tavlin_player", nullptr, 10000) : nullptr;  // made after the viewer
    ASSERT_TRUE(viewer && player);

    EXPECT_TRUE(e2e_wait_until([&] { return strip_text(player, TEXT_AREA, false) == L"Loopback Radio, First Song"; },
                               10000))
        << strip_text(player, TEXT_AREA, false).c_str();
    EXPECT_TRUE(e2e_wait_until([&] { return strip_text(player, TEXT_AREA, false) == L"Loopback Radio, Second Song"; },
                               8000))
        << strip_text(player, TEXT_AREA, false).c_str();
    // The clock runs without a length; the seek bar says so, and neither it
    // nor Forward moves a station.
    EXPECT_TRUE(clock_runs(viewer, 3000));
    EXPECT_NE(e2e_text(viewer).find(" / live"), std::string::npos) << e2e_text(viewer);
    std::wstring seek = strip_text(player, SEEK_BAR, true);
    EXPECT_TRUE(seek.size() > 7 && seek.compare(seek.size() - 7, 7, L" / live") == 0) << seek.c_str();
    int before = title_seconds(viewer);
    press(player, strip::FORWARD);
    click(player, strip::SEEK_BAR_LEFT + 200, strip::SEEK_BAR_ROW);
    EXPECT_TRUE(clock_runs(viewer, 3000));
    EXPECT_LT(title_seconds(viewer), before + 4) << "a station was sought";

    HWND rows = open_playlist(&program, viewer);
    const std::vector<std::string> shown = {"Loopback Radio", host + "/drop"};
    EXPECT_EQ(e2e_list_items(rows), shown);
    PostMessageA(GetParent(rows), WM_COMMAND, IDCANCEL, 0);

    // Pause holds the clock, Play runs it again, Stop lets go of the station.
    press(player, strip::PAUSE);
    EXPECT_TRUE(e2e_wait_until([&] { return clock_holds(viewer); }, 5000)) << "Pause did nothing";
    press(player, strip::PLAY);
    EXPECT_TRUE(clock_runs(viewer, 5000)) << "Play did not resume the station";
    EXPECT_TRUE(stop_playing(viewer));
    EXPECT_TRUE(e2e_wait_until([&] {
        int opened = log_count(dir, "open /stream");
        return opened > 0 && log_count(dir, "closed /stream") == opened;
    }, 5000)) << e2e_read_file(dir + "\\log");

    // The next station names itself; once it is gone for good, the user is
    // told why and asked whether to go on, as for a file that fails.
    press(player, strip::NEXT);
    EXPECT_TRUE(e2e_wait_until([&] { return strip_text(player, TEXT_AREA, false).rfind(L"Tavlin Test FM, ", 0) == 0; },
                               10000))
        << strip_text(player, TEXT_AREA, false).c_str();
    e2e_run_unix("kill " + std::to_string(server_pid), 5000);
    HWND box = e2e_wait_window(program.pid, "#32770", "Media Engine Error", 70000);  // five waits: 30 s and more
    ASSERT_TRUE(box) << "no report of the station's failure";
    std::string report = e2e_box_text(box);
    e2e_press(box, IDOK);
    EXPECT_NE(report.find(host + "/drop"), std::string::npos) << report;
    EXPECT_NE(report.find("Five attempts to connect again failed."), std::string::npos) << report;
    EXPECT_TRUE(answer_box(&program, "Proceed?", IDNO));
    close_player(&program, viewer);
    CoUninitialize();
}
