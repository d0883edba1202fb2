// Internet radio's pure parts: addresses kept as they are, the station's
// metadata taken out of its stream, MP3 and ADTS frames found in bytes, and
// the waits between reconnections.
#include <gtest/gtest.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "../../app/app.h"
#include "../../media/radio_parse.h"
#include "../../playlist/playlist.h"
#include "../e2e/e2e.h"

namespace {

typedef std::vector<uint8_t> Bytes;

// A metadata block as a station sends it: its length in 16-byte units, then
// the text padded with NULs.
Bytes icy_block(const std::string& text) {
    size_t units = (text.size() + 15) / 16;
    Bytes b(1 + units * 16, 0);
    b[0] = static_cast<uint8_t>(units);
    memcpy(b.data() + 1, text.data(), text.size());
    return b;
}

// Feeds the stream in pieces of random sizes into outputs of random sizes;
// the audio that came out, and the titles seen after each piece.
Bytes feed_in_pieces(IcyReader* r, const Bytes& stream, std::mt19937* rng, std::vector<std::string>* titles) {
    Bytes audio;
    size_t at = 0;
    while (at < stream.size()) {
        size_t piece = std::min<size_t>(1 + (*rng)() % 700, stream.size() - at);
        Bytes out(1 + (*rng)() % 500);
        size_t used = 0;
        size_t n = media_icy_feed(r, stream.data() + at, piece, out.data(), out.size(), &used);
        EXPECT_LE(n, out.size());
        EXPECT_LE(used, piece);
        audio.insert(audio.end(), out.begin(), out.begin() + static_cast<long>(n));
        at += used;
        if (titles->empty() || titles->back() != r->title) titles->push_back(r->title);
    }
    return audio;
}

TEST(Radio, MetadataIsTakenOutWhateverItsLengthAndWhereverTheReadsSplitIt) {
    const uint32_t interval = 300;
    const std::string longest = "StreamTitle='" + std::string(4000, 'x') + "';";  // 255 units, the most a byte says
    const std::vector<std::string> texts = {"StreamTitle='First';StreamUrl='';", "", "StreamTitle='Don't Stop';",
                                            longest, "StreamUrl='http://x';", "StreamTitle='';"};
    Bytes stream, audio;
    for (size_t i = 0; i < 40; i++) {
        for (uint32_t k = 0; k < interval; k++) audio.push_back(static_cast<uint8_t>(audio.size() * 7 + 3));
        stream.insert(stream.end(), audio.end() - interval, audio.end());
        Bytes block = icy_block(texts[i % texts.size()]);
        stream.insert(stream.end(), block.begin(), block.end());
    }
    for (unsigned seed = 1; seed <= 20; seed++) {
        std::mt19937 rng(seed);
        IcyReader* r = new IcyReader;
        media_icy_start(r, interval);
        std::vector<std::string> titles = {""};
        EXPECT_EQ(feed_in_pieces(r, stream, &rng, &titles), audio) << seed;
        // The longest title is cut to the reader's buffer.
        const std::string cut(ICY_TITLE_SIZE - 1, 'x');
        ASSERT_GE(titles.size(), 4u);
        EXPECT_EQ(std::vector<std::string>(titles.begin(), titles.begin() + 4),
                  (std::vector<std::string>{"", "First", "Don't Stop", cut})) << seed;
        EXPECT_EQ(r->title, cut);
        // Four changes in each round of six blocks (none for a block without
        // a title or with the same one), six rounds and three more.
        EXPECT_EQ(r->changes, 27u) << seed;
        EXPECT_EQ(r->bad_blocks, 0u);
        delete r;
    }
    // A station without metadata passes every byte through.
    IcyReader* r = new IcyReader;
    media_icy_start(r, 0);
    std::mt19937 rng(7);
    std::vector<std::string> titles = {""};
    EXPECT_EQ(feed_in_pieces(r, stream, &rng, &titles), stream);
    delete r;
}

// A station that lies about its interval makes the reader take audio bytes
// for metadata: those blocks are not text, and it says so.
TEST(Radio, AWrongIntervalShowsAsBlocksThatAreNotText) {
    std::mt19937 rng(3);
    Bytes stream;
    for (int i = 0; i < 8; i++) {
        for (int k = 0; k < 8000; k++) stream.push_back(static_cast<uint8_t>(rng() | 1));
        Bytes block = icy_block("StreamTitle='Song';");
        stream.insert(stream.end(), block.begin(), block.end());
    }
    IcyReader* r = new IcyReader;
    media_icy_start(r, 1000);
    Bytes out(stream.size());
    size_t used = 0;
    media_icy_feed(r, stream.data(), 12000, out.data(), out.size(), &used);
    EXPECT_GE(r->bad_blocks, 3u);
    EXPECT_STREQ(r->title, "");
    delete r;
}

TEST(Radio, TitlesAndIntervalsAreReadStrictly) {
    char out[16];
    auto title = [&](const std::string& block, size_t size = sizeof out) {
        int found = media_icy_title(block.data(), block.size(), out, size);
        return found < 0 ? std::string("<not text>") : found == 0 ? std::string("<none>") : std::string(out);
    };
    EXPECT_EQ(title(std::string("StreamTitle='A - B';StreamUrl='';\0\0\0", 36)), "A - B");
    EXPECT_EQ(title("StreamTitle='Rock 'n' Roll';"), "Rock 'n' Roll");
    EXPECT_EQ(title("StreamTitle='unterminated"), "unterminated");
    EXPECT_EQ(title("StreamUrl='x';"), "<none>");
    EXPECT_EQ(title(std::string("StreamTitle='a'\x01;", 17)), "<not text>");
    EXPECT_EQ(title(std::string("StreamTitle='a';\0x", 18)), "<not text>");  // padding holds only NULs
    // Cut to the buffer, never inside a character.
    EXPECT_EQ(title("StreamTitle='abcdefghijklmn\xC3\xA9xyz';"), "abcdefghijklmn");
    EXPECT_EQ(title("StreamTitle='abcdefghijklmn';", 4), "abc");

    EXPECT_EQ(media_icy_interval("8192"), 8192u);
    EXPECT_EQ(media_icy_interval(" 16000 "), 16000u);
    for (const char* bad : std::initializer_list<const char*>{"", "-1", "12abc", "0x10", "99999999999", "2000000", nullptr})
        EXPECT_EQ(media_icy_interval(bad), 0u) << (bad ? bad : "null");
}

// An MPEG audio header: version bits, layer bits, bitrate and rate indices.
Bytes mp3_header(int version_bits, int layer_bits, int bitrate_index, int rate_index, int padding, int mode) {
    return {0xFF, static_cast<uint8_t>(0xE0 | version_bits << 3 | layer_bits << 1 | 1),
            static_cast<uint8_t>(bitrate_index << 4 | rate_index << 2 | padding << 1),
            static_cast<uint8_t>(mode << 6)};
}

TEST(Radio, Mp3HeadersGiveTheFrameSizesOfEachVersionAndLayer) {
    struct Case {
        Bytes header;
        int length, rate, channels, samples, layer, version;
    };
    const Case cases[] = {
        {mp3_header(3, 1, 9, 0, 0, 1), 417, 44100, 2, 1152, 3, 1},   // 128 kbit/s: 144 * 128000 / 44100
        {mp3_header(3, 1, 9, 0, 1, 3), 418, 44100, 1, 1152, 3, 1},   // padded, mono
        {mp3_header(2, 1, 8, 0, 0, 0), 208, 22050, 2, 576, 3, 2},    // MPEG-2, 64 kbit/s: 72 * 64000 / 22050
        {mp3_header(0, 1, 8, 2, 0, 0), 576, 8000, 2, 576, 3, 25},    // MPEG-2.5, 64 kbit/s at 8 kHz
        {mp3_header(3, 2, 10, 1, 0, 0), 576, 48000, 2, 1152, 2, 1},  // Layer II, 192 kbit/s
        {mp3_header(3, 3, 12, 0, 1, 0), 420, 44100, 2, 384, 1, 1},   // Layer I, 384 kbit/s: (104 + 1) * 4
    };
    for (const Case& c : cases) {
        AudioFrame f;
        ASSERT_EQ(media_mp3_header(c.header.data(), c.header.size(), &f), 1);
        EXPECT_EQ(f.length, c.length);
        EXPECT_EQ(f.sample_rate, c.rate);
        EXPECT_EQ(f.channels, c.channels);
        EXPECT_EQ(f.samples, c.samples);
        EXPECT_EQ(f.layer, c.layer);
        EXPECT_EQ(f.version, c.version);
        EXPECT_EQ(media_mp3_header(c.header.data(), 3, &f), 0);  // cut short
    }
    const Bytes bad[] = {mp3_header(1, 1, 9, 0, 0, 0), mp3_header(3, 0, 9, 0, 0, 0), mp3_header(3, 1, 0, 0, 0, 0),
                         mp3_header(3, 1, 15, 0, 0, 0), mp3_header(3, 1, 9, 3, 0, 0), {0xFF, 0x1B, 0x90, 0x00},
                         {0xFF, 0xFB, 0x90, 0x02}};  // reserved version, layer, free, bad bitrate and rate, no sync, emphasis 2
    for (const Bytes& b : bad) EXPECT_EQ(media_mp3_header(b.data(), b.size(), nullptr), 0);
}

// An ADTS header, written bit by bit.
Bytes adts_header(int rate_index, int channels, int length, bool crc, int blocks = 1, int layer = 0) {
    std::vector<int> bits;
    auto put = [&](uint32_t value, int n) {
        for (int i = n - 1; i >= 0; i--) bits.push_back((value >> i) & 1);
    };
    put(0xFFF, 12), put(0, 1), put(static_cast<uint32_t>(layer), 2), put(crc ? 0 : 1, 1);
    put(1, 2), put(static_cast<uint32_t>(rate_index), 4), put(0, 1), put(static_cast<uint32_t>(channels), 3);
    put(0, 4), put(static_cast<uint32_t>(length), 13), put(0x7FF, 11), put(static_cast<uint32_t>(blocks - 1), 2);
    if (crc) put(0, 16);
    Bytes out(bits.size() / 8, 0);
    for (size_t i = 0; i < bits.size(); i++) out[i / 8] |= static_cast<uint8_t>(bits[i] << (7 - i % 8));
    return out;
}

TEST(Radio, AdtsHeadersGiveRateChannelsAndLength) {
    AudioFrame f;
    Bytes h = adts_header(4, 2, 371, false);
    ASSERT_EQ(media_adts_header(h.data(), h.size(), &f), 1);
    EXPECT_EQ(f.sample_rate, 44100);
    EXPECT_EQ(f.channels, 2);
    EXPECT_EQ(f.length, 371);
    EXPECT_EQ(f.samples, 1024);
    EXPECT_EQ(f.profile, 1);
    h = adts_header(11, 1, 9000 & 8191, true, 3);
    ASSERT_EQ(media_adts_header(h.data(), h.size(), &f), 1);
    EXPECT_EQ(f.sample_rate, 8000);
    EXPECT_EQ(f.length, 9000 & 8191);
    EXPECT_EQ(f.samples, 3072);
    for (const Bytes& b : {adts_header(13, 2, 300, false), adts_header(4, 0, 300, false), adts_header(4, 2, 7, false),
                           adts_header(4, 2, 9, true), adts_header(4, 2, 300, false, 1, 1)})
        EXPECT_EQ(media_adts_header(b.data(), b.size(), nullptr), 0);
}

// Frames are found after garbage (false syncs included), each only once
// the header after it is seen; the last one only at the end of the data.
TEST(Radio, FramesAreFoundPastGarbageAndOnlyWhole) {
    for (int format : {AUDIO_MP3, AUDIO_AAC}) {
        Bytes header = format == AUDIO_MP3 ? mp3_header(3, 1, 9, 0, 0, 3) : adts_header(3, 2, 300, false);
        size_t length = format == AUDIO_MP3 ? 417 : 300;
        Bytes data = {0x00, 0xFF, 0xFF, 0x12, 0xFF};
        Bytes fake = format == AUDIO_MP3 ? mp3_header(3, 1, 4, 0, 0, 3) : adts_header(3, 2, 40, false);
        data.insert(data.end(), fake.begin(), fake.end());  // a header not followed by another
        data.insert(data.end(), 50, 0x55);
        std::vector<size_t> starts;
        for (int i = 0; i < 4; i++) {
            starts.push_back(data.size());
            data.insert(data.end(), header.begin(), header.end());
            data.insert(data.end(), length - header.size(), static_cast<uint8_t>(0x20 + i));
        }
        std::vector<size_t> found;
        size_t at = 0;
        AudioFrame f;
        size_t skip = 0;
        while (media_next_frame(format, data.data() + at, data.size() - at, false, &f, &skip)) {
            found.push_back(at + skip);
            EXPECT_EQ(static_cast<size_t>(f.length), length);
            at += skip + length;
        }
        EXPECT_EQ(found, std::vector<size_t>(starts.begin(), starts.end() - 1)) << format;
        EXPECT_EQ(at + skip, starts.back());  // the last waits for what follows it
        ASSERT_EQ(media_next_frame(format, data.data() + at, data.size() - at, true, &f, &skip), 1);
        EXPECT_EQ(at + skip, starts.back());
        // A header cut short waits for its remaining bytes; at the end it is dropped.
        Bytes tail(data.begin() + static_cast<long>(starts.back()), data.begin() + static_cast<long>(starts.back()) + 3);
        EXPECT_EQ(media_next_frame(format, tail.data(), tail.size(), false, &f, &skip), 0);
        EXPECT_EQ(skip, 0u);
        EXPECT_EQ(media_next_frame(format, tail.data(), tail.size(), true, &f, &skip), 0);
        EXPECT_EQ(skip, tail.size());
    }
}

TEST(Radio, ContentTypesAddressesAndReconnectionWaits) {
    EXPECT_EQ(media_audio_format("audio/mpeg"), AUDIO_MP3);
    EXPECT_EQ(media_audio_format("Audio/MPEG; charset=x"), AUDIO_MP3);
    EXPECT_EQ(media_audio_format("audio/aacp"), AUDIO_AAC);
    EXPECT_EQ(media_audio_format("text/html; charset=utf-8"), 0);
    EXPECT_EQ(media_audio_format("audio/ogg"), 0);
    EXPECT_EQ(media_audio_format(""), -1);
    EXPECT_EQ(media_audio_format("application/octet-stream"), -1);

    EXPECT_TRUE(media_is_url("http://radio.example:8000/live"));
    EXPECT_TRUE(media_is_url("HTTPS://radio.example/a.pls"));
    for (const char* no : std::initializer_list<const char*>{"http://", "http:///x", "ftp://x/y", "C:\\http\\x.mp3", "httpx://y", nullptr})
        EXPECT_FALSE(media_is_url(no)) << (no ? no : "null");

    std::vector<int> waits;
    for (int attempt = 0; attempt < 7; attempt++) waits.push_back(media_reconnect_wait_ms(attempt));
    EXPECT_EQ(waits, (std::vector<int>{1000, 2000, 4000, 8000, 15000, -1, -1}));
}

// An address on the command line and in the playlist is kept as it is: no
// file test, no short name, nothing resolved.
TEST(Radio, AddressesPassTheCommandLineAndThePlaylistAsTheyAre) {
    char path[APP_PATH_SIZE];
    ASSERT_EQ(app_parse_wide_command_line(L"\"http://127.0.0.1:8000/live?x=1.mp3\"", path, sizeof path), 1);
    EXPECT_STREQ(path, "http://127.0.0.1:8000/live?x=1.mp3");
    ASSERT_EQ(app_parse_wide_command_line(L"https://radio.example/a.pls /fullscreen", path, sizeof path), 1);
    EXPECT_STREQ(path, "https://radio.example/a.pls");
    EXPECT_EQ(app_file_exists("http://127.0.0.1:1/none"), 1);
    plist_reset();
    char entry[PLIST_PATH_SIZE] = "http://127.0.0.1:8000/stream";
    EXPECT_EQ(plist_add_path(entry), 1);
    char got[PLIST_PATH_SIZE];
    ASSERT_TRUE(plist_get(got, sizeof got, 0));
    EXPECT_STREQ(got, "http://127.0.0.1:8000/stream");
    plist_reset();
}

// A list naming lists on a server: each is fetched and read once, in its
// place, for the stations it names; one naming itself is not entered again,
// one that cannot be had adds nothing, and a server's file names mean
// nothing here.
TEST(Radio, ListsOnAServerAreReadInTheirPlace) {
    std::string dir = e2e_test_dir("radio lists");
    // The sources' folder, from this file's own path as the build gave it.
    std::string source = __FILE__;
    source.resize(source.rfind("/tests/"));
    e2e_run_unix("python3 '" + source + "/tools/radio_server.py' '" + e2e_unix_path(dir) + "' 30 >/dev/null 2>&1 & true",
                 10000);
    std::string line;
    ASSERT_TRUE(e2e_wait_until([&] { return (line = e2e_read_file(dir + "\\port")).find('\n') != std::string::npos; },
                               30000));
    int port = 0, pid = 0;
    ASSERT_EQ(sscanf(line.c_str(), "%d %d", &port, &pid), 2);
    const std::string host = "http://127.0.0.1:" + std::to_string(port);
    plist_reset();
    char list[PLIST_PATH_SIZE];
    lstrcpynA(list, e2e_make_file(dir + "\\local.m3u", "#EXTM3U\n" + host + "/nest.m3u\n").c_str(), sizeof list);
    EXPECT_EQ(plist_add_path(list), 1);
    auto entries = [] {
        std::vector<std::string> got;
        char path[PLIST_PATH_SIZE], title[PLIST_TITLE_SIZE];
        for (int i = 0; plist_get(path, sizeof path, i); i++) {
            plist_title_of(path, title, sizeof title);
            got.push_back(std::string(path) + " " + title);
        }
        return got;
    };
    const std::vector<std::string> expected = {host + "/stream Tavlin Test FM", host + "/tone.mp3 Direct"};
    EXPECT_EQ(entries(), expected);
    // The same list's address given as it stands (from the command line, say) is read too.
    plist_reset();
    lstrcpynA(list, (host + "/nest.m3u").c_str(), sizeof list);
    EXPECT_EQ(plist_add_path(list), 1);
    e2e_run_unix("kill " + std::to_string(pid), 5000);
    EXPECT_EQ(entries(), expected);
    plist_reset();
}

}  // namespace
