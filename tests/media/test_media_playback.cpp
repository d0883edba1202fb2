// The media engine playing real clips through the platform's decoding chain
// into a window of the test's own, whose message queue records the events.
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <control.h>

#include "../../media/media_state.h"
#include "../e2e/e2e.h"

namespace {

std::vector<WPARAM> g_events;

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_MEDIA_EVENT) g_events.push_back(wparam);
    return DefWindowProcA(window, message, wparam, lparam);
}

void pump() { e2e_pump_until([] { return true; }, 0); }

// The media events the window has had, as "0 1 2 ".
std::string events_seen() {
    std::string seen;
    for (WPARAM e : g_events) seen += std::to_string(e) + " ";
    return seen;
}

const int64_t SECOND = 10000000;

// The clip of a grid over a colour still for 2 s and then turning: 160 x 120,
// 150 frames.
const int HUES_W = 160, HUES_H = 120;
typedef std::vector<uint32_t> Picture;  // top-down 0x00RRGGBB

// Every frame of a clip as ffmpeg decodes it, apart from the platform's chain.
std::vector<Picture> decode_frames(const char* name, int w, int h) {
    std::string raw = e2e_scratch_dir("frames") + "\\frames.raw";
    std::string command = "ffmpeg -loglevel error -y -i '" + e2e_unix_path(clip(name)) +
                          "' -f rawvideo -pix_fmt bgra '" + e2e_unix_path(raw) + "'";
    std::vector<Picture> out;
    if (e2e_run_unix(command, 60000) != 0) return out;
    HANDLE f = CreateFileA(raw.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return out;
    Picture frame(static_cast<size_t>(w) * h);
    DWORD got = 0;
    while (ReadFile(f, frame.data(), static_cast<DWORD>(frame.size() * 4), &got, nullptr) && got == frame.size() * 4) {
        for (uint32_t& p : frame) p &= 0xFFFFFF;
        out.push_back(frame);
    }
    CloseHandle(f);
    return out;
}

// The smoothing filter worked channel by channel: each pixel moves level/256
// of the way toward the mean of its halved neighbours already worked (left
// and above going forward, right and below coming back; an edge pixel stands
// in for its missing neighbour).
Picture smoothed(const Picture& picture, int w, int h, int level) {
    Picture out(picture.size(), 0);
    for (int shift = 0; shift < 24; shift += 8) {
        std::vector<int> c(picture.size());
        for (size_t i = 0; i < c.size(); i++) c[i] = (picture[i] >> shift) & 255;
        auto at = [&](int x, int y) -> int& { return c[static_cast<size_t>(y) * w + x]; };
        auto move = [&](int& here, int a, int b) {
            int mean = a / 2 + b / 2;
            here += static_cast<int>(std::floor((mean - here) * level / 256.0));
        };
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) move(at(x, y), at(x > 0 ? x - 1 : x, y), at(x, y > 0 ? y - 1 : y));
        for (int y = h - 1; y >= 0; y--)
            for (int x = w - 1; x >= 0; x--)
                move(at(x, y), at(x < w - 1 ? x + 1 : x, y), at(x, y < h - 1 ? y + 1 : y));
        for (size_t i = 0; i < c.size(); i++) out[i] |= static_cast<uint32_t>(c[i]) << shift;
    }
    return out;
}

int channel_gap(uint32_t a, uint32_t b) {
    int gap = 0;
    for (int s = 0; s < 24; s += 8)
        gap = std::max(gap, abs(static_cast<int>((a >> s) & 255) - static_cast<int>((b >> s) & 255)));
    return gap;
}

// Which of the decoded frames a picture is closest to, by the summed gaps distance(frame) gives.
template <class Distance>
int closest_frame(const std::vector<Picture>& frames, Distance distance) {
    size_t best = 0;
    int64_t best_sum = -1;
    for (size_t i = 0; i < frames.size(); i++) {
        int64_t sum = distance(frames[i]);
        if (best_sum < 0 || sum < best_sum) best = i, best_sum = sum;
    }
    return static_cast<int>(best);
}

class Playback : public ::testing::Test {
protected:
    HWND window = nullptr;
    const int client_width = 400, client_height = 225;
    void SetUp() override {
        ASSERT_TRUE(getenv("TAVLIN_CLIPS")) << "the test run makes the clips and names their folder";
        // 400 x 225 by default: a 4:3 clip leaves bars left and right.
        window = e2e_test_window("media_test_window", window_proc, WS_OVERLAPPEDWINDOW | WS_VISIBLE, client_width,
                                 client_height);
        ASSERT_TRUE(window);
        pump();
        media_init();
        media_set_option(MEDIA_OPTION_ASPECT, 1);
        media_set_window(window);
        g_events.clear();
    }
    void TearDown() override {
        media_stop();
        media_set_option(MEDIA_OPTION_BORDERS, 0);
        media_set_option(MEDIA_OPTION_SMOOTHING, 100);
        DestroyWindow(window);
        pump();
    }
    bool open(const char* name) {
        media_set_path(clip(name).c_str());
        return media_play() == 1;
    }
    // Counts the client pixels near a colour, and the box they lie in.
    int pixels_like(uint32_t colour, RECT* box) {
        int w, h, n = 0;
        std::vector<uint32_t> shot = e2e_capture_client(window, &w, &h);
        *box = {w, h, -1, -1};
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                int d = 0;  // the channels' gaps summed
                for (int s = 0; s < 24; s += 8)
                    d += abs(static_cast<int>((shot[y * w + x] >> s) & 255) - static_cast<int>((colour >> s) & 255));
                if (d > 60) continue;
                n++;
                *box = {std::min<LONG>(box->left, x), std::min<LONG>(box->top, y), std::max<LONG>(box->right, x),
                        std::max<LONG>(box->bottom, y)};
            }
        return n;
    }
};

// Seeks past either end of the clip; a seek inside it while paused is
// checked by the picture it shows, further down.
TEST_F(Playback, SeeksLandWhereAskedAndAreClampedToTheClip) {
    ASSERT_TRUE(open("long.avi"));
    ASSERT_TRUE(e2e_pump_until([&] { return media_get_position() > SECOND / 2; }, 5000));
    EXPECT_EQ(media_pause(), 1);
    ASSERT_TRUE(e2e_pump_until([&] { return media_get_state() == MEDIA_PAUSED; }, 2000));
    EXPECT_EQ(media_seek(-1), 1);
    ASSERT_TRUE(e2e_pump_until([&] { return media_get_state() == MEDIA_PAUSED && media_get_position() == 0; }, 2000));
    // Playing on from a seek, the clock shows the media position.
    EXPECT_EQ(media_play(), 1);
    ASSERT_TRUE(e2e_pump_until([&] { return media_get_state() == MEDIA_PLAYING; }, 2000));
    EXPECT_EQ(media_seek(3 * SECOND), 1);
    e2e_pump_until([] { return false; }, 500);
    int64_t after = media_get_position();
    EXPECT_GE(after, 3 * SECOND);
    EXPECT_LT(after, 4 * SECOND);
    // Beyond the end: the position lands on the duration and the media ends.
    EXPECT_EQ(media_seek(100 * SECOND), 1);
    ASSERT_TRUE(e2e_pump_until([&] { return media_get_state() == MEDIA_STOPPED; }, 5000));
    e2e_pump_until([&] { return g_events.size() >= 3; }, 2000);
    EXPECT_EQ(g_events.back(), static_cast<WPARAM>(MEDIA_EVENT_END));
}

// A clip of fifteen frames runs its course as any other: opening, started,
// end. A file cut after its first frames, though it claims eight seconds,
// fails once it has started. Either way the thread has ended by itself:
// commands then find nothing to ask, leave nothing waiting, and the clock
// stays at rest.
TEST_F(Playback, AShortClipEndsAsPlayedACutOneFailsAndNothingWaitsAfterwards) {
    for (const char* name : {"short.avi", "stalled.avi"}) {
        g_events.clear();
        ASSERT_TRUE(open(name)) << name;
        ASSERT_TRUE(e2e_pump_until([&] { return g_events.size() >= 3; }, 15000)) << name;
        EXPECT_EQ(events_seen(), strcmp(name, "short.avi") == 0 ? "0 1 2 " : "0 1 9 ") << name;
        ASSERT_EQ(WaitForSingleObject(g_playback.thread, 5000), WAIT_OBJECT_0) << name;
        EXPECT_EQ(media_pause(), 0) << name;
        EXPECT_EQ(media_seek(media_get_position() + 5 * SECOND), 0) << name;
        EXPECT_EQ(media_snapshot(), 0) << name;
        EXPECT_EQ(g_playback.request, REQ_NONE) << name;
        EXPECT_EQ(media_get_position(), 0) << name;
        media_stop();
    }
}

TEST_F(Playback, OtherFormatsPlayAndABrokenFileEndsCleanly) {
    const char* const clips[] = {"green.wmv", "green.ogv", "green.mpg"};
    for (const char* name : clips) {
        ASSERT_TRUE(open(name)) << name;
        RECT box;
        EXPECT_TRUE(e2e_pump_until([&] { return pixels_like(0x008000, &box) > 1000; }, 4000)) << name;
        media_stop();
    }
    ASSERT_TRUE(open("tone.mp3"));
    int has_video = -1;
    EXPECT_EQ(media_get_info(nullptr, 0, &has_video), MEDIA_PLAYING);
    EXPECT_EQ(has_video, 0);
    media_stop();
    // A file cut short opens, plays what it holds and ends by itself.
    pump();
    g_events.clear();
    if (open("truncated.avi")) {
        EXPECT_TRUE(e2e_pump_until([&] {
            int s = media_get_state();
            return s == MEDIA_STOPPED || s == MEDIA_ERROR;
        }, 10000));
        e2e_pump_until([&] { return g_events.size() >= 3; }, 2000);
        std::string seen = events_seen();
        EXPECT_TRUE(seen == "0 1 2 " || seen == "0 1 9 ") << seen;
    } else {
        pump();
        EXPECT_EQ(g_events.back(), static_cast<WPARAM>(MEDIA_EVENT_OPEN_FAILED));
    }
}

TEST_F(Playback, AudioOnlyShowsItsStatusAndFailuresAreReported) {
    ASSERT_TRUE(open("tone.wav"));
    int has_video = -1;
    media_get_info(nullptr, 0, &has_video);
    EXPECT_EQ(has_video, 0);
    EXPECT_EQ(media_snapshot(), 0);
    RECT box;
    EXPECT_TRUE(e2e_pump_until([&] { return pixels_like(0xFFFFFF, &box) > 20; }, 3000)) << "no status text";
    EXPECT_GT(box.left, 100);  // centred
    EXPECT_LT(box.right, 300);
    // The volume knob's setting reaches the audio output, in hundredths of a dB.
    auto output_volume = [] {
        long volume = 1;
        IGraphBuilder* graph = nullptr;
        IBasicAudio* audio = nullptr;
        if (g_media.mm_stream && SUCCEEDED(g_media.mm_stream->GetFilterGraph(&graph)) && graph) {
            if (SUCCEEDED(graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&audio)))) {
                audio->get_Volume(&volume);
                audio->Release();
            }
            graph->Release();
        }
        return volume;
    };
    EXPECT_EQ(output_volume(), 0);  // full from the start
    const int level = 6553;         // a tenth: -60 dB on the cubic curve
    media_set_option(MEDIA_OPTION_VOLUME, level | (level << 8));
    EXPECT_EQ(media_get_option(MEDIA_OPTION_VOLUME), level | (level << 8));
    EXPECT_TRUE(e2e_pump_until([&] { return output_volume() == -6000; }, 2000)) << output_volume();
    media_set_option(MEDIA_OPTION_VOLUME, 0);
    EXPECT_TRUE(e2e_pump_until([&] { return output_volume() == -10000; }, 2000)) << output_volume();
    ASSERT_TRUE(e2e_pump_until([&] { return media_get_state() == MEDIA_STOPPED; }, 8000));
    media_stop();

    g_events.clear();
    EXPECT_FALSE(open("no such clip.avi"));
    char text[1024] = "";
    ASSERT_GT(media_get_error(text, sizeof text), 0);
    std::string report = text;
    EXPECT_EQ(report.substr(report.size() - 35), "The specified file does not exist.\n");
    pump();
    EXPECT_EQ(g_events, (std::vector<WPARAM>{MEDIA_EVENT_OPENING, MEDIA_EVENT_OPEN_FAILED}));
    EXPECT_FALSE(open("random.avi"));
    media_get_error(text, sizeof text);
    report = text;
    EXPECT_EQ(report.substr(report.size() - 37), "The specified file cannot be played.\n");
    EXPECT_TRUE(media_get_state() == MEDIA_ERROR || media_get_state() == MEDIA_STOPPED);
}

TEST_F(Playback, SnapshotsHoldTheWholeFrameSmoothedAsItWasShown) {
    std::vector<Picture> frames = decode_frames("hues.avi", HUES_W, HUES_H);
    ASSERT_EQ(frames.size(), 150u) << "ffmpeg's own decoding of the clip";
    std::vector<Picture> soft;
    for (const Picture& f : frames) soft.push_back(smoothed(f, HUES_W, HUES_H, 100));
    e2e_remove_snapshots();
    ASSERT_TRUE(open("hues.avi"));
    EXPECT_EQ(media_seek(2 * SECOND), 1);  // where the colour turns
    ASSERT_TRUE(e2e_pump_until([&] { return media_get_position() >= 2 * SECOND; }, 3000));
    // Smoothing at its initial level, then with the top and bottom bands
    // cropped off the screen, then with smoothing off.
    const struct { int borders, level; } cases[] = {{0, 100}, {1, 100}, {0, 0}};
    for (const auto& c : cases) {
        media_set_option(MEDIA_OPTION_BORDERS, c.borders);
        media_set_option(MEDIA_OPTION_SMOOTHING, c.level);
        int64_t from = media_get_position();
        ASSERT_TRUE(e2e_pump_until([&] { return media_get_position() > from + SECOND / 4; }, 3000));
        ASSERT_EQ(media_snapshot(), 1);
        ASSERT_TRUE(e2e_pump_until([&] { return e2e_snapshot_files().size() == 1; }, 5000))
            << c.borders << " " << c.level;
        Picture shot;
        int w = 0, h = 0;
        ASSERT_TRUE(e2e_read_bmp(e2e_snapshot_files()[0], &shot, &w, &h));
        DeleteFileA(e2e_snapshot_files()[0].c_str());
        ASSERT_EQ(w, HUES_W);
        ASSERT_EQ(h, HUES_H);
        // The decoded frame it is closest to; then every pixel of it, edges
        // and bands included, within the two decoders' few levels apart.
        const std::vector<Picture>& want = c.level ? soft : frames;
        int best = closest_frame(want, [&](const Picture& frame) {
            int64_t sum = 0;
            for (size_t p = 0; p < shot.size(); p++) sum += channel_gap(shot[p], frame[p]);
            return sum;
        });
        int strays = 0;
        std::string first;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                uint32_t got = shot[y * w + x], ref = want[best][y * w + x];
                if (channel_gap(got, ref) <= 10) continue;
                if (!strays++) first = std::to_string(x) + "," + std::to_string(y) + ": " + std::to_string(got) +
                                       " for " + std::to_string(ref);
            }
        EXPECT_EQ(strays, 0) << "borders " << c.borders << ", level " << c.level << ", frame " << best << ", first at "
                             << first;
    }
}

TEST_F(Playback, PausingKeepsThePictureAndASeekWhilePausedShowsTheNewFrame) {
    std::vector<Picture> frames = decode_frames("hues.avi", HUES_W, HUES_H);
    ASSERT_EQ(frames.size(), 150u);
    RECT r = {};
    int w, h;
    // The whole frame is on the screen: the grid and its colours hold no black.
    auto drawn = [&](const Picture& shot) {
        if (IsRectEmpty(&r)) return false;
        for (int y = r.top; y < r.bottom; y++)
            for (int x = r.left; x < r.right; x++)
                if (channel_gap(shot[y * w + x], 0) < 20) return false;
        return true;
    };
    // Exposed while paused: the window loses its picture and the engine draws
    // the frame again.
    auto exposed = [&] {
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
        media_redraw();
        Picture shot;
        EXPECT_TRUE(e2e_pump_until([&] { return drawn(shot = e2e_capture_client(window, &w, &h)); }, 5000))
            << "the paused frame was not drawn again";
        return shot;
    };
    auto differing = [&](const Picture& a, const Picture& b) {
        int n = 0;
        for (int y = r.top; y < r.bottom; y++)
            for (int x = r.left; x < r.right; x++) n += channel_gap(a[y * w + x], b[y * w + x]) > 4;
        return n;
    };
    // Which frame the screen shows, told by the flat middles of the grid's cells.
    auto frame_shown = [&](const Picture& shot) {
        return closest_frame(frames, [&](const Picture& frame) {
            int64_t sum = 0;
            for (int fy = 9; fy < HUES_H; fy += 16)
                for (int fx = 9; fx < HUES_W; fx += 16) {
                    int x = r.left + fx * (r.right - r.left) / (HUES_W - 1);
                    int y = r.top + fy * (r.bottom - r.top) / (HUES_H - 1);
                    sum += channel_gap(shot[y * w + x], frame[fy * HUES_W + fx]);
                }
            return sum;
        });
    };

    // Playing the still first seconds, smoothing at its initial level: every
    // frame shows the same picture.
    ASSERT_TRUE(open("hues.avi"));
    Picture playing;
    ASSERT_TRUE(e2e_pump_until([&] {
        media_get_video_rect(&r);
        playing = e2e_capture_client(window, &w, &h);
        return media_get_position() > SECOND / 2 && drawn(playing);
    }, 5000));
    EXPECT_EQ(media_pause(), 1);
    ASSERT_TRUE(e2e_pump_until([&] { return media_get_state() == MEDIA_PAUSED; }, 2000));
    ASSERT_LT(media_get_position(), 2 * SECOND) << "paused beyond the still part";
    EXPECT_EQ(differing(playing, exposed()), 0) << "pausing changed the picture";
    // A seek while paused shows the frame at the target, and so does an
    // exposure after it: not the picture the pause began with.
    EXPECT_EQ(media_seek(3 * SECOND), 1);
    Picture sought;
    EXPECT_TRUE(e2e_pump_until([&] { return abs(frame_shown(sought = e2e_capture_client(window, &w, &h)) - 75) <= 8; },
                           5000))
        << frame_shown(sought);
    EXPECT_EQ(media_get_state(), MEDIA_PAUSED);
    Picture after = exposed();
    EXPECT_NEAR(frame_shown(after), 75, 8);
    EXPECT_EQ(differing(sought, after), 0);

    // A Pause waiting before the first frame reached the window (pressed as
    // a list starts a file over) holds that first frame, not a black picture.
    media_stop();
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    media_opening_hook = [] { g_playback.request = REQ_PAUSE; };
    bool opened = open("hues.avi");
    media_opening_hook = nullptr;
    ASSERT_TRUE(opened);
    ASSERT_TRUE(e2e_pump_until([&] { return media_get_state() == MEDIA_PAUSED; }, 3000));
    Picture first;
    EXPECT_TRUE(e2e_pump_until([&] {
        media_get_video_rect(&r);
        return drawn(first = e2e_capture_client(window, &w, &h));
    }, 3000)) << "paused on a black picture";
    EXPECT_LE(frame_shown(first), 50);  // one of the still first seconds
}

}  // namespace
