// Playlist files on disk: telling them apart, loading them through the
// import entry, and saving the list as M3U.
#include <string.h>
#include <wchar.h>

#include "../app/app.h"
#include "../app/fault_guard.h"
#include "../media/radio_parse.h"
#include "../media/radio_source.h"
#include "../ui/ui.h"
#include "playlist.h"

#include <commdlg.h>

namespace {

// Playlists being loaded, outermost first: a playlist that names itself,
// directly or through others, is not entered again, nor deeper than this.
const int MAX_NESTING = 8;
char g_loading[MAX_NESTING][PLIST_PATH_SIZE];
int g_depth;

// Files of more than this are not playlists anyone wrote by hand or tool.
const DWORD MAX_PLAYLIST_BYTES = 256u << 20;
// How much of a file of any name is read to tell an XSPF list by its root.
const DWORD XML_HEAD_BYTES = 4096;

const char* extension(const char* path) {
    const char* dot = strrchr(path, '.');
    const char* slash = strrchr(path, '\\');
    return dot && (!slash || dot > slash) ? dot : "";
}

bool has_extension(const char* path, const char* ext) {
    if (lstrcmpiA(extension(path), ext) == 0) return true;
    // A short name keeps three letters of an extension (".m3u8" is ".M3U"):
    // the real name tells.
    WCHAR real[PLIST_PATH_SIZE * 2], wide_ext[16];
    if (!app_long_name(path, real, PLIST_PATH_SIZE * 2) || !MultiByteToWideChar(CP_ACP, 0, ext, -1, wide_ext, 16))
        return false;
    const WCHAR* dot = wcsrchr(real, '.');
    const WCHAR* slash = wcsrchr(real, '\\');
    return dot && (!slash || dot > slash) && lstrcmpiW(dot, wide_ext) == 0;
}

struct LoadContext {
    char folder[PLIST_PATH_SIZE];  // the playlist's own folder, for relative names
    bool utf8;
    bool remote;  // a list from a server: its file names mean nothing here
};

// Lists on a server are read up to this size.
const size_t MAX_REMOTE_LIST_BYTES = 1u << 20;

// The extension of a URL's path, without its query or fragment, into out.
void url_extension(const char* url, char* out, size_t size) {
    const char* end = url + strcspn(url, "?#");
    const char* dot = end;
    while (dot > url && dot[-1] != '.' && dot[-1] != '/') dot--;
    size_t n = dot > url && dot[-1] == '.' ? static_cast<size_t>(end - dot + 1) : 0;
    if (n >= size) n = 0;
    memcpy(out, end - n, n);
    out[n] = 0;
}

bool is_absolute(const char* name) {
    return name[0] == '\\' || name[0] == '/' || (name[0] && name[1] == ':');
}

// The attributes of a file that is there, or INVALID_FILE_ATTRIBUTES for a
// missing name and for a folder, which a list line never names.
DWORD file_attributes(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? INVALID_FILE_ATTRIBUTES : attributes;
}

// A relative name is looked for beside the playlist first, then in the
// current directory; the entry is stored by the full path of what was found.
// One question to the file system a name: a list of thousands loads at once.
DWORD resolve(const char* name, const char* folder, char* out, size_t size) {
    char candidate[PLIST_PATH_SIZE];
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (!is_absolute(name) && plist_join_path(candidate, sizeof candidate, folder, name))
        attributes = file_attributes(candidate);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        lstrcpynA(candidate, name, sizeof candidate);
        attributes = file_attributes(candidate);
        if (attributes == INVALID_FILE_ATTRIBUTES) return attributes;
    }
    DWORD n = GetFullPathNameA(candidate, static_cast<DWORD>(size), out, nullptr);
    if ((n == 0 || n >= size || n > PLIST_PATH_MAX) && !app_copy_text(out, size, candidate))
        return INVALID_FILE_ATTRIBUTES;
    return attributes;
}

// A title from a list as text of the code page, which entries are shown in.
void keep_title(const char* url, const char* title, size_t length, bool utf8) {
    if (!title || length == 0) return;
    char bytes[PLIST_TITLE_SIZE * 4], shown[PLIST_TITLE_SIZE * 8];
    size_t n = length < sizeof bytes - 1 ? length : sizeof bytes - 1;
    while (n < length && n > 0 && (static_cast<unsigned char>(title[n]) & 0xC0) == 0x80) n--;  // not inside a character
    memcpy(bytes, title, n);
    bytes[n] = 0;
    WCHAR wide[PLIST_TITLE_SIZE * 4];
    bool converted = (utf8 || plist_is_utf8_beyond_ascii(bytes)) && plist_is_utf8(bytes) &&
                     MultiByteToWideChar(CP_UTF8, 0, bytes, -1, wide, PLIST_TITLE_SIZE * 4) &&
                     WideCharToMultiByte(CP_ACP, 0, wide, -1, shown, sizeof shown, nullptr, nullptr);
    plist_set_title(url, converted ? shown : bytes);
}

// A station's address is added as it stands, with the list's title for it.
// A list on a server is fetched and read in its place, as a local one is.
void add_url(const char* url, const char* title, size_t title_length, bool utf8) {
    char entry[PLIST_PATH_SIZE];
    if (!app_copy_text(entry, sizeof entry, url)) return;
    if (plist_is_playlist_file(entry)) {
        plist_load_file(entry);
        return;
    }
    if (!plist_add_path(entry)) return;
    keep_title(entry, title, title_length, utf8);
}

bool add_name(const char* name, LoadContext* c) {
    char found[PLIST_PATH_SIZE];
    DWORD attributes = resolve(name, c->folder, found, sizeof found);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    plist_add_found(found, attributes);
    return true;
}

void add_line(const char* line, size_t length, bool entry, const char* title, size_t title_length, void* context) {
    LoadContext* c = static_cast<LoadContext*>(context);
    char name[PLIST_PATH_SIZE], converted[PLIST_PATH_SIZE];
    if (!plist_name_from_line(line, length, name, sizeof name)) return;
    if (plist_loading_line_hook) plist_loading_line_hook(name);
    if (c->remote && !media_is_url(name)) return;
    if (media_is_url(name)) {
        if (entry) add_url(name, title, title_length, c->utf8);  // not a PLS title or the like that reads as one
        return;
    }
    bool utf8 = c->utf8 || plist_is_utf8_beyond_ascii(name);
    if (utf8 && plist_utf8_to_path(name, converted, sizeof converted) && add_name(converted, c)) return;
    // Other tools write UTF-8 into lists of the code page's text too; where
    // it names nothing, the bytes stand for themselves, as they always did.
    if (!c->utf8) add_name(name, c);
}

// The XSPF parser hands over whole paths, already in the code page, and
// titles in UTF-8.
void add_xspf_location(const char* path, size_t, bool, const char* title, size_t title_length, void* context) {
    if (plist_loading_line_hook) plist_loading_line_hook(path);
    if (media_is_url(path)) return add_url(path, title, title_length, true);
    if (!static_cast<LoadContext*>(context)->remote) add_name(path, static_cast<LoadContext*>(context));
}

// The whole file as NUL-terminated text; null when it cannot be read.
char* read_text(const char* path) {
    HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return nullptr;
    DWORD size = GetFileSize(f, nullptr), got = 0;
    char* text = size == INVALID_FILE_SIZE || size > MAX_PLAYLIST_BYTES
                     ? nullptr
                     : static_cast<char*>(GlobalAlloc(GMEM_FIXED, size + 1));
    if (text && (!ReadFile(f, text, size, &got, nullptr) || got != size)) {
        GlobalFree(text);
        text = nullptr;
    }
    CloseHandle(f);
    if (text) text[size] = 0;
    return text;
}

struct ParseArgs {
    const char* text;
    bool plain_allowed, xspf;
    LoadContext* context;
    int kind;
};

void parse_guarded(void* p) {
    ParseArgs* a = static_cast<ParseArgs*>(p);
    if (a->xspf)
        a->kind = plist_parse_titled_xspf(a->text, plist_utf8_to_path, add_xspf_location, a->context) > 0 ? PLIST_TEXT_XSPF
                                                                                                 : PLIST_TEXT_NONE;
    else
        a->kind = plist_parse_titled_text(a->text, a->plain_allowed, add_line, a->context);
}

bool already_loading(const char* full) {
    for (int i = 0; i < g_depth; i++)
        if (lstrcmpiA(g_loading[i], full) == 0) return true;
    return false;
}

// A new file of its own in the folder of target, named into out (size
// bytes): created only if no file of that name was there, and its name never
// longer than the target's, so whatever path fits the target fits it too.
HANDLE create_scratch_beside(const char* target, char* out, size_t size) {
    const char* back = strrchr(target, '\\');
    const char* forward = strrchr(target, '/');
    const char* slash = back > forward ? back : forward;
    size_t folder = slash ? static_cast<size_t>(slash - target) + 1 : 0;
    size_t room = strlen(target) - folder;  // at least 4: the name ends in ".m3u"
    size_t digits = room - 1 < 8 ? room - 1 : 8;
    if (room < 2 || folder + room >= size) return INVALID_HANDLE_VALUE;
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 12);
    for (DWORD attempt = 0; attempt < 200; attempt++) {
        memcpy(out, target, folder);
        out[folder] = '~';
        DWORD value = seed + attempt * 2654435761u;
        for (size_t i = 0; i < digits; i++) out[folder + 1 + i] = "0123456789abcdef"[(value >> (4 * i)) & 15];
        out[folder + 1 + digits] = 0;
        HANDLE f = CreateFileA(out, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        if (f != INVALID_HANDLE_VALUE || GetFileAttributesA(out) == INVALID_FILE_ATTRIBUTES) return f;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

void (*plist_loading_line_hook)(const char* name);

int plist_utf8_to_path(const char* utf8, char* out, size_t size) {
    WCHAR name[PLIST_PATH_SIZE], beside[PLIST_PATH_SIZE];
    if (!out || size == 0) return 0;
    out[0] = 0;
    if (!MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, name, PLIST_PATH_SIZE)) return 0;
    // A relative name is looked for beside the list being loaded first, as
    // resolve does: its short name can only be had from a path that is there.
    const WCHAR* chosen = name;
    WCHAR folder[PLIST_PATH_SIZE];
    if (!(name[0] == '\\' || name[0] == '/' || (name[0] && name[1] == ':')) && g_depth > 0 &&
        MultiByteToWideChar(CP_ACP, 0, g_loading[g_depth - 1], -1, folder, PLIST_PATH_SIZE)) {
        WCHAR* slash = wcsrchr(folder, '\\');
        if (slash) *slash = 0;
        if (plist_join_wide_path(beside, PLIST_PATH_SIZE, folder, name) &&
            GetFileAttributesW(beside) != INVALID_FILE_ATTRIBUTES)
            chosen = beside;
    }
    int kind = app_ansi_path(chosen, out, size);
    if (kind == APP_PATH_UNOPENABLE_NAME) plist_count_unopenable_name();
    return kind > 0 && strlen(out) <= PLIST_PATH_MAX;
}

// The media types the open dialog offers: a file named so is media, and is
// not opened to look for a playlist's marker, which would cost a folder of
// thousands of songs a file opening each.
static bool named_as_media(const char* path) {
    static const char* const media[] = {".mpg", ".mpeg", ".mpe", ".mpv", ".m1v", ".mp2", ".mp3", ".mp4",
                                        ".mpa", ".mpv2", ".dat", ".vob", ".avi", ".wav", ".wmv", ".wma",
                                        ".divx", ".asf", ".ogg", ".ogv", ".mid", ".midi"};
    const char* ext = extension(path);
    for (const char* m : media)
        if (lstrcmpiA(ext, m) == 0) return true;
    return false;
}

bool plist_is_playlist_file(const char* path) {
    if (media_is_url(path)) {  // told by its name alone: a station is never opened to look
        char ext[8];
        url_extension(path, ext, sizeof ext);
        return lstrcmpiA(ext, ".m3u") == 0 || lstrcmpiA(ext, ".pls") == 0 || lstrcmpiA(ext, ".m3u8") == 0 ||
               lstrcmpiA(ext, ".xspf") == 0;
    }
    if (has_extension(path, ".m3u") || has_extension(path, ".pls") || has_extension(path, ".m3u8") ||
        has_extension(path, ".xspf"))
        return true;
    if (named_as_media(path)) return false;
    HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    // The first few kilobytes only: any XML file would otherwise be read
    // whole to see whether its root is a playlist.
    char head[XML_HEAD_BYTES + 1];
    DWORD got = 0;
    BOOL read = ReadFile(f, head, XML_HEAD_BYTES, &got, nullptr);
    CloseHandle(f);
    if (!read) return false;
    head[got] = 0;
    if (plist_text_is_xspf(head)) return true;  // however short
    if (got < 200) return false;
    head[200] = 0;  // the markers count in the first 200 bytes
    return plist_find_text(head, "#EXTM3U", true) || plist_find_text(head, "[playlist]", true);
}

namespace {

// Reads text, the list named full, with the nesting kept: a fault while it
// loads costs this list only, as the guard brings control back here, so the
// nesting is always unwound and the list can be loaded again.
int load_text(const char* full, char* text, LoadContext* context, bool plain_allowed, bool xspf) {
    int depth = g_depth;
    lstrcpynA(g_loading[g_depth++], full, PLIST_PATH_SIZE);
    ParseArgs args = {text, plain_allowed, xspf, context, PLIST_TEXT_NONE};
    if (!app_run_guarded(parse_guarded, &args)) args.kind = PLIST_TEXT_NONE;
    g_depth = depth;
    return args.kind;
}

// A list on a server: fetched whole, its kind told by its name and its
// stations added.
int load_remote(const char* url) {
    char* text = static_cast<char*>(GlobalAlloc(GMEM_FIXED, MAX_REMOTE_LIST_BYTES + 1));
    if (!text) return 0;
    int kind = PLIST_TEXT_NONE;
    if (media_fetch_text(url, text, MAX_REMOTE_LIST_BYTES + 1) >= 0) {
        char ext[8];
        url_extension(url, ext, sizeof ext);
        LoadContext context = {};
        context.remote = true;
        context.utf8 = lstrcmpiA(ext, ".m3u8") == 0 || plist_text_has_bom(text);
        bool plain_allowed = lstrcmpiA(ext, ".m3u") == 0 || context.utf8;
        kind = load_text(url, text, &context, plain_allowed, lstrcmpiA(ext, ".xspf") == 0);
    }
    GlobalFree(text);
    return kind != PLIST_TEXT_NONE;
}

}  // namespace

int plist_load_file(const char* path) {
    char full[PLIST_PATH_SIZE];
    bool remote = media_is_url(path);
    DWORD n = remote ? 0 : GetFullPathNameA(path, sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full) lstrcpynA(full, path, sizeof full);
    if (g_depth >= MAX_NESTING || already_loading(full)) return 0;
    if (remote) return load_remote(full);
    char* text = read_text(path);
    if (!text) return 0;

    LoadContext context = {};
    lstrcpynA(context.folder, full, sizeof context.folder);
    char* slash = strrchr(context.folder, '\\');
    if (slash) *slash = 0;
    context.utf8 = has_extension(path, ".m3u8") || plist_text_has_bom(text);
    bool plain_allowed = has_extension(path, ".m3u") || has_extension(path, ".m3u8");
    bool xspf = has_extension(path, ".xspf") ||
                (!plain_allowed && !has_extension(path, ".pls") && plist_text_is_xspf(text));
    int kind = load_text(full, text, &context, plain_allowed, xspf);
    GlobalFree(text);
    SetWindowTextA(g_viewer_window, UI_TITLE);
    return kind != PLIST_TEXT_NONE ? 1 : 0;
}

// The longest real name an entry is saved by, in UTF-16 units with the
// terminator, and the most bytes its UTF-8 form takes: three a unit (a
// surrogate pair's two units take four).
#define REAL_NAME_UNITS (PLIST_PATH_SIZE * 2)
#define ENTRY_LINE_BYTES (REAL_NAME_UNITS * 3)

// One entry as the saved file holds it: the code page's bytes, or UTF-8 for
// .m3u8, which can hold the real name of an entry opened by its short name.
static bool entry_line(const char* path, bool utf8, char* out, size_t size) {
    if (!utf8) {
        lstrcpynA(out, path, static_cast<int>(size));
        return true;
    }
    WCHAR wide[REAL_NAME_UNITS];
    if (!app_long_name(path, wide, REAL_NAME_UNITS) && !MultiByteToWideChar(CP_ACP, 0, path, -1, wide, PLIST_PATH_SIZE))
        return false;
    return WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, static_cast<int>(size), nullptr, nullptr);
}

int plist_save_m3u(char* name, size_t size) {
    size_t length = strnlen(name, size);
    if (length >= size) return 0;
    bool utf8 = lstrcmpiA(extension(name), ".m3u8") == 0;
    if (!utf8 && lstrcmpiA(extension(name), ".m3u") != 0) {
        if (length + 4 > PLIST_PATH_MAX || length + 5 > size) return 0;  // no room for ".m3u": refused
        memcpy(name + length, ".m3u", 5);
    }
    // Written beside the target and moved over it only when whole, so a
    // failed save leaves no partial file and keeps what was there. Each line
    // goes out through a fixed buffer: the save runs under a message's guard,
    // and a fault that leaves it by a jump must leave no container behind.
    char temporary[PLIST_PATH_SIZE];
    HANDLE f = create_scratch_beside(name, temporary, sizeof temporary);
    if (f == INVALID_HANDLE_VALUE) return 0;
    // Room for the longest UTF-8 line and its CR LF.
    char line[ENTRY_LINE_BYTES + 2] = "#EXTM3U";
    char path[PLIST_PATH_SIZE];
    bool whole = true;
    for (int i = -1; whole && (i < 0 || plist_get(path, sizeof path, i)); i++) {
        if (i >= 0 && !entry_line(path, utf8, line, ENTRY_LINE_BYTES)) {
            whole = false;
            break;
        }
        size_t n = strlen(line);
        memcpy(line + n, "\r\n", 2);
        DWORD written = 0;
        whole = WriteFile(f, line, static_cast<DWORD>(n + 2), &written, nullptr) && written == n + 2;
    }
    whole = CloseHandle(f) && whole;
    if (whole && MoveFileExA(temporary, name, MOVEFILE_REPLACE_EXISTING)) return 1;
    DeleteFileA(temporary);
    return 0;
}

int plist_save_dialog(HWND owner) {
    char name[APP_PATH_SIZE] = "";
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = "M3U Playlist File\0*.m3u\0M3U8 Playlist File (UTF-8)\0*.m3u8\0";
    ofn.lpstrFile = name;
    ofn.nMaxFile = sizeof name;
    ofn.lpstrTitle = "Save Playlist";
    ofn.lpstrDefExt = ".m3u";
    ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    if (!GetSaveFileNameA(&ofn)) return 0;
    if (plist_save_m3u(name, sizeof name)) return 1;
    char text[APP_PATH_SIZE + 64];
    wsprintfA(text, "The playlist could not be saved to\n%s", name);
    MessageBoxA(owner, text, "Save Playlist", MB_OK | MB_ICONERROR);
    return 0;
}
