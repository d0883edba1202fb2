// Memory a video open costs, read from outside by tools/soak: "platform" opens
// and plays a clip through DirectDraw and the multimedia stream alone, with
// every object released (none of the player's code but the loading of
// DirectDraw, so that it runs the player's renderer); "graph" lets the
// platform's own filter graph render and run it (no stream, no DirectDraw);
// "engine" goes through the player's media engine. Prints "opens = N" after
// each open, with the handles the process then holds.
// Usage: open_probe platform|graph|engine CLIP OPENS
#include <amstream.h>
#include <control.h>
#include <uuids.h>
#include <ddraw.h>
#include <ddstream.h>
#include <mmstream.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "../media/media.h"
#include "../media/renderer_choice.h"
#include "handle_count.h"

namespace {

template <class T>
void release(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

// DirectDraw, the stream with its video sample, 20 frames, all given back.
void platform_open(const char* clip) {
    IDirectDraw* ddraw = nullptr;
    if (FAILED(media_create_direct_draw(&ddraw))) return;
    ddraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    IAMMultiMediaStream* stream = nullptr;
    IMediaStream* video = nullptr;
    IStreamSample* sample = nullptr;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, clip, -1, wide, MAX_PATH);
    if (SUCCEEDED(CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER, IID_IAMMultiMediaStream,
                                   reinterpret_cast<void**>(&stream))) &&
        SUCCEEDED(stream->Initialize(STREAMTYPE_READ, 0, nullptr)) &&
        SUCCEEDED(stream->AddMediaStream(ddraw, &MSPID_PrimaryVideo, 0, &video)) &&
        SUCCEEDED(stream->AddMediaStream(nullptr, &MSPID_PrimaryAudio, AMMSF_ADDDEFAULTRENDERER, nullptr)) &&
        SUCCEEDED(stream->OpenFile(wide, 0))) {
        IDirectDrawMediaStream* frames = nullptr;
        IDirectDrawStreamSample* frame = nullptr;
        if (SUCCEEDED(video->QueryInterface(IID_IDirectDrawMediaStream, reinterpret_cast<void**>(&frames))) &&
            SUCCEEDED(frames->CreateSample(nullptr, nullptr, 0, &frame)) && frame &&
            SUCCEEDED(frame->QueryInterface(IID_IStreamSample, reinterpret_cast<void**>(&sample)))) {
            stream->SetState(STREAMSTATE_RUN);
            for (int i = 0; i < 20 && sample->Update(0, nullptr, nullptr, 0) == S_OK; i++) {
            }
            stream->SetState(STREAMSTATE_STOP);
        }
        release(frame);
        release(frames);
    }
    release(sample);
    release(video);
    release(stream);
    release(ddraw);
}

// The platform's filter graph builds the whole chain and plays 600 ms of it.
void graph_open(const char* clip) {
    IGraphBuilder* graph = nullptr;
    IMediaControl* control = nullptr;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, clip, -1, wide, MAX_PATH);
    if (SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   reinterpret_cast<void**>(&graph))) &&
        SUCCEEDED(graph->RenderFile(wide, nullptr)) &&
        SUCCEEDED(graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)))) {
        control->Run();
        Sleep(600);
        control->Stop();
    }
    release(control);
    release(graph);
}

void pump(DWORD ms) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(10);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const bool engine = strcmp(argv[1], "engine") == 0;
    const int opens = atoi(argv[3]);
    CoInitialize(nullptr);
    HWND window = CreateWindowA("STATIC", "probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320, 240, nullptr, nullptr,
                                nullptr, nullptr);
    if (engine) {
        media_init();
        media_set_window(window);
    }
    for (int i = 1; i <= opens; i++) {
        if (engine) {
            media_set_path(argv[2]);
            media_play();
            pump(800);
            media_stop();
        } else if (strcmp(argv[1], "graph") == 0) {
            graph_open(argv[2]);
            pump(10);
        } else {
            platform_open(argv[2]);
            pump(10);
        }
        unsigned long handles = 0;
        handle_count(GetCurrentProcessId(), &handles);
        printf("opens = %d handles = %lu\n", i, handles);
        fflush(stdout);
    }
    pump(500);
    return 0;
}
