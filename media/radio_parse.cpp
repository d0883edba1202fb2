// Station addresses, ICY metadata, MP3 and ADTS frames and the reconnection
// waits: pure text and byte work over buffers the caller sizes.
#include "radio_parse.h"

#include <string.h>

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool starts_with_nocase(const char* text, const char* prefix) {
    for (; *prefix; text++, prefix++)
        if (lower(*text) != *prefix) return false;
    return true;
}

size_t smaller(size_t a, size_t b) { return a < b ? a : b; }

// A block's text, up to its NUL padding, holds no control bytes, and the
// padding holds nothing else.
bool block_is_text(const char* block, size_t length) {
    size_t i = 0;
    for (; i < length && block[i]; i++) {
        unsigned char c = static_cast<unsigned char>(block[i]);
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') return false;
    }
    for (; i < length; i++)
        if (block[i]) return false;
    return true;
}

void finish_block(IcyReader* r) {
    r->block[r->block_length] = 0;
    char title[ICY_TITLE_SIZE];
    int found = media_icy_title(r->block, r->block_length, title, sizeof title);
    if (found < 0) {
        r->bad_blocks++;
        return;
    }
    r->bad_blocks = 0;
    if (found == 1 && strcmp(title, r->title) != 0) {
        memcpy(r->title, title, strlen(title) + 1);
        r->changes++;
    }
}

const int MP3_RATES[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
// kbit/s by [MPEG-1 or not][layer - 1][index - 1]
const short MP3_BITRATES[2][3][14] = {
    {{32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
const int ADTS_RATES[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350};

int read_header(int format, const uint8_t* p, size_t size, AudioFrame* out) {
    return format == AUDIO_AAC ? media_adts_header(p, size, out) : media_mp3_header(p, size, out);
}

bool same_stream(const AudioFrame& a, const AudioFrame& b) {
    return a.format == b.format && a.sample_rate == b.sample_rate && a.channels == b.channels &&
           a.layer == b.layer && a.version == b.version && a.profile == b.profile;
}

}  // namespace

bool media_is_url(const char* path) {
    if (!path) return false;
    size_t scheme = starts_with_nocase(path, "http://") ? 7 : starts_with_nocase(path, "https://") ? 8 : 0;
    return scheme && path[scheme] && path[scheme] != '/';
}

void media_icy_start(IcyReader* r, uint32_t interval) {
    memset(r, 0, sizeof *r);
    r->interval = interval;
    r->audio_left = interval;
}

size_t media_icy_feed(IcyReader* r, const uint8_t* in, size_t size, uint8_t* out, size_t out_size, size_t* used) {
    size_t i = 0, o = 0;
    while (i < size) {
        if (r->interval == 0 || (!r->in_block && r->audio_left > 0)) {
            size_t n = smaller(size - i, out_size - o);
            if (r->interval) n = smaller(n, r->audio_left);
            if (n == 0) break;  // out is full
            memcpy(out + o, in + i, n);
            i += n, o += n;
            if (r->interval) r->audio_left -= static_cast<uint32_t>(n);
        } else if (!r->in_block) {
            r->block_length = in[i++] * 16u;
            r->block_have = 0;
            r->in_block = r->block_length > 0;
            if (!r->in_block) r->audio_left = r->interval;
        } else {
            size_t n = smaller(size - i, r->block_length - r->block_have);
            memcpy(r->block + r->block_have, in + i, n);
            i += n;
            r->block_have += static_cast<uint32_t>(n);
            if (r->block_have == r->block_length) {
                finish_block(r);
                r->in_block = false;
                r->audio_left = r->interval;
            }
        }
    }
    if (used) *used = i;
    return o;
}

int media_icy_title(const char* block, size_t length, char* out, size_t size) {
    if (!out || size == 0) return 0;
    out[0] = 0;
    if (!block_is_text(block, length)) return -1;
    size_t text_length = strnlen(block, length);
    const char* key = "StreamTitle='";
    const size_t key_length = strlen(key);
    const char* text_end = block + text_length;
    const char* from = nullptr;
    for (const char* p = block; p + key_length <= text_end; p++)
        if (memcmp(p, key, key_length) == 0) {
            from = p + key_length;
            break;
        }
    if (!from) return 0;
    // The value ends at "';" (a title may hold an apostrophe of its own),
    // else at the last quote, else with the text.
    const char* to = nullptr;
    for (const char* p = from; p + 1 < text_end && !to; p++)
        if (p[0] == '\'' && p[1] == ';') to = p;
    if (!to)
        for (const char* p = text_end; p > from && !to; p--)
            if (p[-1] == '\'') to = p - 1;
    if (!to) to = text_end;
    size_t n = smaller(static_cast<size_t>(to - from), size - 1);
    // Cut short, a title loses whole characters only.
    if (n < static_cast<size_t>(to - from))
        while (n > 0 && (static_cast<unsigned char>(from[n]) & 0xC0) == 0x80) n--;
    memcpy(out, from, n);
    out[n] = 0;
    return 1;
}

uint32_t media_icy_interval(const char* value) {
    if (!value) return 0;
    while (*value == ' ' || *value == '\t') value++;
    uint32_t n = 0;
    const char* p = value;
    for (; *p >= '0' && *p <= '9'; p++) {
        n = n * 10 + static_cast<uint32_t>(*p - '0');
        if (n > (1u << 20)) return 0;  // no station sends a megabyte between titles
    }
    while (*p == ' ' || *p == '\t') p++;
    return p > value && !*p ? n : 0;
}

int media_mp3_header(const uint8_t* p, size_t size, AudioFrame* out) {
    if (size < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return 0;
    int version_bits = (p[1] >> 3) & 3, layer_bits = (p[1] >> 1) & 3;
    int bitrate_index = p[2] >> 4, rate_index = (p[2] >> 2) & 3, padding = (p[2] >> 1) & 1;
    if (version_bits == 1 || layer_bits == 0 || bitrate_index == 0 || bitrate_index == 15 || rate_index == 3 ||
        (p[3] & 3) == 2)
        return 0;
    AudioFrame f = {};
    f.format = AUDIO_MP3;
    f.version = version_bits == 3 ? 1 : version_bits == 2 ? 2 : 25;
    f.layer = 4 - layer_bits;
    bool mpeg1 = f.version == 1;
    f.sample_rate = MP3_RATES[mpeg1 ? 0 : f.version == 2 ? 1 : 2][rate_index];
    f.bitrate = MP3_BITRATES[mpeg1 ? 0 : 1][f.layer - 1][bitrate_index - 1];
    f.channels = (p[3] >> 6) == 3 ? 1 : 2;
    int bits_per_second = f.bitrate * 1000;
    if (f.layer == 1) {
        f.samples = 384;
        f.length = (12 * bits_per_second / f.sample_rate + padding) * 4;
    } else if (f.layer == 2 || mpeg1) {
        f.samples = 1152;
        f.length = 144 * bits_per_second / f.sample_rate + padding;
    } else {
        f.samples = 576;
        f.length = 72 * bits_per_second / f.sample_rate + padding;
    }
    if (out) *out = f;
    return 1;
}

int media_adts_header(const uint8_t* p, size_t size, AudioFrame* out) {
    if (size < 7 || p[0] != 0xFF || (p[1] & 0xF6) != 0xF0) return 0;
    int rate_index = (p[2] >> 2) & 15;
    int channels = ((p[2] & 1) << 2) | (p[3] >> 6);
    int length = ((p[3] & 3) << 11) | (p[4] << 3) | (p[5] >> 5);
    int header = (p[1] & 1) ? 7 : 9;
    if (rate_index >= 13 || channels == 0 || length <= header) return 0;
    AudioFrame f = {};
    f.format = AUDIO_AAC;
    f.version = (p[1] & 8) ? 2 : 4;
    f.profile = p[2] >> 6;
    f.sample_rate = ADTS_RATES[rate_index];
    f.channels = channels == 7 ? 8 : channels;
    f.samples = 1024 * ((p[6] & 3) + 1);
    f.length = length;
    if (out) *out = f;
    return 1;
}

int media_next_frame(int format, const uint8_t* data, size_t size, bool at_end, AudioFrame* out, size_t* skip) {
    const size_t header_min = format == AUDIO_AAC ? 7 : 4;
    for (size_t at = 0; at < size; at++) {
        if (data[at] != 0xFF) continue;
        if (size - at < header_min) {
            *skip = at_end ? size : at;
            return 0;
        }
        AudioFrame f;
        if (!read_header(format, data + at, size - at, &f)) continue;
        size_t next = at + static_cast<size_t>(f.length);
        if (next > size || (!at_end && size - next < header_min)) {
            if (at_end) continue;
            *skip = at;  // the frame, or the header after it, is still to come
            return 0;
        }
        AudioFrame after;
        if (next < size && !(read_header(format, data + next, size - next, &after) && same_stream(f, after)))
            continue;
        *skip = at;
        *out = f;
        return 1;
    }
    *skip = size;
    return 0;
}

int media_audio_format(const char* content_type) {
    if (!content_type) return -1;
    while (*content_type == ' ') content_type++;
    char type[64];
    size_t n = 0;
    for (const char* p = content_type; *p && *p != ';' && *p != ' ' && n + 1 < sizeof type; p++)
        type[n++] = lower(*p);
    type[n] = 0;
    if (n == 0 || strcmp(type, "application/octet-stream") == 0) return -1;
    static const char* const mp3[] = {"audio/mpeg", "audio/mp3", "audio/mpeg3", "audio/x-mpeg", "audio/x-mp3",
                                      "audio/mpg"};
    static const char* const aac[] = {"audio/aac", "audio/aacp", "audio/x-aac", "audio/x-aacp", "audio/adts"};
    for (const char* t : mp3)
        if (strcmp(type, t) == 0) return AUDIO_MP3;
    for (const char* t : aac)
        if (strcmp(type, t) == 0) return AUDIO_AAC;
    return 0;
}

int media_reconnect_wait_ms(int attempt) {
    static const int WAITS[] = {1000, 2000, 4000, 8000, 15000};
    return attempt >= 0 && attempt < 5 ? WAITS[attempt] : -1;
}
