// The network source. A thread of its own reads the address over WinHTTP
// (TLS and its certificate checks by the system), strips the station's
// metadata, cuts the audio into frames and keeps the last few seconds of
// them; a source filter of our own pushes those frames, one per sample, to
// the decoder the graph finds for them, in front of the stream's own audio
// renderer. A dropped station is connected again after growing waits.
#include <windows.h>
#include <mmreg.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <string.h>
#include <stdio.h>
#include <winhttp.h>
#include <wchar.h>

#include <atomic>

#include "media_state.h"
#include "radio_parse.h"
#include "radio_source.h"

namespace {

const int64_t SECOND = 10000000;
const DWORD CONNECT_LIMIT_MS = 5000;     // name, connection, request and the answer's headers
const DWORD FIRST_AUDIO_LIMIT_MS = 9000; // from the request to the first whole frame
const DWORD STALL_LIMIT_MS = 10000;      // a station silent this long has dropped
const int64_t QUEUE_TIME = 4 * SECOND;   // the most audio kept waiting for the decoder
const int64_t RESUME_TIME = SECOND;      // what is kept of it when playing resumes
const size_t QUEUE_BYTES = 512 * 1024;
const size_t PENDING_BYTES = 16384;      // bytes read but not yet cut into frames: two frames of any kind
const size_t GARBAGE_LIMIT = 256 * 1024; // bytes in a row that hold no frame: not audio
const DWORD STEADY_MS = 15000;           // a connection that played this long resets the waits
const int BAD_BLOCKS_LIMIT = 3;          // metadata blocks in a row that are not text

// What the user-interface thread reads about the stream, under its own lock.
struct StreamInfo {
    SRWLOCK lock;
    uint32_t generation;  // the open stream's; a stream since replaced writes nothing
    std::atomic<uint32_t> changes;
    std::atomic<int> connection;
    std::atomic<int> attempt;
    std::atomic<DWORD> retry_at;  // tick count at which the next connection starts
    std::atomic<uint8_t> live;
    char station[128];
    char title[ICY_TITLE_SIZE];
    char failure[256];
};
StreamInfo g_info = {SRWLOCK_INIT, 0, {0}, {MEDIA_NET_NONE}, {0}, {0}, {0}, "", "", ""};

// One connection's life, shared by its reading thread and its filter.
struct NetStream {
    std::atomic<LONG> refs;
    uint32_t generation;
    char url[260];
    HWND window;
    uint32_t serial;
    HANDLE stop_event;  // set once: everything winds down
    SRWLOCK lock;
    CONDITION_VARIABLE changed;
    // The frames waiting for the decoder: each a 2-byte length and its bytes,
    // in a circular buffer.
    uint8_t* queue;
    size_t queue_head, queue_used;
    int queue_frames;
    AudioFrame first;  // the stream's first frame: its kind is the filter's media type
    bool have_first;
    bool answered;     // a connection's headers came
    bool finished;     // a finite file: every frame of it is queued
    bool failed;
    char failure[256];  // why, set with failed
};

NetStream* g_stream;            // the open stream's, for the media thread
IBaseFilter* g_filter;          // our source in the open graph

void stream_release(NetStream* s) {
    if (--s->refs > 0) return;
    CloseHandle(s->stop_event);
    delete[] s->queue;
    delete s;
}

bool stopping(NetStream* s) { return WaitForSingleObject(s->stop_event, 0) == WAIT_OBJECT_0; }

int64_t frame_time(const AudioFrame& f) { return f.samples * SECOND / f.sample_rate; }

// Changes of what the user sees, from the reading thread; a stream that is
// no longer the open one changes nothing.
template <class Change>
void tell(NetStream* s, Change change) {
    AcquireSRWLockExclusive(&g_info.lock);
    bool current = g_info.generation == s->generation;
    if (current) {
        change();
        g_info.changes++;
    }
    ReleaseSRWLockExclusive(&g_info.lock);
    if (current && s->window) PostMessageA(s->window, WM_MEDIA_EVENT, MEDIA_EVENT_STREAM_INFO, s->serial);
}

void set_connection(NetStream* s, int state, int attempt = 0, DWORD wait_ms = 0) {
    tell(s, [&] {
        g_info.connection = state;
        g_info.attempt = attempt;
        g_info.retry_at = GetTickCount() + wait_ms;
    });
}

void fail_stream(NetStream* s, const char* reason) {
    AcquireSRWLockExclusive(&s->lock);
    lstrcpynA(s->failure, reason, sizeof s->failure);
    s->failed = true;
    WakeAllConditionVariable(&s->changed);
    ReleaseSRWLockExclusive(&s->lock);
    tell(s, [&] {
        lstrcpynA(g_info.failure, reason, sizeof g_info.failure);
        g_info.connection = MEDIA_NET_FAILED;
    });
}

// The queue: whole frames in, oldest dropped when it holds more than a few
// seconds; frames out whole.
void queue_bytes(NetStream* s, size_t at, const uint8_t* from, size_t n) {
    for (size_t i = 0; i < n; i++) s->queue[(at + i) % QUEUE_BYTES] = from[i];
}
size_t queued_length(NetStream* s, size_t at) {
    return s->queue[at % QUEUE_BYTES] | static_cast<size_t>(s->queue[(at + 1) % QUEUE_BYTES]) << 8;
}
void drop_oldest(NetStream* s) {
    size_t n = 2 + queued_length(s, s->queue_head);
    s->queue_head = (s->queue_head + n) % QUEUE_BYTES;
    s->queue_used -= n;
    s->queue_frames--;
}
// Keeps at most the newest `keep` of audio; the lock is held.
void trim_queue(NetStream* s, int64_t keep) {
    int64_t each = s->have_first ? frame_time(s->first) : SECOND;
    while (s->queue_frames > 0 && s->queue_frames * each > keep) drop_oldest(s);
}

void push_frame(NetStream* s, const uint8_t* frame, size_t n) {
    AcquireSRWLockExclusive(&s->lock);
    while (s->queue_frames > 0 && s->queue_used + n + 2 > QUEUE_BYTES) drop_oldest(s);
    uint8_t length[2] = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8)};
    size_t tail = (s->queue_head + s->queue_used) % QUEUE_BYTES;
    queue_bytes(s, tail, length, 2);
    queue_bytes(s, tail + 2, frame, n);
    s->queue_used += n + 2;
    s->queue_frames++;
    trim_queue(s, QUEUE_TIME);
    WakeAllConditionVariable(&s->changed);
    ReleaseSRWLockExclusive(&s->lock);
}

// The oldest frame into out (size bytes), waiting up to wait_ms for one:
// its length, or 0 when none came.
size_t pop_frame(NetStream* s, uint8_t* out, size_t size, DWORD wait_ms) {
    AcquireSRWLockExclusive(&s->lock);
    if (s->queue_frames == 0 && !s->finished && !s->failed)
        SleepConditionVariableSRW(&s->changed, &s->lock, wait_ms, 0);
    size_t n = 0;
    if (s->queue_frames > 0) {
        n = queued_length(s, s->queue_head);
        for (size_t i = 0; i < n && i < size; i++) out[i] = s->queue[(s->queue_head + 2 + i) % QUEUE_BYTES];
        drop_oldest(s);
        if (n > size) n = 0;
    }
    ReleaseSRWLockExclusive(&s->lock);
    return n;
}

// ---- The reading thread ----

enum Outcome { OPENED, STOPPED, ENDED, DROPPED, REFUSED, BAD_METADATA };

struct Connection {
    HINTERNET session, connect, request;
};

void close_connection(Connection* c) {
    if (c->request) WinHttpCloseHandle(c->request);
    if (c->connect) WinHttpCloseHandle(c->connect);
    if (c->session) WinHttpCloseHandle(c->session);
    *c = Connection{};
}

// A header of the answer as text of the code page; "" when absent.
void query_header(HINTERNET request, DWORD level, const wchar_t* name, char* out, size_t size) {
    wchar_t wide[512];
    DWORD bytes = sizeof wide;
    out[0] = 0;
    if (WinHttpQueryHeaders(request, level, name, wide, &bytes, WINHTTP_NO_HEADER_INDEX))
        WideCharToMultiByte(CP_ACP, 0, wide, -1, out, static_cast<int>(size), nullptr, nullptr);
    out[size - 1] = 0;
}

void connect_failure(DWORD error, char* reason, size_t size) {
    const char* text;
    switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
    case 10060:  // the socket's own time-out (WSAETIMEDOUT), which a busy machine may give first
        text = "The station did not answer within 5 seconds.\n";
        break;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: text = "The station's server name is not known.\n"; break;
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_CONNECTION_ERROR: text = "The station could not be reached.\n"; break;
    case ERROR_WINHTTP_REDIRECT_FAILED: text = "The station sends its listeners from address to address.\n"; break;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED: text = "The station's secure connection could not be trusted.\n"; break;
    case ERROR_WINHTTP_HEADER_SIZE_OVERFLOW:
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: text = "The station's answer was not understood.\n"; break;
    default: snprintf(reason, size, "The station could not be reached (error %lu).\n", error); return;
    }
    lstrcpynA(reason, text, static_cast<int>(size));
}

// Makes the request and reads the answer's headers: OPENED, else DROPPED
// (with the reason) when it could not, REFUSED for an answer that is not audio.
Outcome open_connection(NetStream* s, bool metadata, Connection* c, int* format, uint32_t* interval, bool* finite,
                        char* reason, size_t size) {
    wchar_t url[260], host[256], path[2048];
    MultiByteToWideChar(CP_ACP, 0, s->url, -1, url, 260);
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 2048;
    wchar_t extra[1024];
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = 1024;
    if (!WinHttpCrackUrl(url, 0, 0, &parts)) {
        lstrcpynA(reason, "The station's address is not valid.\n", static_cast<int>(size));
        return REFUSED;
    }
    if (wcslen(path) + wcslen(extra) < 2048) wcscat(path, extra);
    if (!path[0]) wcscpy(path, L"/");
    const DWORD limit = CONNECT_LIMIT_MS;
    c->session = WinHttpOpen(L"Tavlin Media Player 1.1", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                             WINHTTP_NO_PROXY_BYPASS, 0);
    if (c->session) WinHttpSetTimeouts(c->session, limit, limit, limit, limit);
    if (c->session) c->connect = WinHttpConnect(c->session, host, parts.nPort, 0);
    if (c->connect)
        c->request = WinHttpOpenRequest(c->connect, L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                        WINHTTP_DEFAULT_ACCEPT_TYPES,
                                        parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0);
    if (!c->request) {
        connect_failure(GetLastError(), reason, size);
        return DROPPED;
    }
    DWORD redirects = 5, header_bytes = 65536, answer_limit = limit;
    WinHttpSetOption(c->request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &answer_limit, sizeof answer_limit);
    WinHttpSetOption(c->request, WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &redirects, sizeof redirects);
    WinHttpSetOption(c->request, WINHTTP_OPTION_MAX_RESPONSE_HEADER_SIZE, &header_bytes, sizeof header_bytes);
    if (metadata) WinHttpAddRequestHeaders(c->request, L"Icy-MetaData: 1", static_cast<DWORD>(-1), WINHTTP_ADDREQ_FLAG_ADD);
    if (!WinHttpSendRequest(c->request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(c->request, nullptr)) {
        connect_failure(GetLastError(), reason, size);
        return DROPPED;
    }
    DWORD status = 0, bytes = sizeof status;
    WinHttpQueryHeaders(c->request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                        &status, &bytes, WINHTTP_NO_HEADER_INDEX);
    if (status >= 300 && status < 400) {
        lstrcpynA(reason, "The station sends its listeners from address to address.\n", static_cast<int>(size));
        return DROPPED;
    }
    if (status != 200) {
        snprintf(reason, size, "The station answered with status %lu.\n", status);
        return DROPPED;
    }
    char type[128], value[128], name[128];
    query_header(c->request, WINHTTP_QUERY_CONTENT_TYPE, WINHTTP_HEADER_NAME_BY_INDEX, type, sizeof type);
    *format = media_audio_format(type);
    if (*format == 0) {
        snprintf(reason, size, "The address names no audio stream (%s).\n", type);
        return REFUSED;
    }
    AcquireSRWLockExclusive(&s->lock);
    s->answered = true;
    WakeAllConditionVariable(&s->changed);
    ReleaseSRWLockExclusive(&s->lock);
    query_header(c->request, WINHTTP_QUERY_CUSTOM, L"icy-metaint", value, sizeof value);
    *interval = metadata ? media_icy_interval(value) : 0;
    query_header(c->request, WINHTTP_QUERY_CUSTOM, L"icy-name", name, sizeof name);
    char rate[32];
    query_header(c->request, WINHTTP_QUERY_CUSTOM, L"icy-br", rate, sizeof rate);
    bool icy = value[0] || name[0] || rate[0];
    if (name[0]) tell(s, [&] { lstrcpynA(g_info.station, name, sizeof g_info.station); });
    query_header(c->request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, value, sizeof value);
    // A station never ends; a plain server's file does, told by its length
    // or by the absence of any station header.
    *finite = value[0] || !icy;
    DWORD stall = STALL_LIMIT_MS;
    WinHttpSetOption(c->request, WINHTTP_OPTION_RECEIVE_TIMEOUT, &stall, sizeof stall);
    return OPENED;
}

// The state of one connection's reading: metadata, bytes not yet cut into
// frames, and what it has found.
struct Reading {
    IcyReader icy;
    uint8_t pending[PENDING_BYTES];
    size_t pending_used;
    size_t garbage;  // bytes in a row that held no frame
    int format;      // AUDIO_*, or -1 until the bytes tell
    uint32_t title_changes;
    bool played;     // a frame of this connection was queued
};

// The frames in what is pending go to the queue. at_end: nothing more comes.
// False when the bytes are not audio of the stream's kind.
bool cut_frames(NetStream* s, Reading* r, bool at_end) {
    if (r->format < 0) {  // told from the bytes: the first kind a frame of which is found
        AudioFrame f;
        size_t skip;
        if (media_next_frame(AUDIO_MP3, r->pending, r->pending_used, at_end, &f, &skip)) r->format = AUDIO_MP3;
        else if (media_next_frame(AUDIO_AAC, r->pending, r->pending_used, at_end, &f, &skip)) r->format = AUDIO_AAC;
        else if (r->pending_used < PENDING_BYTES && !at_end) return true;
        else r->format = AUDIO_MP3;  // nothing found in a full buffer: counted as garbage below
    }
    size_t at = 0;
    for (;;) {
        AudioFrame f;
        size_t skip;
        bool found = media_next_frame(r->format, r->pending + at, r->pending_used - at, at_end, &f, &skip);
        // A false header waiting for bytes that cannot fit is passed over.
        if (!found && skip == 0 && at == 0 && r->pending_used == PENDING_BYTES) skip = 1;
        at += skip;
        r->garbage += skip;
        if (!found) break;
        // Frames of another kind than the first (a station that changed its
        // stream under the same connection) are not the filter's type.
        if (!s->have_first || (f.sample_rate == s->first.sample_rate && f.channels == s->first.channels &&
                               f.format == s->first.format && f.layer == s->first.layer)) {
            if (f.format == AUDIO_MP3 && f.layer != 3) return false;  // only Layer III has a decoder here
            if (!s->have_first) {
                AcquireSRWLockExclusive(&s->lock);
                s->first = f;
                s->have_first = true;
                ReleaseSRWLockExclusive(&s->lock);
            }
            push_frame(s, r->pending + at, static_cast<size_t>(f.length));
            r->garbage = 0;
            r->played = true;
        } else {
            r->garbage += static_cast<size_t>(f.length);
        }
        at += static_cast<size_t>(f.length);
    }
    memmove(r->pending, r->pending + at, r->pending_used - at);
    r->pending_used -= at;
    return r->garbage < GARBAGE_LIMIT;
}

Outcome read_connection(NetStream* s, Connection* c, Reading* r, bool finite, char* reason, size_t size) {
    uint8_t buffer[8192];
    DWORD start = GetTickCount();
    for (;;) {
        if (stopping(s)) return STOPPED;
        DWORD available = 0, got = 0;
        bool read = WinHttpQueryDataAvailable(c->request, &available) &&
                    (available == 0 ||
                     WinHttpReadData(c->request, buffer, available < sizeof buffer ? available : sizeof buffer, &got));
        if (!read) {
            lstrcpynA(reason, GetLastError() == ERROR_WINHTTP_TIMEOUT ? "The station stopped sending.\n"
                                                                      : "The station's connection was lost.\n",
                      static_cast<int>(size));
            return DROPPED;
        }
        if (got == 0) {  // the answer is over
            if (!finite) {
                lstrcpynA(reason, "The station closed the connection.\n", static_cast<int>(size));
                return DROPPED;
            }
            cut_frames(s, r, true);
            return ENDED;
        }
        for (size_t used = 0, at = 0; at < got; at += used) {
            r->pending_used += media_icy_feed(&r->icy, buffer + at, got - at, r->pending + r->pending_used,
                                              PENDING_BYTES - r->pending_used, &used);
            bool had_first = s->have_first;
            if (!cut_frames(s, r, false)) {
                lstrcpynA(reason, "The station sends nothing that plays as sound here.\n", static_cast<int>(size));
                return REFUSED;
            }
            if (!had_first && s->have_first) {
                AcquireSRWLockExclusive(&s->lock);
                WakeAllConditionVariable(&s->changed);
                ReleaseSRWLockExclusive(&s->lock);
            }
        }
        if (r->played && g_info.connection != MEDIA_NET_PLAYING) set_connection(s, MEDIA_NET_PLAYING);
        if (r->icy.changes != r->title_changes) {
            r->title_changes = r->icy.changes;
            tell(s, [&] { memcpy(g_info.title, r->icy.title, sizeof g_info.title); });
        }
        if (r->icy.bad_blocks >= BAD_BLOCKS_LIMIT) return BAD_METADATA;
        if (!s->have_first && GetTickCount() - start > FIRST_AUDIO_LIMIT_MS) {
            lstrcpynA(reason, "The station sent no sound within 9 seconds.\n", static_cast<int>(size));
            return DROPPED;
        }
    }
}

DWORD WINAPI reading_thread(void* context) {
    NetStream* s = static_cast<NetStream*>(context);
    Reading* r = new Reading;
    bool metadata = true, ever_played = false;
    int attempt = 0;  // reconnections in a row that did not hold
    char reason[256] = "";
    for (;;) {
        Connection c = {};
        int format = -1;
        uint32_t interval = 0;
        bool finite = false;
        DWORD started = GetTickCount();
        Outcome outcome = open_connection(s, metadata, &c, &format, &interval, &finite, reason, sizeof reason);
        if (outcome == OPENED) {
            media_icy_start(&r->icy, interval);
            r->pending_used = 0;
            r->garbage = 0;
            r->format = format;
            if (s->have_first && format >= 0 && format != s->first.format) {
                lstrcpynA(reason, "The station changed its kind of sound.\n", sizeof reason);
                outcome = REFUSED;
            } else {
                r->title_changes = 0;
                r->played = false;
                outcome = read_connection(s, &c, r, finite, reason, sizeof reason);
                ever_played = ever_played || r->played;
            }
        }
        close_connection(&c);
        if (outcome == STOPPED || stopping(s)) break;
        if (outcome == ENDED) {
            AcquireSRWLockExclusive(&s->lock);
            s->finished = true;
            WakeAllConditionVariable(&s->changed);
            ReleaseSRWLockExclusive(&s->lock);
            set_connection(s, MEDIA_NET_ENDED);
            break;
        }
        if (outcome == BAD_METADATA) {  // the stated interval is wrong: the song titles are given up
            metadata = false;
            reason[0] = 0;
            continue;
        }
        if (outcome == REFUSED || !ever_played) {
            fail_stream(s, reason);
            break;
        }
        if (r->played && GetTickCount() - started >= STEADY_MS) attempt = 0;
        int wait = media_reconnect_wait_ms(attempt++);
        if (wait < 0) {
            char line[300];
            snprintf(line, sizeof line, "%sFive attempts to connect again failed.\n", reason);
            fail_stream(s, line);
            break;
        }
        set_connection(s, MEDIA_NET_RECONNECTING, attempt, static_cast<DWORD>(wait));
        if (WaitForSingleObject(s->stop_event, static_cast<DWORD>(wait)) == WAIT_OBJECT_0) break;
        set_connection(s, MEDIA_NET_RECONNECTING, attempt, 0);
        reason[0] = 0;
    }
    delete r;
    stream_release(s);
    return 0;
}

// ---- The source filter ----

// {6A1F5C52-8E3B-4C9D-9F21-7B4E2D0A6C13}
const CLSID CLSID_TavlinNetSource = {0x6a1f5c52, 0x8e3b, 0x4c9d, {0x9f, 0x21, 0x7b, 0x4e, 0x2d, 0x0a, 0x6c, 0x13}};
// Audio subtypes named after their wave format tags.
GUID wave_subtype(WORD tag) {
    GUID g = {0x00000000, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    g.Data1 = tag;
    return g;
}
const WORD WAVE_TAG_ADTS_AAC = 0x1600;

struct NetFilter;

struct NetPin final : IPin {
    NetFilter* filter;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override {
        if (!direction) return E_POINTER;
        *direction = PINDIR_OUTPUT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** out) override;
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE EndFlush() override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }
};

struct NetFilter final : IBaseFilter {
    std::atomic<LONG> refs{1};
    NetPin pin;
    NetStream* stream = nullptr;
    AM_MEDIA_TYPE type = {};
    MPEGLAYER3WAVEFORMAT format = {};  // room for either kind's format
    IFilterGraph* graph = nullptr;     // not held: the graph holds us
    IReferenceClock* clock = nullptr;
    IPin* peer = nullptr;
    IMemInputPin* input = nullptr;
    IMemAllocator* allocator = nullptr;
    FILTER_STATE state = State_Stopped;
    std::atomic<int64_t> run_start{0};
    std::atomic<bool> running{false};
    std::atomic<bool> streaming_stop{false};
    std::atomic<bool> played_out{false};
    HANDLE streaming = nullptr;
    wchar_t name[128] = L"";

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IPersist || riid == IID_IMediaFilter || riid == IID_IBaseFilter) {
            *out = static_cast<IBaseFilter*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = --refs;
        if (left == 0) destroy();
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override {
        if (!id) return E_POINTER;
        *id = CLSID_TavlinNetSource;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE* out) override {
        if (!out) return E_POINTER;
        *out = state;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* c) override {
        if (c) c->AddRef();
        if (clock) clock->Release();
        clock = c;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** out) override {
        if (!out) return E_POINTER;
        *out = clock;
        if (clock) clock->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** out) override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** out) override {
        if (!id || !out) return E_POINTER;
        *out = nullptr;
        if (wcscmp(id, L"Output") != 0) return VFW_E_NOT_FOUND;
        *out = &pin;
        pin.AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override {
        if (!info) return E_POINTER;
        wcscpy(info->achName, name);
        info->pGraph = graph;
        if (graph) graph->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* g, LPCWSTR n) override {
        graph = g;
        name[0] = 0;
        if (n) lstrcpynW(name, n, 128);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

    void release_connection() {
        if (allocator) allocator->Release();
        if (input) input->Release();
        if (peer) peer->Release();
        allocator = nullptr, input = nullptr, peer = nullptr;
    }
    void destroy() {
        Stop();
        release_connection();
        if (clock) clock->Release();
        if (stream) {
            SetEvent(stream->stop_event);
            stream_release(stream);
        }
        delete this;
    }
    int64_t stream_time() {
        REFERENCE_TIME now = 0;
        if (!running || !clock || FAILED(clock->GetTime(&now))) return 0;
        return now - run_start;
    }
    void deliver();
};

bool same_type(const AM_MEDIA_TYPE* a, const AM_MEDIA_TYPE& ours) {
    return (a->majortype == GUID_NULL || a->majortype == ours.majortype) &&
           (a->subtype == GUID_NULL || a->subtype == ours.subtype) &&
           (a->formattype == GUID_NULL || a->formattype == ours.formattype);
}

// A copy the caller frees as media types are freed.
HRESULT copy_type(AM_MEDIA_TYPE* to, const AM_MEDIA_TYPE& from) {
    *to = from;
    to->pUnk = nullptr;
    to->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from.cbFormat));
    if (!to->pbFormat) return E_OUTOFMEMORY;
    memcpy(to->pbFormat, from.pbFormat, from.cbFormat);
    return S_OK;
}

// What the two enumerators hand out: the one pin, or a copy of the one media type.
HRESULT take_item(NetFilter* f, IPin** out) {
    *out = &f->pin;
    f->pin.AddRef();
    return S_OK;
}
HRESULT take_item(NetFilter* f, AM_MEDIA_TYPE** out) {
    AM_MEDIA_TYPE* t = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!t || FAILED(copy_type(t, f->type))) {
        CoTaskMemFree(t);
        return E_OUTOFMEMORY;
    }
    *out = t;
    return S_OK;
}

// An enumerator of a list of one: the filter's pins or the pin's media types.
template <class Interface, class Item>
struct ListOfOne final : Interface {
    std::atomic<LONG> refs{1};
    NetFilter* filter;
    ULONG at = 0;
    explicit ListOfOne(NetFilter* f) : filter(f) { filter->AddRef(); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == __uuidof(Interface)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = --refs;
        if (left == 0) {
            filter->Release();
            delete this;
        }
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item** out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG n = 0;
        if (count > 0 && at == 0) {
            if (FAILED(take_item(filter, out))) return E_OUTOFMEMORY;
            n = 1;
            at = 1;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        at += count;
        return at <= 1 ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        at = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(Interface** out) override {
        if (!out) return E_POINTER;
        ListOfOne* copy = new ListOfOne(filter);
        copy->at = at;
        *out = copy;
        return S_OK;
    }
};
typedef ListOfOne<IEnumPins, IPin> PinList;
typedef ListOfOne<IEnumMediaTypes, AM_MEDIA_TYPE> TypeList;

HRESULT NetFilter::EnumPins(IEnumPins** out) {
    if (!out) return E_POINTER;
    *out = new PinList(this);
    return S_OK;
}

HRESULT NetPin::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPin) {
        *out = static_cast<IPin*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}
ULONG NetPin::AddRef() { return filter->AddRef(); }
ULONG NetPin::Release() { return filter->Release(); }

HRESULT NetPin::Connect(IPin* receiver, const AM_MEDIA_TYPE* type) {
    if (!receiver) return E_POINTER;
    NetFilter* f = filter;
    if (f->peer) return VFW_E_ALREADY_CONNECTED;
    if (f->state != State_Stopped) return VFW_E_NOT_STOPPED;
    if (type && !same_type(type, f->type)) return VFW_E_TYPE_NOT_ACCEPTED;
    if (FAILED(receiver->ReceiveConnection(this, &f->type))) return VFW_E_NO_ACCEPTABLE_TYPES;
    f->peer = receiver;
    receiver->AddRef();
    HRESULT hr = receiver->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&f->input));
    if (SUCCEEDED(hr)) {
        ALLOCATOR_PROPERTIES wanted = {}, got = {};
        f->input->GetAllocatorRequirements(&wanted);
        if (FAILED(f->input->GetAllocator(&f->allocator)))
            hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                  reinterpret_cast<void**>(&f->allocator));
        if (SUCCEEDED(hr)) {
            // Room for the largest frame of either kind, and a second of MP3 frames.
            wanted.cBuffers = wanted.cBuffers > 40 ? wanted.cBuffers : 40;
            wanted.cbBuffer = wanted.cbBuffer > 8192 ? wanted.cbBuffer : 8192;
            if (wanted.cbAlign < 1) wanted.cbAlign = 1;
            hr = f->allocator->SetProperties(&wanted, &got);
        }
        if (SUCCEEDED(hr)) hr = f->input->NotifyAllocator(f->allocator, FALSE);
    }
    if (FAILED(hr)) {
        receiver->Disconnect();
        f->release_connection();
        return hr;
    }
    return S_OK;
}

HRESULT NetPin::Disconnect() {
    if (filter->state != State_Stopped) return VFW_E_NOT_STOPPED;
    if (!filter->peer) return S_FALSE;
    filter->release_connection();
    return S_OK;
}

HRESULT NetPin::ConnectedTo(IPin** pin) {
    if (!pin) return E_POINTER;
    *pin = filter->peer;
    if (!filter->peer) return VFW_E_NOT_CONNECTED;
    filter->peer->AddRef();
    return S_OK;
}

HRESULT NetPin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    if (!filter->peer) {
        memset(type, 0, sizeof *type);
        return VFW_E_NOT_CONNECTED;
    }
    return copy_type(type, filter->type);
}

HRESULT NetPin::QueryPinInfo(PIN_INFO* info) {
    if (!info) return E_POINTER;
    info->pFilter = filter;
    filter->AddRef();
    info->dir = PINDIR_OUTPUT;
    wcscpy(info->achName, L"Output");
    return S_OK;
}

HRESULT NetPin::QueryId(LPWSTR* id) {
    if (!id) return E_POINTER;
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof L"Output"));
    if (!*id) return E_OUTOFMEMORY;
    wcscpy(*id, L"Output");
    return S_OK;
}

HRESULT NetPin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    return same_type(type, filter->type) ? S_OK : S_FALSE;
}

HRESULT NetPin::EnumMediaTypes(IEnumMediaTypes** out) {
    if (!out) return E_POINTER;
    *out = new TypeList(filter);
    return S_OK;
}

DWORD WINAPI streaming_thread(void* context) {
    static_cast<NetFilter*>(context)->deliver();
    return 0;
}

// The streaming thread: each frame in one sample, stamped on from the
// previous one; after a gap (a connection made again) the stamps start
// again just ahead of the clock, marked as a break.
void NetFilter::deliver() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    uint8_t frame[8192];
    const int64_t each = frame_time(stream->first);
    int64_t next = 0;
    bool gap = true;
    if (peer) peer->NewSegment(0, INT64_MAX, 1.0);
    while (!streaming_stop) {
        size_t n = pop_frame(stream, frame, sizeof frame, 100);
        if (n == 0) {
            AcquireSRWLockShared(&stream->lock);
            bool over = stream->finished && stream->queue_frames == 0;
            ReleaseSRWLockShared(&stream->lock);
            if (over) {
                if (peer) peer->EndOfStream();
                // The last sound has played once the clock passes its stamp.
                while (!streaming_stop && running && stream_time() < next) Sleep(20);
                played_out = !streaming_stop;
                break;
            }
            gap = true;
            continue;
        }
        IMediaSample* sample = nullptr;
        if (FAILED(allocator->GetBuffer(&sample, nullptr, nullptr, 0)) || !sample) break;
        BYTE* data = nullptr;
        if (SUCCEEDED(sample->GetPointer(&data)) && static_cast<size_t>(sample->GetSize()) >= n) {
            memcpy(data, frame, n);
            sample->SetActualDataLength(static_cast<long>(n));
            int64_t now = stream_time();
            if (gap && next < now + SECOND / 20) next = now + SECOND / 20;
            REFERENCE_TIME start = next, stop = next + each;
            sample->SetTime(&start, &stop);
            sample->SetSyncPoint(TRUE);
            sample->SetDiscontinuity(gap ? TRUE : FALSE);
            next = stop;
            gap = false;
            HRESULT hr = input->Receive(sample);
            sample->Release();
            if (hr != S_OK) break;
        } else {
            sample->Release();
        }
    }
    CoUninitialize();
}

HRESULT NetFilter::Pause() {
    if (state == State_Stopped && peer && allocator) {
        // Play resumes where the station is now: what waited longer than a
        // moment is dropped.
        AcquireSRWLockExclusive(&stream->lock);
        trim_queue(stream, RESUME_TIME);
        ReleaseSRWLockExclusive(&stream->lock);
        allocator->Commit();
        streaming_stop = false;
        played_out = false;
        streaming = CreateThread(nullptr, 0, streaming_thread, this, 0, nullptr);
    }
    running = false;
    state = State_Paused;
    return S_OK;
}

HRESULT NetFilter::Run(REFERENCE_TIME start) {
    if (state == State_Stopped) Pause();
    run_start = start;
    running = true;
    state = State_Running;
    return S_OK;
}

HRESULT NetFilter::Stop() {
    running = false;
    state = State_Stopped;
    streaming_stop = true;
    if (allocator) allocator->Decommit();  // a thread waiting for a sample gets none
    if (streaming) {
        WaitForSingleObject(streaming, 5000);
        CloseHandle(streaming);
        streaming = nullptr;
    }
    return S_OK;
}

// The media type of the stream's first frame, for the decoder to find.
void describe(NetFilter* f, const AudioFrame& first) {
    WAVEFORMATEX& w = f->format.wfx;
    w.nChannels = static_cast<WORD>(first.channels);
    w.nSamplesPerSec = static_cast<DWORD>(first.sample_rate);
    w.nBlockAlign = 1;
    w.wBitsPerSample = 0;
    f->type.majortype = MEDIATYPE_Audio;
    f->type.formattype = FORMAT_WaveFormatEx;
    f->type.bFixedSizeSamples = FALSE;
    f->type.lSampleSize = 0;
    f->type.pbFormat = reinterpret_cast<BYTE*>(&f->format);
    if (first.format == AUDIO_MP3) {
        w.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
        w.nAvgBytesPerSec = static_cast<DWORD>(first.bitrate * 1000 / 8);
        w.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
        f->format.wID = MPEGLAYER3_ID_MPEG;
        f->format.fdwFlags = MPEGLAYER3_FLAG_PADDING_ISO;
        f->format.nBlockSize = static_cast<WORD>(first.length);
        f->format.nFramesPerBlock = 1;
        f->format.nCodecDelay = 1393;
        f->type.cbFormat = sizeof(MPEGLAYER3WAVEFORMAT);
    } else {
        w.wFormatTag = WAVE_TAG_ADTS_AAC;
        w.nAvgBytesPerSec = 16000;
        w.cbSize = 0;
        f->type.cbFormat = sizeof(WAVEFORMATEX);
    }
    f->type.subtype = wave_subtype(w.wFormatTag);
}

}  // namespace

HRESULT media_open_network(IAMMultiMediaStream* mm_stream, const char* url, HWND window, uint32_t serial) {
    media_close_network();
    NetStream* s = new NetStream();
    s->refs = 2;  // the reading thread's and ours
    lstrcpynA(s->url, url, sizeof s->url);
    s->window = window;
    s->serial = serial;
    s->stop_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    InitializeSRWLock(&s->lock);
    InitializeConditionVariable(&s->changed);
    s->queue = new uint8_t[QUEUE_BYTES];
    AcquireSRWLockExclusive(&g_info.lock);
    s->generation = ++g_info.generation;
    g_info.station[0] = g_info.title[0] = g_info.failure[0] = 0;
    g_info.connection = MEDIA_NET_CONNECTING;
    g_info.attempt = 0;
    g_info.live = 1;
    g_info.changes++;
    ReleaseSRWLockExclusive(&g_info.lock);
    g_stream = s;
    HANDLE thread = CreateThread(nullptr, 0, reading_thread, s, 0, nullptr);
    if (!thread) {
        s->refs--;
        fail_stream(s, "The station could not be reached.\n");
    } else {
        CloseHandle(thread);  // it ends by itself once told to stop
    }

    // The first frame tells the media type.
    DWORD start = GetTickCount(), drawn = 0;
    AcquireSRWLockExclusive(&s->lock);
    // The answer must come within the connection limit (the platform's own
    // timeouts are not relied on), the first frame within its own.
    for (;;) {
        DWORD waited = GetTickCount() - start;
        if (s->have_first || s->failed || waited >= FIRST_AUDIO_LIMIT_MS || (!s->answered && waited >= CONNECT_LIMIT_MS))
            break;
        if (GetTickCount() - drawn >= 500 && window) {
            ReleaseSRWLockExclusive(&s->lock);
            media_draw_status(window, "Connecting to the station...");
            drawn = GetTickCount();
            AcquireSRWLockExclusive(&s->lock);
        }
        SleepConditionVariableSRW(&s->changed, &s->lock, 100, 0);
    }
    bool ready = s->have_first && !s->failed;
    AudioFrame first = s->first;
    bool answered = s->answered;
    char reason[256];
    lstrcpynA(reason, s->failure, sizeof reason);
    ReleaseSRWLockExclusive(&s->lock);
    if (!ready) {
        if (!reason[0])
            lstrcpynA(reason, answered ? "The station sent no sound within 9 seconds.\n"
                                       : "The station did not answer within 5 seconds.\n", sizeof reason);
        media_append_error(reason);
        media_close_network();
        return E_FAIL;
    }

    NetFilter* f = new NetFilter();
    f->pin.filter = f;
    f->stream = s;
    s->refs++;
    describe(f, first);
    g_filter = f;
    IGraphBuilder* graph = nullptr;
    IFilterGraph2* graph2 = nullptr;
    HRESULT hr = mm_stream->GetFilterGraph(&graph);
    if (SUCCEEDED(hr) && graph) hr = graph->AddFilter(f, L"Network Source");
    if (SUCCEEDED(hr)) hr = graph->QueryInterface(IID_IFilterGraph2, reinterpret_cast<void**>(&graph2));
    if (SUCCEEDED(hr)) hr = graph2->RenderEx(&f->pin, AM_RENDEREX_RENDERTOEXISTINGRENDERERS, nullptr);
    if (graph2) graph2->Release();
    if (graph) graph->Release();
    if (FAILED(hr) || !graph) {
        media_append_error(first.format == AUDIO_AAC ? "This system has no decoder for the station's AAC sound.\n"
                                                     : "This system has no decoder for the station's MP3 sound.\n");
        media_close_network();
        return E_FAIL;
    }
    return 0;
}

void media_close_network() {
    if (g_filter) {
        g_filter->Release();
        g_filter = nullptr;
    }
    if (g_stream) {
        SetEvent(g_stream->stop_event);
        stream_release(g_stream);
        g_stream = nullptr;
    }
    AcquireSRWLockExclusive(&g_info.lock);
    g_info.generation++;  // the old stream's thread, still winding down, changes nothing now
    if (g_info.live) g_info.changes++;
    g_info.live = 0;
    g_info.connection = MEDIA_NET_NONE;
    ReleaseSRWLockExclusive(&g_info.lock);
}

int media_network_state() { return g_info.connection; }

bool media_network_played_out() {
    return g_filter && static_cast<NetFilter*>(g_filter)->played_out;
}

void media_network_failure(char* out, size_t size) {
    AcquireSRWLockShared(&g_info.lock);
    lstrcpynA(out, g_info.failure, static_cast<int>(size));
    ReleaseSRWLockShared(&g_info.lock);
}

void media_network_status(char* out, size_t size) {
    int wait_ms = 0;
    media_get_connection(nullptr, &wait_ms);
    if (wait_ms > 0) snprintf(out, size, "Reconnecting in %d seconds...", (wait_ms + 999) / 1000);
    else lstrcpynA(out, "Reconnecting to the station...", static_cast<int>(size));
}

int media_is_live() { return g_info.live; }

uint32_t media_get_stream_info(char* station, size_t station_size, char* title, size_t title_size) {
    AcquireSRWLockShared(&g_info.lock);
    if (station && station_size) lstrcpynA(station, g_info.live ? g_info.station : "", static_cast<int>(station_size));
    if (title && title_size) lstrcpynA(title, g_info.live ? g_info.title : "", static_cast<int>(title_size));
    uint32_t changes = g_info.changes;
    ReleaseSRWLockShared(&g_info.lock);
    return changes;
}

int media_get_connection(int* attempt, int* wait_ms) {
    int state = g_info.connection;
    if (attempt) *attempt = state == MEDIA_NET_RECONNECTING ? g_info.attempt.load() : 0;
    if (wait_ms) {
        int left = static_cast<int>(g_info.retry_at.load() - GetTickCount());
        *wait_ms = state == MEDIA_NET_RECONNECTING && left > 0 ? left : 0;
    }
    return state;
}

// A small file from a server, read whole within the connection limit: a
// playlist naming stations. Its own session, so it never waits on a station.
int media_fetch_text(const char* url, char* out, size_t size) {
    if (!out || size == 0) return -1;
    out[0] = 0;
    wchar_t wide[2048], host[256], path[2048], extra[1024];
    if (!MultiByteToWideChar(CP_ACP, 0, url, -1, wide, 2048)) return -1;
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 2048;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = 1024;
    if (!WinHttpCrackUrl(wide, 0, 0, &parts) || wcslen(path) + wcslen(extra) >= 2048) return -1;
    wcscat(path, extra);
    if (!path[0]) wcscpy(path, L"/");
    const DWORD started = GetTickCount(), limit = CONNECT_LIMIT_MS;
    Connection c = {};
    c.session = WinHttpOpen(L"Tavlin Media Player 1.1", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, 0);
    if (c.session) WinHttpSetTimeouts(c.session, limit, limit, limit, limit);
    if (c.session) c.connect = WinHttpConnect(c.session, host, parts.nPort, 0);
    if (c.connect)
        c.request = WinHttpOpenRequest(c.connect, L"GET", path, nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                       parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0);
    DWORD redirects = 5, status = 0, bytes = sizeof status;
    if (c.request) WinHttpSetOption(c.request, WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &redirects, sizeof redirects);
    bool ok = c.request && WinHttpSendRequest(c.request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
              WinHttpReceiveResponse(c.request, nullptr) &&
              WinHttpQueryHeaders(c.request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                  WINHTTP_HEADER_NAME_BY_INDEX, &status, &bytes, WINHTTP_NO_HEADER_INDEX) &&
              status == 200;
    // Read to the end, but no more than fits and no longer than the limit:
    // an endless station behind a list's name is not a list.
    size_t have = 0;
    while (ok) {
        DWORD got = 0;
        if (have + 1 >= size || GetTickCount() - started > limit) ok = false;
        else if (!WinHttpReadData(c.request, out + have, static_cast<DWORD>(size - 1 - have < 65536 ? size - 1 - have : 65536), &got)) ok = false;
        else if (got == 0) break;
        have += got;
    }
    close_connection(&c);
    out[ok ? have : 0] = 0;
    return ok ? static_cast<int>(have) : -1;
}
