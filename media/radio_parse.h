// The pure parts of internet radio: telling a station's address from a
// path, reading the song titles a station sends inside its stream, finding
// the audio frames in it and the waits between reconnections. No network,
// file or window calls here, so all of it can be tested and fuzzed alone.
#pragma once
#include <stddef.h>
#include <stdint.h>

// An http:// or https:// address with something after the scheme.
bool media_is_url(const char* path);

// The song titles a station interleaves with its audio: every `interval`
// audio bytes come one length byte and that many 16-byte blocks of text,
// such as "StreamTitle='Artist - Song';StreamUrl='';" padded with NULs.
#define ICY_TITLE_SIZE 256
#define ICY_BLOCK_MAX (255 * 16)
struct IcyReader {
    uint32_t interval;      // audio bytes between blocks; 0 when the station sends none
    uint32_t audio_left;    // audio bytes before the next length byte
    uint32_t block_length;  // bytes of the block being read
    uint32_t block_have;    // of those, read so far
    bool in_block;
    uint32_t changes;       // titles taken so far; a reader polls it
    uint32_t bad_blocks;    // blocks in a row that were not text: the interval is wrong
    char title[ICY_TITLE_SIZE];
    char block[ICY_BLOCK_MAX + 1];
};
void media_icy_start(IcyReader* r, uint32_t interval);
// Takes in[0..size) and writes its audio bytes into out, which holds
// out_size bytes; stops when out is full. *used says how much of in was
// taken. Returns the audio bytes written.
size_t media_icy_feed(IcyReader* r, const uint8_t* in, size_t size, uint8_t* out, size_t out_size, size_t* used);
// The title of one whole block of metadata into out (size bytes): 1 when the
// block names one (possibly empty), 0 when it names none, -1 when the block
// is not text at all.
int media_icy_title(const char* block, size_t length, char* out, size_t size);
// The interval an "icy-metaint" header's value states: 0 for none, for one
// not a plain decimal number, or for one beyond any station's.
uint32_t media_icy_interval(const char* value);

#define AUDIO_MP3 1
#define AUDIO_AAC 2
// One audio frame's header, read.
struct AudioFrame {
    int format;       // AUDIO_MP3 or AUDIO_AAC
    int length;       // the whole frame's bytes, header included
    int sample_rate;  // samples per second
    int channels;
    int samples;      // samples per channel in the frame
    int layer;        // MP3: 1, 2 or 3; AAC: 0
    int version;      // MP3: 1 MPEG-1, 2 MPEG-2, 25 MPEG-2.5; AAC: 2 or 4
    int bitrate;      // MP3: kbit/s; AAC: 0
    int profile;      // AAC: the audio object type less one; MP3: 0
};
// A frame header at p (size bytes available) of the format: 1 and *out
// filled when it is one, else 0.
int media_mp3_header(const uint8_t* p, size_t size, AudioFrame* out);
int media_adts_header(const uint8_t* p, size_t size, AudioFrame* out);
// The next whole frame of the format in data[0..size). A frame counts only
// when the header after it matches it (same kind of stream), or when
// at_end says no more bytes will come and it ends the data. Garbage before it
// is passed over. Returns 1 with the frame at data + *skip; 0 when more data
// is needed, with *skip the bytes that can be dropped meanwhile.
int media_next_frame(int format, const uint8_t* data, size_t size, bool at_end, AudioFrame* out, size_t* skip);
// The format a stream's content type names: AUDIO_MP3, AUDIO_AAC, 0 for one
// that is not audio we play, -1 for one that says nothing (to be told from
// the bytes).
int media_audio_format(const char* content_type);

// How long to wait before reconnection attempt n (0 the first): 1, 2, 4, 8
// and 15 s; -1 once the attempts are spent.
int media_reconnect_wait_ms(int attempt);
