// The text of playlist files: which kind it is and the names it yields.
// No file or window calls here, so it can be tested and fuzzed alone.
#include <string.h>

#include "playlist.h"

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool line_end(char c) { return c == '\r' || c == '\n'; }

const char* skip_line_ends(const char* p) {
    while (line_end(*p)) p++;
    return p;
}

const char* end_of_line(const char* p) {
    while (*p && !line_end(*p)) p++;
    return p;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = lower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool starts_with(const char* text, size_t length, const char* prefix) {
    size_t n = strlen(prefix);
    if (length < n) return false;
    for (size_t i = 0; i < n; i++)
        if (lower(text[i]) != prefix[i]) return false;
    return true;
}

}  // namespace

const char* plist_find_text(const char* text, const char* pattern, bool ignore_case) {
    if (!text) return nullptr;
    if (!pattern) return text;
    if (!*text) return nullptr;
    size_t n = strlen(pattern);
    for (const char* p = text; *p; p++) {
        size_t i = 0;
        while (i < n && p[i] && (ignore_case ? lower(p[i]) == lower(pattern[i]) : p[i] == pattern[i])) i++;
        if (i == n) return p;
    }
    return nullptr;
}

bool plist_text_has_bom(const char* text) {
    return static_cast<unsigned char>(text[0]) == 0xEF && static_cast<unsigned char>(text[1]) == 0xBB &&
           static_cast<unsigned char>(text[2]) == 0xBF;
}

int plist_parse_text(const char* text, bool plain_allowed, PlistNameFn each, void* context) {
    if (!text) return PLIST_TEXT_NONE;
    if (plist_text_has_bom(text)) text += 3;
    int kind = PLIST_TEXT_M3U;
    const char* p = plist_find_text(text, "#EXTM3U", true);
    if (!p && (p = plist_find_text(text, "[playlist]", true))) kind = PLIST_TEXT_PLS;
    if (!p) {
        if (!plain_allowed) return PLIST_TEXT_NONE;
        p = text;
        kind = PLIST_TEXT_PLAIN;
    }
    while (*p) {
        p = skip_line_ends(p);
        if (!*p) break;
        if (kind == PLIST_TEXT_PLS) {
            // The value of the next key=value line; a value may hold '=' itself.
            const char* equals = p;
            while (*equals && *equals != '=') equals++;
            if (!*equals) break;
            p = equals + 1;
        }
        const char* end = end_of_line(p);
        each(p, static_cast<size_t>(end - p), context);
        p = end;
    }
    return kind;
}

int plist_name_from_line(const char* line, size_t length, char* out, size_t size) {
    if (!out || size == 0) return 0;
    out[0] = 0;
    // file:///C:/x and file://localhost/C:/x name the local path C:\x.
    bool url = false;
    if (starts_with(line, length, "file://localhost/")) {
        line += 17, length -= 17, url = true;
    } else if (starts_with(line, length, "file:///")) {
        line += 8, length -= 8, url = true;
    }
    size_t n = 0;
    for (size_t i = 0; i < length; i++) {
        char c = line[i];
        if (url && c == '%' && i + 2 < length && hex_digit(line[i + 1]) >= 0 && hex_digit(line[i + 2]) >= 0) {
            c = static_cast<char>(hex_digit(line[i + 1]) * 16 + hex_digit(line[i + 2]));
            i += 2;
        } else if (url && c == '/') {
            c = '\\';
        }
        if (c == 0 || n + 1 >= size || n >= PLIST_PATH_MAX) {  // too long, or a NUL escaped into it
            out[0] = 0;
            return 0;
        }
        out[n++] = c;
    }
    out[n] = 0;
    return n > 0;
}
