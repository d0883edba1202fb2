// Finding the media file in the command line, and the file tests around it.
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <string.h>

#include "app.h"

namespace {

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Copies text[from, to) into path_out when it fits; a path that does not fit
// is refused (left empty) rather than cut into the name of another file.
void copy_candidate(char* path_out, const char* text, size_t from, size_t to) {
    size_t n = to - from;
    if (n >= APP_PATH_SIZE) n = 0;
    memcpy(path_out, text + from, n);
    path_out[n] = 0;
}

}  // namespace

int app_file_exists(const char* path) {
    if (!path || !path[0]) return 0;
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(h);
    return 1;
}

int app_parse_command_line(const char* command_line, char* path_out) {
    if (!command_line || !command_line[0]) return 0;
    path_out[0] = 0;
    const size_t length = strlen(command_line);
    const char* c = command_line;

    size_t start = 0, dot = 0;
    bool found = false;
    for (size_t p = 0; p + 3 < length; p++) {
        if ((is_letter(c[p]) && c[p + 1] == ':') ||
            (c[p] == '/' && c[p + 1] == '/' && c[p + 2] >= 'A' && c[p + 2] <= 'Z') ||
            (c[p] == '\\' && c[p + 1] == '\\' && (is_letter(c[p + 2]) || is_digit(c[p + 2])))) {
            start = p;
            found = true;
            break;
        }
    }
    if (found) {
        const char* last_dot = strrchr(c + start, '.');
        if (last_dot) dot = static_cast<size_t>(last_dot - c);
        else start = 0;
    }
    size_t end = dot;
    while (c[end] && c[end] != ' ' && c[end] != '"') end++;
    copy_candidate(path_out, c, start, end);

    if (!app_file_exists(path_out)) {
        const char* first_quote = strchr(c, '"');
        const char* last_quote = strrchr(c, '"');
        if (first_quote && last_quote > first_quote) {
            size_t from = static_cast<size_t>(first_quote - c) + 1;
            size_t to = static_cast<size_t>(last_quote - c);
            if (to - from < APP_PATH_SIZE) copy_candidate(path_out, c, from, to);
        }
        if (!app_file_exists(path_out)) path_out[0] = 0;
    }

    size_t n = strlen(path_out);
    if (n >= 4 && strcmp(path_out + n - 4, ".lnk") == 0) app_resolve_shortcut(path_out, path_out);
    return 1;
}

int app_resolve_shortcut(char* target_out, const char* shortcut_path) {
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&link));
    if (FAILED(hr)) {
        CoUninitialize();
        return hr;
    }
    IPersistFile* file = nullptr;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        link->Release();
        CoUninitialize();
        return 0;
    }
    WCHAR wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, shortcut_path, -1, wide, MAX_PATH - 1);
    hr = file->Load(wide, STGM_READ);
    file->Release();
    int result = 0;
    if (hr == S_OK) {
        // The target goes into a scratch buffer first: a failed look-up must
        // leave the shortcut's own path in place, and the caller's buffer may
        // be the source itself.
        char target[MAX_PATH] = {};
        WIN32_FIND_DATAA find_data;
        if (link->GetPath(target, 256, &find_data, 0) == S_OK) {
            memcpy(target_out, target, strlen(target) + 1);
            result = 1;
        }
    }
    link->Release();
    CoUninitialize();
    return result;
}
