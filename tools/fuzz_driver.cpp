// Seeded, bounded fuzzing of the program's pure parsers and pixel code on the
// build machine, under AddressSanitizer and UndefinedBehaviorSanitizer: the
// playlist text parser, the hand-off record reader, the BMP writer, the title
// clock, the command line's path candidates and the graphics operations on
// every row-routine table the processor runs, and the XSPF reader; the
// command line's rules on UTF-16 text too; the radio station's metadata
// reader and its MP3 and ADTS frame finders. A sanitizer stops the run at the first
// fault; the checks below count wrong results. Usage: fuzz_driver INPUTS SEED
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../app/command_line_parse.h"
#include "../gfx/gfx.h"
#include "../gfx/spans.h"
#include "../media/radio_parse.h"
#include "../playlist/playlist.h"
#include "../ui/access_text.h"

int app_handoff_read_record(const char* record, size_t record_size, char* out, size_t out_size);
size_t media_bmp_encode(const uint32_t* pixels, int stride, int width, int height, uint8_t* out, size_t size);
void ui_format_title(char* out, size_t size, int64_t position, int64_t duration);

namespace {

uint64_t g_state;
uint32_t next() {
    g_state = g_state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(g_state >> 33);
}
int below(int n) { return n > 0 ? static_cast<int>(next() % static_cast<uint32_t>(n)) : 0; }

long g_failures;
#define CHECK(condition)                                                                   \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            if (g_failures++ < 10) fprintf(stderr, "fuzz: %s failed at line %d\n", #condition, __LINE__); \
        }                                                                                  \
    } while (0)

const char* const SEEDS[] = {
    "#EXTM3U\r\n#EXTINF:12,Artist - Title\r\nC:\\Music\\a.mp3\r\nrelative\\b.ogg\r\n\r\n",
    "[playlist]\nFile1=C:\\a=b.mp3\nTitle1=x\nLength1=-1\nNumberOfEntries=1\nVersion=2\n",
    "\xEF\xBB\xBF#EXTM3U\nfile:///C:/Music/My%20Song.mp3\nfile://localhost/D:/x%2Fy.ogg\n",
    "plain.mp3\nsecond line.avi\n",
    "#EXTM3U\n#EXTINF:-1 tvg-name=\"a,b\",Station One\n#EXTVLCOPT:x\nhttp://127.0.0.1:8000/live\n",
    "[playlist]\nTitle2=Two\nFile2=https://radio.example/b\nFile1=http://radio.example/a\nTitle1=One\n",
};

std::string playlist_input() {
    std::string s;
    if (next() % 3 == 0) {
        int n = below(600);
        for (int i = 0; i < n; i++) s += static_cast<char>(next());
    } else {
        s = SEEDS[below(6)];
        int edits = 1 + below(8);
        for (int i = 0; i < edits && !s.empty(); i++) {
            size_t at = static_cast<size_t>(below(static_cast<int>(s.size())));
            switch (below(4)) {
            case 0: s[at] = static_cast<char>(next()); break;
            case 1: s.insert(at, 1, "\r\n=%/:#[]"[below(9)]); break;
            case 2: s.erase(at, 1 + static_cast<size_t>(below(4))); break;
            default: s.insert(at, std::string(static_cast<size_t>(below(400)), 'x')); break;
            }
        }
    }
    return s;
}

const char* const XSPF_SEEDS[] = {
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">"
    "<trackList><track><location>file:///Z:/tmp/My%20Song%C3%A9.mp3</location><title>a &amp; b</title></track>"
    "<track><title>no location</title></track><!-- <track><location>x</location></track> -->"
    "<track><location a='>'>C:\\caf&#233;&#x4E2D;&lt;.ogg</location><location>second</location></track>"
    "<track/><track><location/></track><track><location>file://server/share/x%00.avi</location></track>"
    "<track><extension><title>no</title></extension><title>FM</title><location>http://x/a b\xC3\xA9</location></track>"
    "</trackList></playlist>",
    "<playlist><trackList><track><location><![CDATA[x]]>&#99999999999;&#;&#x;&bogus;</location></track>",
    "\xEF\xBB\xBF<?xml version='1.0'?><!-- c --><!DOCTYPE playlist [<!ENTITY e '>'>]><?pi x?>\n<x:playlist>"
    "<track><location> <!-- </location> --><![CDATA[C:\\a]]></location>]]>&amp;<!---->b.ogg </location></track>",
};

// Every path handed over is whole, fits a playlist entry and lies in the
// buffer the parser gave; the count covers them.
void fuzz_xspf() {
    std::string s;
    if (next() % 4 == 0) {
        for (int i = 0, n = below(600); i < n; i++) s += "<>/&#;x%\"a "[below(12)];
    } else {
        s = XSPF_SEEDS[below(3)];
        for (int i = 0, edits = 1 + below(10); i < edits && !s.empty(); i++) {
            size_t at = static_cast<size_t>(below(static_cast<int>(s.size())));
            switch (below(4)) {
            case 0: s[at] = static_cast<char>(next()); break;
            case 1: s.insert(at, 1, "<>/&#;%'\""[below(9)]); break;
            case 2: s.erase(at, 1 + static_cast<size_t>(below(20))); break;
            default: s.insert(at, std::string(static_cast<size_t>(below(400)), next() & 1 ? 'x' : '\xE9')); break;
            }
        }
    }
    int handed = 0;
    int found = plist_parse_titled_xspf(s.c_str(), nullptr, [](const char* path, size_t n, bool, const char* title,
                                                                  size_t title_n, void* c) {
        ++*static_cast<int*>(c);
        CHECK(n > 0 && n <= 259 && strlen(path) == n);
        CHECK(title ? title_n > 0 && strlen(title) == title_n : title_n == 0);
    }, &handed);
    CHECK(handed <= found);
    // Told from the first bytes alone: a list there stays a list read whole.
    std::string head = s.substr(0, static_cast<size_t>(below(static_cast<int>(s.size()) + 1)));
    CHECK(!plist_text_is_xspf(head.c_str()) || plist_text_is_xspf(s.c_str()));
}

struct Lines {
    const char* start;
    const char* end;
};

void fuzz_playlist() {
    std::string text = playlist_input();
    Lines bounds = {text.c_str(), text.c_str() + text.size()};
    plist_parse_titled_text(text.c_str(), next() & 1, [](const char* line, size_t n, bool entry, const char* title,
                                                         size_t title_n, void* c) {
        Lines* b = static_cast<Lines*>(c);
        CHECK(entry || !title);
        CHECK(line >= b->start && line + n <= b->end);
        CHECK(title ? title >= b->start && title + title_n <= b->end && title_n > 0 : title_n == 0);
        CHECK(memchr(title ? title : "", '\n', title_n) == nullptr);
        CHECK(memchr(line, '\r', n) == nullptr && memchr(line, '\n', n) == nullptr);
        size_t size = 1 + static_cast<size_t>(below(300));
        std::vector<char> out(size + 8, '#');
        if (plist_name_from_line(line, n, out.data(), size)) CHECK(strlen(out.data()) < size && strlen(out.data()) <= 259);
        CHECK(out[size] == '#');
    }, &bounds);
    const char* found = plist_find_text(text.c_str(), "#extm3u", true);
    CHECK(!found || (found >= text.c_str() && found < text.c_str() + text.size()));
}

void fuzz_handoff() {
    char record[260];
    int kind = below(3);
    for (char& c : record) c = kind == 0 ? static_cast<char>(next()) : kind == 1 ? 'A' : static_cast<char>(next() & 1 ? 0 : 'p');
    size_t record_size = static_cast<size_t>(below(261)), out_size = static_cast<size_t>(below(300));
    std::vector<char> out(out_size + 8, '#');
    int taken = app_handoff_read_record(record, record_size, out_size ? out.data() : nullptr, out_size);
    if (taken) {
        CHECK(memchr(record, 0, record_size) != nullptr);
        CHECK(strlen(out.data()) < out_size && strlen(out.data()) > 0);
    }
    CHECK(out[out_size] == '#');
}

void fuzz_bmp() {
    int w = 1 + below(40), h = 1 + below(40);
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
    int colours = 1 + below(300);
    std::vector<uint32_t> palette(static_cast<size_t>(colours));
    for (uint32_t& c : palette) c = next() % 3 ? next() & 0xFFFFFF : next();
    for (uint32_t& p : pixels) p = palette[static_cast<size_t>(below(colours))];
    size_t size = media_bmp_encode(pixels.data(), w, w, h, nullptr, 0);
    std::vector<uint8_t> file(size + 8, 0xEE);
    CHECK(media_bmp_encode(pixels.data(), w, w, h, file.data(), size) == size);
    CHECK(media_bmp_encode(pixels.data(), w, w, h, file.data(), size - 1) == 0);
    CHECK(file[size] == 0xEE);
    uint32_t bits = file[28], offset = file[10] | file[11] << 8;
    CHECK(bits == 8 || bits == 24 || bits == 32);
    if (bits == 8) {  // every pixel's index names its own colour
        size_t row = (static_cast<size_t>(w) + 3) & ~static_cast<size_t>(3);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                uint8_t index = file[offset + row * static_cast<size_t>(h - 1 - y) + static_cast<size_t>(x)];
                const uint8_t* e = &file[54 + index * 4u];
                CHECK((e[0] | e[1] << 8 | e[2] << 16 | static_cast<uint32_t>(e[3]) << 24) == pixels[static_cast<size_t>(y) * w + x]);
            }
    }
}

const char* const LINES[] = {
    "\"C:\\My Music\\a b.final.mp3\" /fullscreen",
    "C:\\Videos\\clip.avi",
    "\\\\server\\share\\f.ogg -x \"quoted\"",
    "//Host/path/x.wav",
};

// Both candidates must be whole substrings of the line and end inside the
// buffer, whatever the line and the buffer's size.
void fuzz_command_line() {
    std::string line;
    if (next() % 3 == 0) {
        int n = below(700);
        for (int i = 0; i < n; i++) line += static_cast<char>(1 + below(255));
    } else {
        line = LINES[below(4)];
        for (int i = 0, edits = 1 + below(6); i < edits; i++) {
            size_t at = static_cast<size_t>(below(static_cast<int>(line.size()) + 1));
            switch (below(3)) {
            case 0: line.insert(at, 1, " \".:\\/"[below(6)]); break;
            case 1: line.erase(at, static_cast<size_t>(below(5))); break;
            default: line.insert(at, std::string(static_cast<size_t>(below(300)), 'n')); break;
            }
        }
    }
    size_t size = 1 + static_cast<size_t>(below(300));
    std::vector<char> guess(size + 8, '#'), quoted(size + 8, '#');
    app_command_line_candidates(line.c_str(), guess.data(), quoted.data(), size);
    for (const std::vector<char>* out : {&guess, &quoted}) {
        const char* text = out->data();
        CHECK(memchr(text, 0, size) != nullptr);
        CHECK((*out)[size] == '#');
        CHECK(strstr(line.c_str(), text) != nullptr);
    }
    // The system's UTF-16 line follows the same rules: a line of the same
    // characters gives the same candidates, character for character.
    std::wstring wide;
    for (char c : line) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    std::vector<wchar_t> wide_guess(size + 8, L'#'), wide_quoted(size + 8, L'#');
    app_command_line_candidates(wide.c_str(), wide_guess.data(), wide_quoted.data(), size);
    for (size_t i = 0; i < size; i++) {
        CHECK(wide_guess[i] == static_cast<wchar_t>(static_cast<unsigned char>(guess[i])));
        CHECK(wide_quoted[i] == static_cast<wchar_t>(static_cast<unsigned char>(quoted[i])));
        if (!guess[i] && !quoted[i]) break;
    }
    CHECK(wide_guess[size] == L'#' && wide_quoted[size] == L'#');
    // The arguments are the line's tail, past a program's name and the blanks after it.
    const wchar_t* arguments = app_command_line_arguments(wide.c_str());
    CHECK(arguments >= wide.c_str() && arguments <= wide.c_str() + wide.size());
    CHECK(!*arguments || *arguments > L' ');
}

void fuzz_title() {
    size_t size = static_cast<size_t>(below(128));
    std::vector<char> out(size + 8, '#');
    int64_t position = static_cast<int64_t>(static_cast<uint64_t>(next()) << 32 | next());
    int64_t duration = next() & 1 ? position : static_cast<int64_t>(next()) * 10000;
    if (size) ui_format_title(out.data(), size, position, duration);
    if (size) CHECK(memchr(out.data(), 0, size) != nullptr);
    CHECK(out[size] == '#');
}

// A station's bytes: frames of one kind with metadata blocks of any length
// byte between them, then cut, flipped and salted with sync bytes.
std::string radio_input(int format) {
    static const uint8_t MP3[4] = {0xFF, 0xFB, 0x90, 0x64}, ADTS[7] = {0xFF, 0xF1, 0x50, 0x80, 0x2E, 0x7F, 0xFC};
    std::string s;
    for (int i = 0, n = below(12); i < n; i++) {
        if (format == AUDIO_MP3) s.append(reinterpret_cast<const char*>(MP3), 4), s.append(413, 'a');
        else s.append(reinterpret_cast<const char*>(ADTS), 7), s.append(364, 'b');
        if (next() % 4 == 0) {
            uint8_t length = static_cast<uint8_t>(next());
            s += static_cast<char>(length);
            std::string text = "StreamTitle='" + std::string(static_cast<size_t>(below(300)), '\'') + "';";
            text.resize(length * 16u, static_cast<char>(next() % 5 ? 0 : next()));
            s += text;
        }
    }
    for (int i = 0, edits = below(10); i < edits && !s.empty(); i++) {
        size_t at = static_cast<size_t>(below(static_cast<int>(s.size())));
        switch (below(3)) {
        case 0: s[at] = static_cast<char>(next()); break;
        case 1: s.insert(at, std::string(1 + static_cast<size_t>(below(8)), '\xFF')); break;
        default: s.erase(at, static_cast<size_t>(below(500))); break;
        }
    }
    return s;
}

// Audio out never exceeds its buffer or the bytes taken; titles stay
// terminated in theirs; every frame found lies whole in the data and its
// header reads again; nothing found drops no more than the data.
void fuzz_radio() {
    int format = next() & 1 ? AUDIO_MP3 : AUDIO_AAC;
    std::string s = radio_input(format);
    const uint8_t* data = reinterpret_cast<const uint8_t*>(s.data());
    IcyReader* r = new IcyReader;
    media_icy_start(r, next() & 1 ? 0 : 1 + static_cast<uint32_t>(below(2000)));
    std::vector<uint8_t> audio;
    for (size_t at = 0; at < s.size();) {
        size_t piece = std::min<size_t>(1 + static_cast<size_t>(below(900)), s.size() - at);
        size_t room = static_cast<size_t>(below(600));
        std::vector<uint8_t> out(room + 8, 0xEE);
        size_t used = 0;
        size_t n = media_icy_feed(r, data + at, piece, out.data(), room, &used);
        CHECK(n <= room && n <= used && used <= piece && out[room] == 0xEE);
        CHECK(memchr(r->title, 0, sizeof r->title) != nullptr);
        audio.insert(audio.end(), out.begin(), out.begin() + static_cast<long>(n));
        if (used == 0 && room == 0) continue;
        at += used;
    }
    delete r;
    bool at_end = next() & 1;
    for (size_t at = 0; at < audio.size();) {
        AudioFrame f;
        size_t skip = 0, left = audio.size() - at;
        int found = media_next_frame(format, audio.data() + at, left, at_end, &f, &skip);
        CHECK(skip <= left);
        if (!found) break;
        CHECK(f.length > 0 && skip + static_cast<size_t>(f.length) <= left);
        AudioFrame again;
        CHECK((format == AUDIO_MP3 ? media_mp3_header : media_adts_header)(audio.data() + at + skip, left - skip, &again) == 1);
        at += skip + static_cast<size_t>(f.length);
    }
    size_t size = static_cast<size_t>(below(40));
    std::vector<char> title(size + 8, '#');
    size_t length = std::min<size_t>(s.size(), static_cast<size_t>(below(4081)));
    if (media_icy_title(s.data(), length, size ? title.data() : nullptr, size) == 1) CHECK(strlen(title.data()) < size);
    CHECK(title[size] == '#');
    std::string text = s.substr(0, static_cast<size_t>(below(20)));
    media_icy_interval(text.c_str());
    media_audio_format(text.c_str());
    media_is_url(text.c_str());
}

// Slider values read back from any text, and written into any buffer.
void fuzz_access_text() {
    static const wchar_t alphabet[] = L"0123456789:% of9x";
    std::wstring text;
    for (int i = below(24); i > 0; i--) text += alphabet[below(sizeof alphabet / sizeof alphabet[0] - 1)];
    int percent = ui_parse_percent(text.c_str());
    CHECK(percent >= -1 && percent <= 100);
    CHECK(ui_parse_clock(text.c_str()) >= -1);
    size_t size = static_cast<size_t>(below(40));
    std::vector<wchar_t> out(size + 1, L'#');
    int64_t position = static_cast<int64_t>(static_cast<uint64_t>(next()) << 32 | next());
    if (next() & 1) ui_position_text(position, position ^ next(), out.data(), size);
    else ui_percent_text(static_cast<int>(next()), out.data(), size);
    if (size) CHECK(wmemchr(out.data(), 0, size) != nullptr);
    CHECK(out[size] == L'#');
}

int coord(int range) {
    uint32_t r = next();
    if (r % 50 == 0) return static_cast<int>(next());
    return static_cast<int>(r % static_cast<uint32_t>(2 * range)) - range / 2;
}

void fuzz_gfx(Surface* dst, Surface* src) {
    int x1 = coord(dst->width), y1 = coord(dst->height), x2 = coord(dst->width), y2 = coord(dst->height);
    int sx1 = coord(src->width), sy1 = coord(src->height), sx2 = coord(src->width), sy2 = coord(src->height);
    uint32_t flags = next() & (GFX_MODE_MASK | GFX_CLIP | GFX_OPAQUE | GFX_SMOOTH_AREA | GFX_EXCLUSIVE);
    uint32_t colour = next();
    gfx_set_clip(coord(dst->width), coord(dst->height), coord(dst->width), coord(dst->height));
    gfx_use_spans(next() & 1 ? GFX_SPANS_SSE2 : GFX_SPANS_AVX2);  // refused where the processor lacks it
    gfx_surface_lock(dst, 0);
    switch (below(12)) {
    case 0: gfx_blit_copy(dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags); break;
    case 1: gfx_blit_blend(dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags); break;
    case 2: gfx_stretch_copy(dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags); break;
    case 3: gfx_stretch_blend(dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags); break;
    case 4: gfx_line_blend(dst, x1, y1, x2, y2, colour, flags); break;
    case 5: gfx_frame_blend(dst, x1, y1, x2, y2, below(12), colour, flags); break;
    case 6: gfx_fill_op(dst, x1, y1, x2, y2, colour, below(8), flags); break;
    case 7: gfx_gradient_blend(dst, x1, y1, x2, y2, colour, ~colour, colour >> 3, colour << 3, flags); break;
    case 8: gfx_ellipse_copy(dst, x1, y1, x2, y2, colour, flags); break;
    case 9: gfx_radial_blend(dst, x1, y1, x2, y2, colour, ~colour, flags); break;
    case 10: gfx_flood_fill(dst, coord(dst->width), coord(dst->height), static_cast<uint8_t>(next() & 1), colour, 0, nullptr); break;
    default: gfx_fill_copy(dst, x1, y1, x2, y2, colour, flags); break;
    }
    gfx_surface_unlock(dst, 0);
}

}  // namespace

int main(int argc, char** argv) {
    long inputs = argc > 1 ? atol(argv[1]) : 1000000;
    g_state = argc > 2 ? strtoull(argv[2], nullptr, 10) : 20261207;
    Surface dst = {}, src = {};
    gfx_surface_create(&dst, 37, 23, 0);
    gfx_surface_create(&src, 19, 29, 0);
    gfx_build_checker_pattern(0x00C0C0C0, 0x40404040);
    for (int i = 0; i < 19 * 29; i++) src.pixels[i] = next();
    long done = 0;
    for (long i = 0; i < inputs; i++, done += 8) {
        fuzz_playlist();
        fuzz_xspf();
        fuzz_handoff();
        fuzz_bmp();
        fuzz_title();
        fuzz_access_text();
        fuzz_command_line();
        fuzz_radio();
        fuzz_gfx(&dst, &src);
    }
    gfx_surface_release(&dst, 0);
    gfx_surface_release(&src, 0);
    printf("fuzz_inputs = %ld\nfuzz_failures = %ld\n", done, g_failures);
    return g_failures ? 1 : 0;
}
