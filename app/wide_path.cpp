// Paths the file system gives in UTF-16, for a program whose calls take the
// ANSI code page: a name the code page cannot spell goes by its short (8.3)
// name, plain ASCII for the same file.
#include <string.h>

#include <string>
#include <unordered_map>

#include "app.h"

DWORD(WINAPI* app_short_path_lookup)(LPCWSTR, LPWSTR, DWORD) = GetShortPathNameW;
UINT(WINAPI* app_code_page)() = GetACP;
int(WINAPI* app_wide_to_ansi)(UINT, DWORD, LPCWCH, int, LPSTR, int, LPCCH, LPBOOL) = WideCharToMultiByte;

namespace {

// wide in the code page, into out (size bytes), only when the code page has
// every character (a best-fit look-alike would name another file) and the
// result fits a path buffer: a longer one, as UTF-8 can make, goes by its
// short name.
bool exact_ansi(const WCHAR* wide, char* out, size_t size) {
    BOOL lossy = FALSE;
    // A UTF-8 code page holds every character, and refuses the flag and the
    // question (ERROR_INVALID_FLAGS, ERROR_INVALID_PARAMETER).
    bool utf8 = app_code_page() == CP_UTF8;
    int n = app_wide_to_ansi(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, -1, out, static_cast<int>(size), nullptr,
                             utf8 ? nullptr : &lossy);
    return n > 0 && n <= APP_PATH_SIZE && !lossy;
}

}  // namespace

int app_ansi_path(const WCHAR* wide, char* out, size_t size) {
    if (!out || size == 0) return APP_PATH_NONE;
    out[0] = 0;
    if (!wide || !wide[0]) return APP_PATH_NONE;
    if (exact_ansi(wide, out, size)) return APP_PATH_ANSI;
    // Where short names are off the look-up hands the long name back, which
    // the code page cannot hold either.
    WCHAR short_form[APP_PATH_SIZE];
    char ansi[APP_PATH_SIZE * 2];
    DWORD n = app_short_path_lookup(wide, short_form, APP_PATH_SIZE);
    if (n > 0 && n < APP_PATH_SIZE && exact_ansi(short_form, ansi, sizeof ansi))
        return app_copy_text(out, size, ansi) ? APP_PATH_SHORT : APP_PATH_NONE;  // a name, but no room
    out[0] = 0;
    return GetFileAttributesW(wide) != INVALID_FILE_ATTRIBUTES ? APP_PATH_UNOPENABLE_NAME : APP_PATH_NONE;
}

int app_long_name(const char* path, WCHAR* out, size_t count) {
    if (!out || count == 0 || !path || !strchr(path, '~')) return 0;
    WCHAR wide[APP_PATH_SIZE];
    if (!MultiByteToWideChar(CP_ACP, 0, path, -1, wide, APP_PATH_SIZE)) return 0;
    DWORD n = GetLongPathNameW(wide, out, static_cast<DWORD>(count));
    return n > 0 && n < count;
}

// Real names found so far for showing: the strip and every drawn row of the
// playlist ask again on each paint, and the file system is asked once a
// path. A file renamed meanwhile shows its old name until the program ends.
static std::unordered_map<std::string, std::wstring> g_shown_names;
static const size_t SHOWN_NAMES_KEPT = 2 * 4096;

int app_shown_name(const char* path, WCHAR* out, size_t count) {
    if (!out || count == 0 || !path || !strchr(path, '~')) return 0;
    auto known = g_shown_names.find(path);
    if (known != g_shown_names.end()) {
        if (known->second.size() >= count) return 0;
        memcpy(out, known->second.c_str(), (known->second.size() + 1) * sizeof(WCHAR));
        return 1;
    }
    if (!app_long_name(path, out, count)) return 0;
    if (g_shown_names.size() >= SHOWN_NAMES_KEPT) g_shown_names.clear();
    g_shown_names.emplace(path, out);
    return 1;
}
