// The one way into the playlist: files are appended, folders scanned depth
// first in the order the file system lists them.
#include <stdio.h>
#include <string.h>

#include "../app/app.h"
#include "../media/radio_parse.h"
#include "../ui/ui.h"
#include "playlist.h"

#include <commdlg.h>

bool plist_import_skips(const WCHAR* name) {
    static const WCHAR* const skip[] = {L".", L"..", L"thumbs.db", L"desktop.ini", L"folder.htt"};
    for (const WCHAR* s : skip)
        if (lstrcmpiW(name, s) == 0) return true;
    return false;
}

bool plist_join_path(char* out, size_t size, const char* folder, const char* tail) {
    size_t a = strlen(folder), b = strlen(tail);
    if (a + 1 + b > PLIST_PATH_MAX || a + 1 + b >= size) return false;
    memcpy(out, folder, a);
    out[a] = '\\';
    memcpy(out + a + 1, tail, b + 1);
    return true;
}

bool plist_join_wide_path(WCHAR* out, size_t count, const WCHAR* folder, const WCHAR* tail) {
    size_t a = lstrlenW(folder), b = lstrlenW(tail);
    if (a + 1 + b > PLIST_PATH_MAX || a + 1 + b >= count) return false;
    memcpy(out, folder, a * sizeof(WCHAR));
    out[a] = '\\';
    memcpy(out + a + 1, tail, (b + 1) * sizeof(WCHAR));
    return true;
}

size_t plist_trim_separator(char* path) {
    size_t n = strnlen(path, PLIST_PATH_SIZE);
    if (n > 0 && (path[n - 1] == '\\' || path[n - 1] == '/')) path[--n] = 0;
    return n;
}

namespace {

int g_files_not_added;  // since the last end of an import
int g_unopenable_files;  // there, but the system has no name for them this program can open

int add_wide_found(const WCHAR* path, DWORD attributes);

int add_folder(const char* folder) {
    SetCurrentDirectoryA(folder);
    // Listed in UTF-16, so names the code page has no characters for are found too.
    WCHAR wide_folder[PLIST_PATH_SIZE];
    if (!MultiByteToWideChar(CP_ACP, 0, folder, -1, wide_folder, PLIST_PATH_SIZE)) return 0;
    WCHAR pattern[PLIST_PATH_SIZE];
    if (!plist_join_wide_path(pattern, PLIST_PATH_SIZE, wide_folder, L"*.*")) return 0;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        // Skipped by their UTF-16 names: no conversion a code page may refuse
        // stands between "." or ".." and the scan of this folder's parents.
        WCHAR child[PLIST_PATH_SIZE];
        if (plist_import_skips(found.cFileName) ||
            !plist_join_wide_path(child, PLIST_PATH_SIZE, wide_folder, found.cFileName))
            continue;
        add_wide_found(child, found.dwFileAttributes);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return 1;
}

// A name the folder's listing gave, with the attributes it gave beside it:
// asking the file system again would cost a call for every file.
int add_wide_found(const WCHAR* path, DWORD attributes) {
    char ansi[PLIST_PATH_SIZE];
    int kind = app_ansi_path(path, ansi, sizeof ansi);
    if (kind == APP_PATH_UNOPENABLE_NAME) plist_count_unopenable_name();
    return kind > 0 ? plist_add_found(ansi, attributes) : 0;
}

}  // namespace

int plist_add_path(char* path) {
    if (strnlen(path, PLIST_PATH_SIZE) > PLIST_PATH_MAX) return 0;
    // An address is kept as it is: a list on a server is read in its place,
    // a station's stream added.
    if (media_is_url(path)) {
        if (plist_is_playlist_file(path)) return plist_load_file(path);
        if (!plist_append(path)) g_files_not_added++;
        return 1;
    }
    plist_trim_separator(path);
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    return plist_add_found(path, attributes);
}

int plist_add_found(char* path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return add_folder(path);
    if (plist_is_playlist_file(path)) return plist_load_file(path);

    char text[PLIST_PATH_SIZE];
    const char* slash = strrchr(path, '\\');
    lstrcpynA(text, "Adding File: ", sizeof text);
    lstrcpynA(text + 13, slash ? slash + 1 : path, sizeof text - 13);
    plist_progress_show(text);
    if (!plist_append(path)) g_files_not_added++;
    return 1;
}

int plist_add_wide_path(const WCHAR* path) {
    char ansi[PLIST_PATH_SIZE];
    int kind = app_ansi_path(path, ansi, sizeof ansi);
    if (kind == APP_PATH_UNOPENABLE_NAME) plist_count_unopenable_name();
    return kind > 0 ? plist_add_path(ansi) : 0;
}

void plist_count_unopenable_name() { g_unopenable_files++; }

int plist_open_dialog(HWND owner, bool append) {
    // Room for a long multiple selection: the folder, then each name.
    static WCHAR names[1064960];
    names[0] = 0;
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter =
        L"All Known Media Files\0*.m3u;*.m3u8;*.pls;*.xspf;*.mpg;*.mpeg;*.mpe;*.mpv;*.m1v;*.mp2;*.mp3;*.mp4;*.mpa;"
        L"*.mpv2;*.dat;"
        L"*.vob;*.avi;*.wav;*.wmv;*.wma;*.divx;*.asf;*.ogg;*.ogv;*.mid;*.midi\0"
        L"Supported Playlist Files\0*.m3u;*.m3u8;*.pls;*.xspf;\0"
        L"All Files\0*.*\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = names;
    ofn.nMaxFile = sizeof names / sizeof names[0];
    ofn.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_READONLY;
    // The wide dialog: the code page's one hands back "?" for the characters it lacks.
    if (!GetOpenFileNameW(&ofn)) return 0;
    const size_t end = sizeof names / sizeof names[0];
    names[end - 2] = names[end - 1] = 0;  // the list always ends
    DWORD attributes = GetFileAttributesW(names);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (lstrlenW(names) > PLIST_PATH_MAX) return 0;
        if (!append) plist_reset();
        plist_add_wide_path(names);
        if (!append) plist_select(0, false);
        plist_tell_not_added();  // a playlist chosen alone may have filled the list
        return 1;
    }
    // Several files: the folder comes first, then each name after its own
    // terminator. A name too long to join to the folder is passed over.
    if (static_cast<size_t>(lstrlenW(names)) + 1 > PLIST_PATH_MAX) return 0;
    if (!append) plist_reset();
    int n = 0;
    for (const WCHAR* name = names + lstrlenW(names) + 1; *name && name < names + end; name += lstrlenW(name) + 1) {
        char title[64];
        snprintf(title, sizeof title, "Importing Files : %i", ++n);
        SetWindowTextA(g_viewer_window, title);
        WCHAR path[PLIST_PATH_SIZE];
        if (plist_join_wide_path(path, PLIST_PATH_SIZE, names, name)) plist_add_wide_path(path);
    }
    if (!append) plist_select(0, false);
    SetWindowTextA(g_viewer_window, UI_TITLE);
    plist_progress_hide();
    return 1;
}

// An import runs without returning to the message loop, so the bubble is
// painted here; at most every 50 ms, which costs a long import nothing.
int plist_progress_show(const char* text) {
    static DWORD last_shown;
    if (!g_viewer_window || !IsWindow(g_viewer_window)) return 0;
    bool fresh = !g_progress_window;
    if (fresh)
        g_progress_window = CreateDialogParamA(g_instance, MAKEINTRESOURCEA(IDD_PROGRESS), g_viewer_window,
                                               ui_progress_dialog_proc, 0);
    DWORD now = GetTickCount();
    if (!fresh && now - last_shown < 50) return 1;
    last_shown = now;
    SetWindowTextA(g_progress_window, text);
    RedrawWindow(g_progress_window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    return 1;
}

// The end of a batch of additions: the bubble goes, and a list that filled
// up on the way is told once.
int plist_progress_hide() {
    if (g_progress_window) DestroyWindow(g_progress_window);
    g_progress_window = nullptr;
    return plist_tell_not_added();
}

int plist_tell_not_added() { return g_viewer_window ? plist_tell_not_added_to(g_viewer_window) : 1; }

int plist_tell_not_added_to(HWND owner) {
    if (g_files_not_added > 0 || g_unopenable_files > 0) {
        // One box for both reasons, each with its own count.
        char full[160] = "", unnamed[200] = "";
        if (g_files_not_added > 0)
            wsprintfA(full, "The playlist holds at most %d files: %d files were not added.", PLAYLIST_CAPACITY,
                      g_files_not_added);
        if (g_unopenable_files > 0)
            wsprintfA(unnamed,
                      "%d files were not added: their names have characters this system's code page lacks, and "
                      "their drive keeps no short names for them.",
                      g_unopenable_files);
        char text[360];
        wsprintfA(text, "%s%s%s", full, full[0] && unnamed[0] ? "\n" : "", unnamed);
        const char* caption = g_unopenable_files > 0 ? "Files Not Added" : "Playlist Full";
        g_files_not_added = g_unopenable_files = 0;
        MessageBoxA(owner, text, caption, MB_OK | MB_ICONINFORMATION);
    }
    return 1;
}
