// Helpers for end-to-end tests: start the real tavlin.exe, find its windows,
// read what they show, answer its message boxes, and see how it ends. The
// unit and engine tests use its files, windows and waits too.
#pragma once
#include <windows.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

// Ends the program when it goes out of scope, so a failed test leaves no
// running copy for the next one to hand its files to.
struct E2eProgram {
    HANDLE process = nullptr;
    DWORD pid = 0;
    E2eProgram() = default;
    E2eProgram(const E2eProgram&) = delete;
    E2eProgram& operator=(const E2eProgram&) = delete;
    ~E2eProgram();
};

std::string e2e_program_path();  // the tavlin.exe beside the tests folder
std::string e2e_scratch_dir(const std::string& name);  // a fresh folder under the temp folder
std::string e2e_test_dir(const std::string& prefix = "");  // one named after the running test
std::string e2e_make_file(const std::string& path, const std::string& content = "x");
std::wstring e2e_make_file(const std::wstring& path, const std::string& content = "x");
std::string e2e_read_file(const std::string& path);  // the whole file, or "" when it cannot be read
std::wstring e2e_wide(const std::string& text, UINT code_page = CP_ACP);
// A clip the test run made, in the folder TAVLIN_CLIPS names.
inline std::string clip(const char* name) {
    const char* dir = getenv("TAVLIN_CLIPS");
    return std::string(dir ? dir : ".") + "\\" + name;
}
inline std::string copy_clip(const char* name, const std::string& to) {
    CopyFileA(clip(name).c_str(), to.c_str(), FALSE);
    return to;
}
// The snapshot files the program has written, c:\\pic\\*.bmp, and their removal.
std::vector<std::string> e2e_snapshot_files();
void e2e_remove_snapshots();

bool e2e_start(E2eProgram* program, const std::string& arguments);  // in the code page
bool e2e_start(E2eProgram* program, const std::wstring& arguments);
bool e2e_start_program(E2eProgram* program, const std::string& exe, const std::wstring& arguments);  // another .exe
bool e2e_wait_exit(E2eProgram* program, int timeout_ms, DWORD* exit_code);
void e2e_stop(E2eProgram* program);  // ends it if still running, by its own handle

// The top-level windows of pid (of any process for 0) with this class (and title, when given).
std::vector<HWND> e2e_windows(DWORD pid, const char* class_name, const char* title = nullptr);
HWND e2e_find_window(DWORD pid, const char* class_name, const char* title = nullptr);  // the first
HWND e2e_wait_window(DWORD pid, const char* class_name, const char* title, int timeout_ms);
bool e2e_has_any_window(DWORD pid);
std::string e2e_text(HWND window);

// Message boxes: the box's text, and pressing one of its buttons.
std::string e2e_box_text(HWND box);
void e2e_press(HWND dialog, int button_id);

std::vector<std::string> e2e_list_items(HWND list_box);

// A top-level window of a class of the test's own, on black, its client area width x height.
HWND e2e_test_window(const char* class_name, WNDPROC procedure, DWORD style, int width, int height);

// The client area as it is on the screen, 0x00RRGGBB per pixel, top row first.
std::vector<uint32_t> e2e_capture_client(HWND window, int* width = nullptr, int* height = nullptr);
bool e2e_save_bmp(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height);
// A BMP file's pixels as the system reads the file, 0x00RRGGBB, top row first.
bool e2e_read_bmp(const std::string& path, std::vector<uint32_t>* pixels, int* width, int* height);

// The build machine's name for a path, and running one of its programs
// (through /bin/sh) for its exit code, or -1 when it did not end in time.
std::string e2e_unix_path(const std::string& windows_path);
int e2e_run_unix(const std::string& command, int timeout_ms);
// A real drop of files on the window, through the X drag-and-drop protocol.
bool e2e_drop(HWND window, const std::vector<std::string>& windows_paths);
// A key pressed and released on the X display, by its keysym name.
bool e2e_key(const std::string& keysym);
// The pointer moved to client point (x, y) of window, then xdotool's further steps ("click 1").
bool e2e_pointer(HWND window, int x, int y, const std::string& then = "");
// What a command of the build machine printed.
std::string e2e_unix_output(const std::string& command, int timeout_ms);
// A window's place and size as the X server has them (the window manager's
// word, not the program's), and the display's size.
bool e2e_x_geometry(HWND window, RECT* out);
bool e2e_display_size(int* width, int* height);
// Moves the pointer to a client point of the window and says whether the
// window is what the X server has under it there, as a click would find it.
bool e2e_x_pointer_over(HWND window, POINT client);
// The X server sends keys to this window (a key pressed now reaches it).
bool e2e_x_focus_on(HWND window);

// Polls condition every 20 ms until it holds or timeout_ms has passed.
template <class Condition>
bool e2e_wait_until(Condition condition, int timeout_ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (static_cast<int>(GetTickCount() - start) > timeout_ms) return false;
        Sleep(20);
    }
}

// The same, dispatching this thread's messages before each look.
template <class Condition>
bool e2e_pump_until(Condition condition, int timeout_ms) {
    return e2e_wait_until([&] {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        return condition();
    }, timeout_ms);
}
