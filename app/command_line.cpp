// Finding the media file in the command line, and the file tests around it.
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <string.h>
#include <wchar.h>

#include <vector>

#include "../media/radio_parse.h"
#include "app.h"
#include "command_line_parse.h"

// A station's address counts as there: only connecting to it can tell.
int app_file_exists(const char* path) {
    if (!path || !path[0]) return 0;
    if (media_is_url(path)) return 1;
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(h);
    return 1;
}

int app_folder_exists(const char* path) {
    if (!path || !path[0]) return 0;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

namespace {

// A candidate of the wide command line as a name the program opens;
// *unopenable is set when the file or folder is there but the system has no
// such name for it.
void to_ansi(const wchar_t* wide, char* out, size_t size, bool* unopenable) {
    if (app_ansi_path(wide, out, size) == APP_PATH_UNOPENABLE_NAME) *unopenable = true;
}

// Whether path ends in ".lnk" (exactly, lower case). A short name's
// extension is upper case whatever the file's: its real name tells.
bool names_shortcut(const char* path) {
    WCHAR real[APP_PATH_SIZE * 2];
    if (app_long_name(path, real, APP_PATH_SIZE * 2)) {
        size_t n = wcslen(real);
        return n >= 4 && wcscmp(real + n - 4, L".lnk") == 0;
    }
    size_t n = strlen(path);
    return n >= 4 && strcmp(path + n - 4, ".lnk") == 0;
}

}  // namespace

int app_parse_command_line(const char* command_line, char* path_out, size_t size) {
    if (!command_line || !command_line[0] || !path_out || size == 0) return 0;
    int n = MultiByteToWideChar(CP_ACP, 0, command_line, -1, nullptr, 0);
    if (n <= 0) return 0;
    std::vector<wchar_t> wide(static_cast<size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, command_line, -1, wide.data(), n);
    return app_parse_wide_command_line(wide.data(), path_out, size);
}

int app_parse_wide_command_line(const wchar_t* command_line, char* path_out, size_t size) {
    if (!command_line || !command_line[0] || !path_out || size == 0) return 0;
    wchar_t wide_guess[APP_PATH_SIZE], wide_quoted[APP_PATH_SIZE], wide_whole[APP_PATH_SIZE];
    app_command_line_candidates(command_line, wide_guess, wide_quoted, APP_PATH_SIZE);
    // A folder's name has no dot to end it: the whole line, spaces and all,
    // without the blanks and quotes around it, may name one.
    const wchar_t* from = command_line;
    while (*from == ' ' || *from == '"') from++;
    size_t n = wcslen(from);
    while (n > 0 && (from[n - 1] == ' ' || from[n - 1] == '"')) n--;
    wide_whole[0] = 0;
    if (n < APP_PATH_SIZE) {
        memcpy(wide_whole, from, n * sizeof(wchar_t));
        wide_whole[n] = 0;
    }
    // An address (its first word) is taken as it stands, with no file test
    // and no short name; one the code page cannot spell is no address.
    char address[APP_PATH_SIZE];
    BOOL lost = FALSE;
    BOOL* lost_flag = GetACP() == CP_UTF8 ? nullptr : &lost;  // UTF-8 spells everything, and takes no flag
    if (WideCharToMultiByte(CP_ACP, 0, wide_whole, -1, address, sizeof address, nullptr, lost_flag) > 0 && !lost &&
        media_is_url(address)) {
        char* blank = strchr(address, ' ');
        if (blank) *blank = 0;
        return app_copy_text(path_out, size, address) ? 1 : 0;
    }
    // Each candidate becomes a name in the code page first, a short name where
    // the code page lacks its characters; the tests below are the same as ever.
    char guess[APP_PATH_SIZE], quoted[APP_PATH_SIZE], whole[APP_PATH_SIZE];
    bool unopenable = false;
    to_ansi(wide_guess, guess, sizeof guess, &unopenable);
    to_ansi(wide_quoted, quoted, sizeof quoted, &unopenable);
    to_ansi(wide_whole, whole, sizeof whole, &unopenable);
    path_out[0] = 0;
    if (app_file_exists(guess)) app_copy_text(path_out, size, guess);
    else if (app_file_exists(quoted)) app_copy_text(path_out, size, quoted);
    else if (app_folder_exists(guess)) app_copy_text(path_out, size, guess);
    else if (app_folder_exists(quoted)) app_copy_text(path_out, size, quoted);
    else if (app_folder_exists(whole)) app_copy_text(path_out, size, whole);
    else if (unopenable) return APP_PATH_UNOPENABLE_NAME;

    if (names_shortcut(path_out)) app_resolve_shortcut(path_out, size, path_out);
    return 1;
}

int app_resolve_shortcut(char* target_out, size_t size, const char* shortcut_path) {
    CoInitialize(nullptr);
    // The wide interface: a target the code page has no characters for
    // comes back whole, for its short name.
    IShellLinkW* link = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
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
        WCHAR target[MAX_PATH] = {};
        char ansi[MAX_PATH];
        WIN32_FIND_DATAW find_data;
        // A target that does not fit is not cut short: the shortcut stays.
        if (link->GetPath(target, 256, &find_data, 0) == S_OK && app_ansi_path(target, ansi, sizeof ansi) > 0 &&
            strlen(ansi) < size) {
            memcpy(target_out, ansi, strlen(ansi) + 1);
            result = 1;
        }
    }
    link->Release();
    CoUninitialize();
    return result;
}
