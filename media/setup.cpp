// Set-up and teardown of the decoding chain: DirectDraw with its primary
// surface and clipper, DirectSound, the multimedia stream with its primary
// video and audio streams, the one video sample and the work surface that
// the frames are drawn from. All on the media thread.
#include <control.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "media_state.h"
#include "radio_parse.h"
#include "radio_source.h"
#include "renderer_choice.h"

MediaObjects g_media;

namespace {

const char* const SETUP_FAILED = "DirectX Initialization failed\n";
const char* const RENDERER_FAILED = "Renderer Initialization failed\n";
const char* const NO_SOUND_OUTPUT = "There is no sound output device to play this file's sound.\n";

HRESULT fail(const char* line) {
    media_append_error(line);
    return E_FAIL;
}

template <class T>
void release(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

// A seek is followed by a fresh clock base, found from the first time read.
bool g_base_pending;
int64_t g_seek_position;
int32_t g_applied_volume = -1;

}  // namespace

HRESULT media_setup_devices() {
    CoInitialize(nullptr);
    if (FAILED(media_create_direct_draw(&g_media.ddraw))) return fail(SETUP_FAILED);
    if (FAILED(g_media.ddraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL))) return fail(SETUP_FAILED);
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (FAILED(g_media.ddraw->CreateSurface(&desc, &g_media.primary_surface, nullptr))) return fail(SETUP_FAILED);
    if (FAILED(g_media.ddraw->CreateClipper(0, &g_media.clipper, nullptr)) ||
        FAILED(g_media.primary_surface->SetClipper(g_media.clipper)) ||
        FAILED(g_media.clipper->SetHWnd(0, g_media.window)))
        return fail(SETUP_FAILED);
    // A machine without a sound device still shows video: the file then
    // opens without its sound, and one that holds nothing else fails.
    if (FAILED(DirectSoundCreate(nullptr, &g_media.dsound, nullptr))) g_media.dsound = nullptr;
    return 0;
}

HRESULT media_open_stream() {
    g_media.mm_stream = nullptr;
    WCHAR wide[260];
    if (!MultiByteToWideChar(CP_ACP, 0, g_media.path, -1, wide, 260)) return fail(SETUP_FAILED);
    if (FAILED(CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER, IID_IAMMultiMediaStream,
                                reinterpret_cast<void**>(&g_media.mm_stream))))
        return fail(SETUP_FAILED);
    if (FAILED(g_media.mm_stream->Initialize(STREAMTYPE_READ, 0, nullptr))) return fail(SETUP_FAILED);
    if (FAILED(g_media.mm_stream->AddMediaStream(g_media.ddraw, &MSPID_PrimaryVideo, 0, &g_media.video_stream)))
        return fail(SETUP_FAILED);
    g_media.sound_output = g_media.dsound &&
                           SUCCEEDED(g_media.mm_stream->AddMediaStream(nullptr, &MSPID_PrimaryAudio,
                                                                       AMMSF_ADDDEFAULTRENDERER, nullptr));
    // The platform opens no network address: a station is read by our own
    // source, added to the stream's graph in front of its audio renderer.
    if (media_is_url(g_media.path)) {
        if (!g_media.sound_output) return fail(NO_SOUND_OUTPUT);
        if (FAILED(media_open_network(g_media.mm_stream, g_media.path, g_media.window, g_playback.serial)))
            return E_FAIL;
    } else if (FAILED(g_media.mm_stream->OpenFile(wide, 0))) {
        return fail(g_media.dsound ? SETUP_FAILED : NO_SOUND_OUTPUT);
    }
    g_base_pending = false;
    g_media.clock_base = 0;
    g_media.frames_presented = 0;
    g_media.frames_on_time = 0;
    g_applied_volume = -1;
    return 0;
}

HRESULT media_setup_video() {
    if (FAILED(g_media.video_stream->QueryInterface(IID_IDirectDrawMediaStream,
                                                    reinterpret_cast<void**>(&g_media.ddraw_stream))))
        return fail(RENDERER_FAILED);
    DDSURFACEDESC format = {};
    format.dwSize = sizeof format;  // not 108 bytes in a 64-bit build
    g_playback.has_video = SUCCEEDED(g_media.ddraw_stream->GetFormat(&format, nullptr, nullptr, nullptr)) ? 1 : 0;
    if (!g_playback.has_video) return g_media.sound_output ? 0 : fail(NO_SOUND_OUTPUT);
    // Some platforms answer AllocateSample with success and no sample; the
    // DirectDraw stream's own CreateSample makes the same kind of sample.
    if (FAILED(g_media.video_stream->AllocateSample(0, &g_media.stream_sample)) || !g_media.stream_sample) {
        g_media.stream_sample = nullptr;
        if (FAILED(g_media.ddraw_stream->CreateSample(nullptr, nullptr, 0, &g_media.ddraw_sample)) ||
            !g_media.ddraw_sample ||
            FAILED(g_media.ddraw_sample->QueryInterface(IID_IStreamSample,
                                                        reinterpret_cast<void**>(&g_media.stream_sample))))
            return fail(RENDERER_FAILED);
    } else if (FAILED(g_media.stream_sample->QueryInterface(IID_IDirectDrawStreamSample,
                                                            reinterpret_cast<void**>(&g_media.ddraw_sample)))) {
        return fail(RENDERER_FAILED);
    }
    if (FAILED(g_media.ddraw_sample->GetSurface(&g_media.sample_surface, &g_media.sample_rect)) ||
        !g_media.sample_surface)
        return fail(RENDERER_FAILED);
    // The work surface is the video's size: anything the platform would not
    // give (a picture larger than memory allows) fails here.
    if (gfx_surface_create(&g_media.work_surface, static_cast<int>(format.dwWidth), static_cast<int>(format.dwHeight),
                           0) != 1)
        return fail(RENDERER_FAILED);
    g_media.video_width = static_cast<int32_t>(format.dwWidth);
    g_media.video_height = static_cast<int32_t>(format.dwHeight);
    g_media.sample_rect = {0, 0, g_media.video_width, g_media.video_height};
    return 0;
}

int media_teardown() {
    // GetSurface handed out a reference of its own: give it back first.
    release(g_media.sample_surface);
    release(g_media.ddraw_sample);
    release(g_media.stream_sample);
    release(g_media.ddraw_stream);
    release(g_media.video_stream);
    release(g_media.mm_stream);
    media_close_network();  // the connection ends with the graph that played it
    release(g_media.clipper);
    gfx_surface_release(&g_media.work_surface, 0);
    release(g_media.primary_surface);
    release(g_media.ddraw);
    release(g_media.dsound);
    CoUninitialize();
    return 1;
}

// The knob stores level | (level << 8) for a level of 0..65535: bits 0-7 and
// 16-23 hold the level's two bytes. Loudness follows a cubic curve of the
// knob's fraction f, as the ear expects: 6000 log10(f) hundredths of a dB.
void media_apply_volume() {
    if (!g_media.mm_stream) return;
    int32_t stored = g_playback.volume;
    if (stored == g_applied_volume) return;
    IGraphBuilder* graph = nullptr;
    if (FAILED(g_media.mm_stream->GetFilterGraph(&graph)) || !graph) return;
    IBasicAudio* audio = nullptr;
    if (SUCCEEDED(graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&audio)))) {
        int level = (stored & 0xFF) | ((stored >> 8) & 0xFF00);
        long db100 = level <= 0 ? -10000 : static_cast<long>(6000.0 * log10(level / 65535.0));
        if (db100 < -10000) db100 = -10000;
        if (SUCCEEDED(audio->put_Volume(db100))) g_applied_volume = stored;
        audio->Release();
    }
    graph->Release();
}

HRESULT media_stream_time(int64_t* out) {
    STREAM_TIME t = 0;
    HRESULT hr = g_media.mm_stream->GetTime(&t);
    if (hr != S_OK) return hr;
    if (g_base_pending) {
        // A clock that restarted at the run reads far below the seek target.
        g_media.clock_base = t + 5000000 < g_seek_position ? g_seek_position : 0;
        g_base_pending = false;
    }
    // The clock can read a little below zero just after the run starts.
    *out = t + g_media.clock_base < 0 ? 0 : t + g_media.clock_base;
    return S_OK;
}

HRESULT media_stream_run(bool run) { return g_media.mm_stream->SetState(run ? STREAMSTATE_RUN : STREAMSTATE_STOP); }

// Seeks on a stopped stream: a stream seeked while running could hang in its
// next stop on some platforms. Callers that go on playing run it again.
HRESULT media_stream_seek(int64_t position) {
    if (media_seek_hook) media_seek_hook();
    g_media.mm_stream->SetState(STREAMSTATE_STOP);
    HRESULT hr = g_media.mm_stream->Seek(position);
    g_seek_position = position;
    g_media.clock_base = 0;
    g_base_pending = position > 0;
    return hr;
}
