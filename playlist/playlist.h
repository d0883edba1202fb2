// The playlist: the store of paths, import of files and folders, and the
// playlist window.
#pragma once
#include <windows.h>
#include <stdint.h>

#define PLAYLIST_CAPACITY 4096
#define PLIST_PATH_SIZE 261   // one entry's slot
#define PLIST_PATH_MAX 259    // longest path accepted: it must fit every 260-byte path buffer

#define PLIST_SORT_BY_NAME 0
#define PLIST_RANDOMIZE 1

#define PLIST_WM_REFRESH (WM_APP + 1)
#define PLIST_WM_REPAINT (WM_APP + 2)

struct PlaylistEntry {
    char path[PLIST_PATH_SIZE];
};

extern HWND g_playlist_window;

// Store.
int plist_reset();
// Changes whenever the list is emptied (reset or cleared) to be built anew.
uint32_t plist_generation();
int plist_clear();
int plist_append(const char* path);
int plist_remove(int index);
// Removes every listed row at once (any order; repeats and rows outside the
// list count once or not at all), the current index ending where removals
// from the highest row down would leave it; the number removed.
int plist_remove_rows(const int* rows, int n);
// Copy entry index (or the current one) into out, which holds size bytes.
bool plist_get(char* out, size_t size, int index);
int plist_get_current(char* out, size_t size);
int plist_count();
int plist_select(int step, bool relative);
// Sort by name or randomize; the current index then names the entry that
// was current, wherever it moved.
int plist_arrange(int mode);
const char* plist_name_part(const char* path);
// Randomize with a given seed; the current entry stays current.
void plist_shuffle(uint32_t seed);
// Whether path a comes before b as a folder lists names: letter case ignored,
// runs of digits compared by their value.
bool plist_natural_before(const char* a, const char* b);
// Puts entries first to end - 1 in that order, equal ones as they were; the
// current entry keeps its file.
void plist_order_naturally(int first, int end);
// Titles that lists give their entries, kept by the entry's path (a
// station's address); the oldest is forgotten once there are as many as the
// list holds entries. An empty or null title forgets the path's; a longer
// one keeps its first PLIST_TITLE_SIZE - 1 bytes. The title of path into out
// (size bytes, cut to fit): 0, out "", when it has none.
#define PLIST_TITLE_SIZE 128
void plist_set_title(const char* path, const char* title);
int plist_title_of(const char* path, char* out, size_t size);

// Import.
// The names a folder scan passes over: "." and "..", and the shell's own files.
bool plist_import_skips(const WCHAR* name);
// folder, a backslash and tail into out (size bytes); false, out untouched,
// when the joined path would be longer than a playlist entry takes.
bool plist_join_path(char* out, size_t size, const char* folder, const char* tail);
bool plist_join_wide_path(WCHAR* out, size_t count, const WCHAR* folder, const WCHAR* tail);
// Drops one trailing backslash or slash; the new length.
size_t plist_trim_separator(char* path);
int plist_add_path(char* path);
// The same for a path known to be there, with its attributes as the file
// system gave them.
int plist_add_found(char* path, DWORD attributes);
// A path as the system gives it (UTF-16), added by a name the program's
// calls open (a short name for characters the code page lacks); a file the
// system has no such name for is left out and counted for the next telling.
int plist_add_wide_path(const WCHAR* path);
void plist_count_unopenable_name();
// The system's open dialog: replaces the list, or appends to it; 0 when cancelled.
int plist_open_dialog(HWND owner, bool append);
int plist_progress_show(const char* text);
int plist_progress_hide();
// Tells the user how many files a full list, or files the system has no
// name for that the program can open, left out since the last telling, once;
// the count waits while there is no viewer window to tell it over.
int plist_tell_not_added();
// The same in a box owned by owner (null: a box of its own), whether or not
// there is a viewer window.
int plist_tell_not_added_to(HWND owner);

// Playlist files. The text's part, free of file calls: the kind of text and
// each name it yields, in order.
#define PLIST_TEXT_NONE 0
#define PLIST_TEXT_M3U 1
#define PLIST_TEXT_PLS 2
#define PLIST_TEXT_PLAIN 3  // a .m3u or .m3u8 with neither marker: a name on every line
#define PLIST_TEXT_XSPF 4
typedef void (*PlistNameFn)(const char* line, size_t length, void* context);
int plist_parse_text(const char* text, bool plain_allowed, PlistNameFn each, void* context);
// The same, each name handed with whether the list marks it an entry (not
// an M3U directive, nor a PLS value under a key other than FileN, which are
// handed as names all the same) and the title the list gives it (null and 0
// for none): the #EXTINF line's before it in M3U, TitleN's for FileN in PLS,
// the track's <title> in XSPF (there in UTF-8, as XML reads it).
typedef void (*PlistEntryFn)(const char* name, size_t length, bool entry, const char* title, size_t title_length,
                             void* context);
int plist_parse_titled_text(const char* text, bool plain_allowed, PlistEntryFn each, void* context);
const char* plist_find_text(const char* text, const char* pattern, bool ignore_case);
bool plist_text_has_bom(const char* text);
// A line as a file name into out: file:// URLs become local paths; 0 for an
// empty line or one longer than a path may be (never cut short).
int plist_name_from_line(const char* line, size_t length, char* out, size_t size);
// XSPF: each <track>'s first <location>, a file:// URL or a path, read as
// XML reads text (references resolved, CDATA literal, comments dropped) and
// with its percent escapes undone, handed to each in document
// order as a NUL-terminated path in the system's code page; a location no
// such path can hold is left out. to_ansi turns UTF-8 into that code page
// (1 when the code page has every character); null takes Latin-1. The result
// is the number of tracks with a location, left-out ones included.
typedef int (*PlistUtf8ToAnsiFn)(const char* utf8, char* out, size_t size);
int plist_parse_xspf(const char* text, PlistUtf8ToAnsiFn to_ansi, PlistNameFn each, void* context);
int plist_parse_titled_xspf(const char* text, PlistUtf8ToAnsiFn to_ansi, PlistEntryFn each, void* context);
// Whether the root element is <playlist> (namespace prefix or none), past a
// byte-order mark, the XML declaration, comments, processing instructions and
// a document type; false when the text ends before its name does.
bool plist_text_is_xspf(const char* text);
bool plist_is_utf8(const char* text);
// UTF-8 with at least one character beyond ASCII: so written, not merely plain.
bool plist_is_utf8_beyond_ascii(const char* text);
int plist_utf8_to_latin1(const char* utf8, char* out, size_t size);
// A UTF-8 name from a list being loaded as a path the program opens: in the
// code page when it has every character, else the short name of the file (a
// relative name beside the list first); 0 when neither, a file there that
// the system has no such name for counted for the next telling.
int plist_utf8_to_path(const char* utf8, char* out, size_t size);
bool plist_is_playlist_file(const char* path);
int plist_load_file(const char* path);
// Called with each name a playlist being loaded yields, before it is looked
// up; null but in tests, which put a fault there.
extern void (*plist_loading_line_hook)(const char* name);
// Writes the list to name (its buffer holds size bytes; ".m3u" is appended
// unless it ends in .m3u or .m3u8): a name ending in .m3u8 gets the paths in
// UTF-8, any other the code page's bytes. 1 when the whole file was written.
int plist_save_m3u(char* name, size_t size);
int plist_save_dialog(HWND owner);

// Window.
HWND plist_create_window(HWND owner);
