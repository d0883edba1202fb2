#include "e2e.h"

#include <gtest/gtest.h>

#include "../test_dib.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

std::string e2e_program_path() {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path = self;
    path = path.substr(0, path.find_last_of('\\'));  // the tests folder
    path = path.substr(0, path.find_last_of('\\'));
    return path + "\\tavlin.exe";
}

// By the UTF-16 names, so files named beyond the code page go too.
static void remove_tree(const std::wstring& dir) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName, child = dir + L"\\" + name;
            if (name == L"." || name == L"..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) remove_tree(child);
            else DeleteFileW(child.c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(dir.c_str());
}

std::string e2e_scratch_dir(const std::string& name) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string dir = std::string(temp) + "tavlin-e2e-" + name;
    remove_tree(e2e_wide(dir));
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::string e2e_test_dir(const std::string& prefix) {
    return e2e_scratch_dir(prefix + testing::UnitTest::GetInstance()->current_test_info()->name());
}

std::string e2e_make_file(const std::string& path, const std::string& content) {
    e2e_make_file(e2e_wide(path), content);
    return path;
}

std::wstring e2e_make_file(const std::wstring& path, const std::string& content) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (h != INVALID_HANDLE_VALUE) {
        WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(h);
    }
    return path;
}

std::string e2e_read_file(const std::string& path) {
    std::string out;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    char chunk[65536];
    DWORD got = 0;
    while (h != INVALID_HANDLE_VALUE && ReadFile(h, chunk, sizeof chunk, &got, nullptr) && got) out.append(chunk, got);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return out;
}

std::wstring e2e_wide(const std::string& text, UINT code_page) {
    std::vector<WCHAR> wide(text.size() + 1);
    MultiByteToWideChar(code_page, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    return wide.data();
}

bool e2e_start(E2eProgram* program, const std::string& arguments) { return e2e_start(program, e2e_wide(arguments)); }

bool e2e_start(E2eProgram* program, const std::wstring& arguments) {
    return e2e_start_program(program, e2e_program_path(), arguments);
}

// Started through the UTF-16 call, so names the code page lacks reach it whole.
bool e2e_start_program(E2eProgram* program, const std::string& exe, const std::wstring& arguments) {
    std::wstring wide_exe = e2e_wide(exe), line = L"\"" + wide_exe + L"\" " + arguments;
    std::vector<WCHAR> buffer(line.begin(), line.end());
    buffer.push_back(0);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(wide_exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    program->process = pi.hProcess;
    program->pid = pi.dwProcessId;
    return true;
}

bool e2e_wait_exit(E2eProgram* program, int timeout_ms, DWORD* exit_code) {
    if (!program->process || WaitForSingleObject(program->process, timeout_ms) != WAIT_OBJECT_0) return false;
    if (exit_code) GetExitCodeProcess(program->process, exit_code);
    return true;
}

E2eProgram::~E2eProgram() { e2e_stop(this); }

void e2e_stop(E2eProgram* program) {
    if (!program->process) return;
    if (WaitForSingleObject(program->process, 0) != WAIT_OBJECT_0) {
        TerminateProcess(program->process, 1);
        WaitForSingleObject(program->process, 5000);
    }
    CloseHandle(program->process);
    program->process = nullptr;
}

namespace {

struct FindArgs {
    DWORD pid;
    const char* class_name;
    const char* title;
    std::vector<HWND> found;
};

BOOL CALLBACK find_all(HWND window, LPARAM lparam) {
    FindArgs* a = reinterpret_cast<FindArgs*>(lparam);
    DWORD pid = 0;
    char name[256] = "";
    GetWindowThreadProcessId(window, &pid);
    GetClassNameA(window, name, sizeof name);
    if ((!a->pid || pid == a->pid) && (!a->class_name || strcmp(name, a->class_name) == 0) &&
        (!a->title || e2e_text(window) == a->title))
        a->found.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> e2e_windows(DWORD pid, const char* class_name, const char* title) {
    FindArgs a = {pid, class_name, title, {}};
    EnumWindows(find_all, reinterpret_cast<LPARAM>(&a));
    return a.found;
}

HWND e2e_find_window(DWORD pid, const char* class_name, const char* title) {
    std::vector<HWND> all = e2e_windows(pid, class_name, title);
    return all.empty() ? nullptr : all[0];
}

HWND e2e_wait_window(DWORD pid, const char* class_name, const char* title, int timeout_ms) {
    HWND found = nullptr;
    e2e_wait_until([&] { return (found = e2e_find_window(pid, class_name, title)) != nullptr; }, timeout_ms);
    return found;
}

bool e2e_has_any_window(DWORD pid) {
    // Windows of the program's own classes only: the system may make hidden
    // helper windows in any process.
    for (const char* c : {"tavlin_viewer", "tavlin_player", "tavlin_bubble", "#32770"})
        if (e2e_find_window(pid, c)) return true;
    return false;
}

std::string e2e_text(HWND window) {
    char text[1024] = "";
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    return text;
}

std::string e2e_box_text(HWND box) { return e2e_text(GetDlgItem(box, 0xFFFF)); }

void e2e_press(HWND dialog, int button_id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button_id)));
}

std::vector<std::string> e2e_list_items(HWND list_box) {
    std::vector<std::string> items;
    LRESULT count = SendMessageA(list_box, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        // Read as UTF-16: across processes Wine hands back the wide form even to
        // an ANSI request.
        WCHAR wide[512] = L"";
        char text[1024] = "";
        if (SendMessageW(list_box, LB_GETTEXTLEN, i, 0) < 512)
            SendMessageW(list_box, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide));
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        items.push_back(text);
    }
    return items;
}

HWND e2e_test_window(const char* class_name, WNDPROC procedure, DWORD style, int width, int height) {
    WNDCLASSA c = {};
    c.lpfnWndProc = procedure;
    c.hInstance = GetModuleHandleA(nullptr);
    c.lpszClassName = class_name;
    c.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RegisterClassA(&c);
    RECT r = {0, 0, width, height};
    AdjustWindowRect(&r, style, FALSE);
    return CreateWindowA(class_name, "", style, 0, 0, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                         c.hInstance, nullptr);
}

std::vector<uint32_t> e2e_capture_client(HWND window, int* width, int* height) {
    RECT r;
    GetClientRect(window, &r);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    int w = r.right, h = r.bottom;
    std::vector<uint32_t> pixels(static_cast<size_t>(w > 0 ? w : 0) * (h > 0 ? h : 0));
    if (width) *width = w;
    if (height) *height = h;
    if (pixels.empty()) return pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFOHEADER bi = test_dib_header(w, h, 32);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    memcpy(pixels.data(), bits, pixels.size() * 4);
    for (auto& p : pixels) p &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

bool e2e_save_bmp(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height) {
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = test_dib_header(width, height, 32);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + static_cast<DWORD>(pixels.size() * 4);
    std::string data(reinterpret_cast<char*>(&fh), sizeof fh);
    data.append(reinterpret_cast<char*>(&ih), sizeof ih);
    data.append(reinterpret_cast<const char*>(pixels.data()), pixels.size() * 4);
    e2e_make_file(path, data);
    return true;
}

bool e2e_read_bmp(const std::string& path, std::vector<uint32_t>* pixels, int* width, int* height) {
    HBITMAP b = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    BITMAP info;
    if (!b || !GetObjectA(b, sizeof info, &info)) return false;
    *width = info.bmWidth;
    *height = info.bmHeight;
    BITMAPINFOHEADER want = test_dib_header(*width, *height, 32);
    pixels->assign(static_cast<size_t>(*width) * *height, 0);
    HDC dc = GetDC(nullptr);
    int rows = GetDIBits(dc, b, 0, *height, pixels->data(), reinterpret_cast<BITMAPINFO*>(&want), DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(b);
    for (uint32_t& p : *pixels) p &= 0xFFFFFF;
    return rows == *height;
}

std::string e2e_unix_path(const std::string& windows_path) {
    // Wine's own export; a path it cannot name comes back empty.
    typedef char*(CDECL * ToUnix)(const WCHAR*);
    static ToUnix to_unix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!to_unix) return "";
    WCHAR wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, windows_path.c_str(), -1, wide, MAX_PATH)) return "";
    char* unix_path = to_unix(wide);
    if (!unix_path) return "";
    std::string out = unix_path;
    HeapFree(GetProcessHeap(), 0, unix_path);
    return out;
}

int e2e_run_unix(const std::string& command, int timeout_ms) {
    // Wine starts programs of the build machine but cannot tell their exit
    // code, so the shell writes it into a file.
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string status = std::string(temp) + "tavlin-e2e-status";
    DeleteFileA(status.c_str());
    std::string line = "Z:\\bin\\sh -c \"" + command + "; echo $? > '" + e2e_unix_path(status) + "'\"";
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back(0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    // A program of the build machine gets no process of ours: no process
    // handle comes back, and the thread field may hold a handle the test owns.
    if (pi.hProcess) CloseHandle(pi.hThread), CloseHandle(pi.hProcess);
    std::string text;
    bool ended = e2e_wait_until([&] { return (text = e2e_read_file(status)).find('\n') != std::string::npos; },
                                timeout_ms);
    return ended ? atoi(text.c_str()) : -1;
}

bool e2e_drop(HWND window, const std::vector<std::string>& windows_paths) {
    POINT at = {30, 30};
    ClientToScreen(window, &at);
    std::string command = "/usr/bin/python3 " TAVLIN_SOURCE_DIR "/tools/xdnd-drop " + std::to_string(at.x) + " " +
                          std::to_string(at.y);
    for (const std::string& p : windows_paths) command += " '" + e2e_unix_path(p) + "'";
    return e2e_run_unix(command, 20000) == 0;
}

bool e2e_key(const std::string& keysym) { return e2e_run_unix("xdotool key " + keysym, 10000) == 0; }

bool e2e_pointer(HWND window, int x, int y, const std::string& then) {
    POINT at = {x, y};
    ClientToScreen(window, &at);
    return e2e_run_unix("xdotool mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) + " " + then,
                        10000) == 0;
}

std::string e2e_unix_output(const std::string& command, int timeout_ms) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string out = std::string(temp) + "tavlin-e2e-output";
    DeleteFileA(out.c_str());
    return e2e_run_unix(command + " > '" + e2e_unix_path(out) + "'", timeout_ms) == 0 ? e2e_read_file(out) : "";
}

namespace {
int shell_value(const std::string& text, const char* key) {
    size_t at = text.find(std::string(key) + "=");
    return at == std::string::npos ? -1 : atoi(text.c_str() + at + strlen(key) + 1);
}
// Wine keeps the X window of each top-level window in this property.
uintptr_t x_window_of(HWND window) { return reinterpret_cast<uintptr_t>(GetPropA(window, "__wine_x11_whole_window")); }
}  // namespace

bool e2e_x_geometry(HWND window, RECT* out) {
    uintptr_t x_window = x_window_of(window);
    if (!x_window) return false;
    std::string g = e2e_unix_output("xdotool getwindowgeometry --shell " + std::to_string(x_window), 10000);
    int x = shell_value(g, "X"), y = shell_value(g, "Y"), w = shell_value(g, "WIDTH"), h = shell_value(g, "HEIGHT");
    if (w <= 0 || h <= 0) return false;
    *out = {x, y, x + w, y + h};
    return true;
}

bool e2e_display_size(int* width, int* height) {
    std::string g = e2e_unix_output("xdotool getdisplaygeometry", 10000);
    return sscanf(g.c_str(), "%d %d", width, height) == 2;
}

bool e2e_x_pointer_over(HWND window, POINT at) {
    uintptr_t x_window = x_window_of(window);
    if (!x_window || !ClientToScreen(window, &at)) return false;
    std::string under = e2e_unix_output("xdotool mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) +
                                            " getmouselocation --shell", 10000);
    int top = shell_value(under, "WINDOW");
    if (top <= 0) return false;
    if (static_cast<uintptr_t>(top) == x_window) return true;
    // The window manager's frame holds the window: look for it inside.
    char wanted[32];
    snprintf(wanted, sizeof wanted, "0x%lx ", static_cast<unsigned long>(x_window));
    return e2e_unix_output("xwininfo -tree -id " + std::to_string(top), 10000).find(wanted) != std::string::npos;
}

bool e2e_x_focus_on(HWND window) {
    uintptr_t x_window = x_window_of(window);
    std::string focus = e2e_unix_output("xdotool getwindowfocus", 10000);
    return x_window && strtoul(focus.c_str(), nullptr, 10) == x_window;
}

std::vector<std::string> e2e_snapshot_files() {
    std::vector<std::string> out;
    WIN32_FIND_DATAA f;
    HANDLE find = FindFirstFileA("c:\\pic\\*.bmp", &f);
    if (find == INVALID_HANDLE_VALUE) return out;
    do out.push_back(std::string("c:\\pic\\") + f.cFileName);
    while (FindNextFileA(find, &f));
    FindClose(find);
    return out;
}

void e2e_remove_snapshots() {
    for (const std::string& f : e2e_snapshot_files()) DeleteFileA(f.c_str());
}
