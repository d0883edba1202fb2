// The media engine playing internet radio from a test station of our own on
// the loopback address (tools/radio_server.py), with the sound checked where
// it lands: the test run's audio device, recorded through its monitor.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../../media/media.h"
#include "../e2e/e2e.h"

namespace {

std::vector<WPARAM> g_events;

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_MEDIA_EVENT) g_events.push_back(wparam);
    return DefWindowProcA(window, message, wparam, lparam);
}

int count_of(WPARAM code) {
    int n = 0;
    for (WPARAM e : g_events) n += e == code;
    return n;
}

// A program of the build machine left running; its pid is written to a file.
int start_in_background(const std::string& command, const std::string& pid_file) {
    e2e_run_unix(command + " & echo $! > '" + e2e_unix_path(pid_file) + "'", 10000);
    std::string pid;
    e2e_wait_until([&] { return (pid = e2e_read_file(pid_file)).find('\n') != std::string::npos; }, 5000);
    return atoi(pid.c_str());
}

void stop_by_pid(int pid) {
    if (pid > 0) e2e_run_unix("kill " + std::to_string(pid), 5000);
}

class Radio : public ::testing::Test {
protected:
    HWND window = nullptr;
    std::string dir;
    int port = 0, server_pid = 0, recorder_pid = 0;

    void SetUp() override {
        window = e2e_test_window("radio_test_window", window_proc, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 320, 200);
        ASSERT_TRUE(window);
        media_init();
        media_set_window(window);
        g_events.clear();
        dir = e2e_test_dir("radio");
        // The station ends itself within a minute even if this test does not stop it.
        start_in_background("python3 '" TAVLIN_SOURCE_DIR "/tools/radio_server.py' '" + e2e_unix_path(dir) +
                                "' 55 >/dev/null 2>&1",
                            dir + "\\server.pid");
        std::string line;
        ASSERT_TRUE(e2e_wait_until([&] { return (line = e2e_read_file(dir + "\\port")).find('\n') != std::string::npos; },
                                   30000))
            << "the test station did not start";
        ASSERT_EQ(sscanf(line.c_str(), "%d %d", &port, &server_pid), 2);
        recorder_pid = start_in_background("parec -d nullsink.monitor --raw --format=s16le --channels=1 --rate=8000 "
                                           "--latency-msec=50 > '" + e2e_unix_path(dir + "\\sink.raw") + "' 2>/dev/null",
                                           dir + "\\recorder.pid");
    }
    void TearDown() override {
        media_stop();
        stop_by_pid(recorder_pid);
        stop_by_pid(server_pid);
        DestroyWindow(window);
        e2e_pump_until([] { return true; }, 0);
    }
    std::string url(const char* path) { return "http://127.0.0.1:" + std::to_string(port) + path; }
    // Bytes recorded so far: where "from now on" starts.
    size_t recorded() { return e2e_read_file(dir + "\\sink.raw").size() & ~static_cast<size_t>(1); }
    // The loudest sample recorded since from.
    int peak_since(size_t from) {
        std::string raw = e2e_read_file(dir + "\\sink.raw");
        int peak = 0;
        for (size_t i = from; i + 1 < raw.size(); i += 2) {
            int v = static_cast<int16_t>(static_cast<uint8_t>(raw[i]) | static_cast<uint8_t>(raw[i + 1]) << 8);
            peak = std::max(peak, abs(v));
        }
        return peak;
    }
    bool sound_since(size_t from, int timeout_ms) {
        return e2e_pump_until([&] { return peak_since(from) > 3000; }, timeout_ms);
    }
    // Connections the station has taken and let go of, for one path.
    int log_count(const std::string& what) {
        std::string log = e2e_read_file(dir + "\\log");
        int n = 0;
        for (size_t at = 0; (at = log.find(what + "\n", at)) != std::string::npos; at += what.size()) n++;
        return n;
    }
    bool all_let_go(const char* path, int timeout_ms) {
        return e2e_pump_until([&] {
            int opened = log_count(std::string("open ") + path);
            return opened > 0 && log_count(std::string("closed ") + path) == opened;
        }, timeout_ms);
    }
    std::string error() {
        char text[1024] = "";
        media_get_error(text, sizeof text);
        return text;
    }
};

std::string station_title(std::string* station = nullptr) {
    char name[128], title[256];
    media_get_stream_info(name, sizeof name, title, sizeof title);
    if (station) *station = name;
    return title;
}

// A station plays at once and names itself and its songs as they change;
// it cannot be sought; dropped, it is connected again and sounds again;
// after Pause, Play sounds again; Stop lets go of the connection.
TEST_F(Radio, AStationPlaysNamesItsSongsComesBackAfterADropAndIsLetGoOnStop) {
    size_t start = recorded();
    DWORD opened_at = GetTickCount();
    media_set_path(url("/drop").c_str());
    ASSERT_EQ(media_play(), 1) << error();
    EXPECT_EQ(media_is_live(), 1);
    ASSERT_TRUE(sound_since(start, 5000)) << "no sound from the station";
    printf("first sound after %lu ms\n", GetTickCount() - opened_at);
    std::string station;
    EXPECT_TRUE(e2e_pump_until([&] { return station_title(&station) == "First Song"; }, 3000)) << station_title();
    EXPECT_EQ(station, "Tavlin Test FM");
    uint32_t changes = media_get_stream_info(nullptr, 0, nullptr, 0);
    EXPECT_TRUE(e2e_pump_until([&] { return station_title() == "Second Song"; }, 5000)) << station_title();
    EXPECT_GT(media_get_stream_info(nullptr, 0, nullptr, 0), changes);
    EXPECT_GT(count_of(MEDIA_EVENT_STREAM_INFO), 0);
    EXPECT_EQ(media_seek(30 * 10000000LL), 0);
    EXPECT_EQ(media_get_duration(), 0);

    // The station cuts its first connection after 4 s.
    int attempt = 0;
    ASSERT_TRUE(e2e_pump_until([&] { return media_get_connection(&attempt, nullptr) == MEDIA_NET_RECONNECTING; }, 8000));
    EXPECT_EQ(attempt, 1);
    ASSERT_TRUE(e2e_pump_until([&] { return media_get_connection(nullptr, nullptr) == MEDIA_NET_PLAYING; }, 6000));
    EXPECT_TRUE(sound_since(recorded(), 4000)) << "no sound after the reconnection";
    EXPECT_EQ(media_get_state(), MEDIA_PLAYING);

    EXPECT_EQ(media_pause(), 1);
    ASSERT_TRUE(e2e_pump_until([] { return media_get_state() == MEDIA_PAUSED; }, 2000));
    e2e_pump_until([] { return false; }, 1500);
    EXPECT_EQ(media_play(), 1);
    EXPECT_TRUE(sound_since(recorded(), 4000)) << "no sound after Pause and Play";

    media_stop();
    EXPECT_EQ(media_is_live(), 0);
    EXPECT_TRUE(all_let_go("/drop", 3000)) << e2e_read_file(dir + "\\log");
    EXPECT_EQ(log_count("open /drop"), 2);
}

// Stations that cannot play fail the opening with their reason, within the
// limits, and leave no connection open; one that lies about its metadata
// plays without song titles; a finite file at an address plays to its end.
TEST_F(Radio, BadStationsFailInTimeWithTheirReasonAndAFiniteFilePlaysToItsEnd) {
    struct Case {
        const char* path;
        const char* reason;
        DWORD limit_ms;
    };
    const Case cases[] = {
        {"/silent", "did not answer", 16000},  // two attempts of 5 s each
        {"/html", "no audio stream", 3000},
        {"/loop", "from address to address", 3000},
        {"/garbage", "nothing that plays", 8000},
        {"/missing", "status 404", 3000},
        {"/headers", "did not answer", 12000},  // header lines without end
    };
    for (const Case& c : cases) {
        g_events.clear();
        DWORD start = GetTickCount();
        media_set_path(url(c.path).c_str());
        EXPECT_EQ(media_play(), 0) << c.path;
        DWORD took = GetTickCount() - start;
        EXPECT_LT(took, c.limit_ms) << c.path;
        EXPECT_NE(error().find(c.reason), std::string::npos) << c.path << ": " << error();
        EXPECT_NE(error().find("The specified stream cannot be played."), std::string::npos) << c.path;
        e2e_pump_until([] { return count_of(MEDIA_EVENT_OPEN_FAILED) > 0; }, 1000);
        EXPECT_EQ(count_of(MEDIA_EVENT_OPEN_FAILED), 1) << c.path;
        media_stop();
        // (The platform's HTTP client under Wine reads header lines without
        // end: that connection lasts until the station ends it.)
        if (strcmp(c.path, "/missing") != 0 && strcmp(c.path, "/headers") != 0) {
            EXPECT_TRUE(all_let_go(c.path, 6000)) << c.path;
        }
    }

    size_t start = recorded();
    media_set_path(url("/badmeta").c_str());
    ASSERT_EQ(media_play(), 1) << error();
    EXPECT_TRUE(sound_since(start, 8000)) << "no sound from a station with a wrong metadata interval";
    EXPECT_EQ(station_title(), "");
    media_stop();

    g_events.clear();
    start = recorded();
    media_set_path(url("/tone.mp3").c_str());
    ASSERT_EQ(media_play(), 1) << error();
    EXPECT_TRUE(sound_since(start, 5000));
    ASSERT_TRUE(e2e_pump_until([] { return count_of(MEDIA_EVENT_END) > 0; }, 12000));
    EXPECT_EQ(count_of(MEDIA_EVENT_FAILED), 0);
}

}  // namespace
