// The one way into the playlist: files are appended, folders scanned depth
// first in the order the file system lists them.
#include <string.h>

#include "../ui/ui.h"
#include "playlist.h"

namespace {

bool skipped_name(const char* name) {
    static const char* const skip[] = {".", "..", "thumbs.db", "desktop.ini", "folder.htt"};
    for (const char* s : skip)
        if (lstrcmpiA(name, s) == 0) return true;
    return false;
}

// Joins folder, a separator and tail into out (260 bytes); false when it does not fit.
bool join_path(char* out, const char* folder, const char* tail) {
    size_t a = strlen(folder), b = strlen(tail);
    if (a + 1 + b > PLIST_PATH_MAX) return false;
    memcpy(out, folder, a);
    out[a] = '\\';
    memcpy(out + a + 1, tail, b + 1);
    return true;
}

int add_folder(const char* folder) {
    SetCurrentDirectoryA(folder);
    char pattern[PLIST_PATH_SIZE];
    if (!join_path(pattern, folder, "*.*")) return 0;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        char child[PLIST_PATH_SIZE];
        if (skipped_name(found.cFileName) || !join_path(child, folder, found.cFileName)) continue;
        plist_add_path(child);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return 1;
}

}  // namespace

int plist_add_path(char* path) {
    size_t n = strnlen(path, PLIST_PATH_SIZE);
    if (n > PLIST_PATH_MAX) return 0;
    if (n > 0 && (path[n - 1] == '\\' || path[n - 1] == '/')) path[--n] = 0;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return add_folder(path);

    char text[PLIST_PATH_SIZE];
    const char* slash = strrchr(path, '\\');
    lstrcpynA(text, "Adding File: ", sizeof text);
    lstrcpynA(text + 13, slash ? slash + 1 : path, sizeof text - 13);
    plist_progress_show(text);
    plist_append(path);
    return 1;
}

// The progress bubble itself is not drawn yet; these keep its calling contract.
int plist_progress_show(const char*) { return IsWindow(g_viewer_window) ? 1 : 0; }

int plist_progress_hide() { return 1; }
