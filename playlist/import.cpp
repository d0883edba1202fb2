// The one way into the playlist: files are appended, folders scanned depth
// first in the order the file system lists them.
#include <stdio.h>
#include <string.h>

#include "../ui/ui.h"
#include "playlist.h"

#include <commdlg.h>

bool plist_import_skips(const char* name) {
    static const char* const skip[] = {".", "..", "thumbs.db", "desktop.ini", "folder.htt"};
    for (const char* s : skip)
        if (lstrcmpiA(name, s) == 0) return true;
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

size_t plist_trim_separator(char* path) {
    size_t n = strnlen(path, PLIST_PATH_SIZE);
    if (n > 0 && (path[n - 1] == '\\' || path[n - 1] == '/')) path[--n] = 0;
    return n;
}

namespace {

int g_files_not_added;  // since the last end of an import

int add_folder(const char* folder) {
    SetCurrentDirectoryA(folder);
    char pattern[PLIST_PATH_SIZE];
    if (!plist_join_path(pattern, sizeof pattern, folder, "*.*")) return 0;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        char child[PLIST_PATH_SIZE];
        if (plist_import_skips(found.cFileName) || !plist_join_path(child, sizeof child, folder, found.cFileName))
            continue;
        plist_add_path(child);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return 1;
}

}  // namespace

int plist_add_path(char* path) {
    if (strnlen(path, PLIST_PATH_SIZE) > PLIST_PATH_MAX) return 0;
    plist_trim_separator(path);
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
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

int plist_open_dialog(HWND owner, bool append) {
    // Room for a long multiple selection: the folder, then each name.
    static char names[1064960];
    names[0] = 0;
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter =
        "All Known Media Files\0*.m3u;*.m3u8;*.pls;*.xspf;*.mpg;*.mpeg;*.mpe;*.mpv;*.m1v;*.mp2;*.mp3;*.mp4;*.mpa;*.mpv2;*.dat;"
        "*.vob;*.avi;*.wav;*.wmv;*.wma;*.divx;*.asf;*.ogg;*.ogv;*.mid;*.midi\0"
        "Supported Playlist Files\0*.m3u;*.m3u8;*.pls;*.xspf;\0"
        "All Files\0*.*\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = names;
    ofn.nMaxFile = sizeof names;
    ofn.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_READONLY;
    if (!GetOpenFileNameA(&ofn)) return 0;
    names[sizeof names - 2] = names[sizeof names - 1] = 0;  // the list always ends
    DWORD attributes = GetFileAttributesA(names);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        char path[PLIST_PATH_SIZE];
        if (strlen(names) > PLIST_PATH_MAX) return 0;
        strcpy(path, names);
        if (!append) plist_reset();
        plist_add_path(path);
        if (!append) plist_select(0, false);
        plist_tell_not_added();  // a playlist chosen alone may have filled the list
        return 1;
    }
    // Several files: the folder comes first, then each name after its own
    // terminator. A name too long to join to the folder is passed over.
    if (strlen(names) + 1 > PLIST_PATH_MAX) return 0;
    if (!append) plist_reset();
    int n = 0;
    for (const char* name = names + strlen(names) + 1; *name && name < names + sizeof names; name += strlen(name) + 1) {
        char title[64];
        snprintf(title, sizeof title, "Importing Files : %i", ++n);
        SetWindowTextA(g_viewer_window, title);
        char path[PLIST_PATH_SIZE];
        if (plist_join_path(path, sizeof path, names, name)) plist_add_path(path);
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

int plist_tell_not_added() {
    if (g_files_not_added > 0 && g_viewer_window) {
        char text[160];
        wsprintfA(text, "The playlist holds at most %d files: %d files were not added.", PLAYLIST_CAPACITY,
                  g_files_not_added);
        g_files_not_added = 0;
        MessageBoxA(g_viewer_window, text, "Playlist Full", MB_OK | MB_ICONINFORMATION);
    }
    return 1;
}
