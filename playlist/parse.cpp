// The text of playlist files: which kind it is and the names it yields.
// No file or window calls here, so it can be tested and fuzzed alone.
#include <string.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

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

namespace {

// One key=value pair of a PLS list from p: the key is the last line's text
// before the next '=', the value runs to the end of that line. Null when no
// '=' is left.
const char* pls_pair(const char* p, const char** key, size_t* key_length, const char** value, size_t* value_length) {
    const char* equals = p;
    while (*equals && *equals != '=') equals++;
    if (!*equals) return nullptr;
    const char* k = equals;
    while (k > p && !line_end(k[-1])) k--;
    while (k < equals && (*k == ' ' || *k == '\t')) k++;
    const char* k_end = equals;
    while (k_end > k && (k_end[-1] == ' ' || k_end[-1] == '\t')) k_end--;
    *key = k;
    *key_length = static_cast<size_t>(k_end - k);
    *value = equals + 1;
    const char* end = end_of_line(equals + 1);
    *value_length = static_cast<size_t>(end - *value);
    return end;
}

// The number after a key's word ("File12", "title3"): -1 when the key is not
// that word and digits only.
long key_number(const char* key, size_t length, const char* word) {
    size_t n = strlen(word);
    if (!starts_with(key, length, word) || length == n || length - n > 9) return -1;
    long number = 0;
    for (size_t i = n; i < length; i++) {
        if (key[i] < '0' || key[i] > '9') return -1;
        number = number * 10 + (key[i] - '0');
    }
    return number;
}

struct PlsTitle {
    long number;
    const char* text;
    size_t length;
};

// The text after an #EXTINF: line's first comma outside quotes, trimmed; its
// attributes (duration, tags) come before it. False when there is no comma.
bool extinf_title(const char* line, size_t length, const char** title, size_t* title_length) {
    bool quoted = false;
    size_t i = 8;
    for (; i < length && (quoted || line[i] != ','); i++)
        if (line[i] == '"') quoted = !quoted;
    if (i >= length) return false;
    size_t from = i + 1, to = length;
    while (from < to && (line[from] == ' ' || line[from] == '\t')) from++;
    while (to > from && (line[to - 1] == ' ' || line[to - 1] == '\t')) to--;
    *title = line + from;
    *title_length = to - from;
    return true;
}

void hand_name_only(const char* name, size_t length, bool, const char*, size_t, void* context) {
    auto pair = static_cast<std::pair<PlistNameFn, void*>*>(context);
    pair->first(name, length, pair->second);
}

}  // namespace

int plist_parse_text(const char* text, bool plain_allowed, PlistNameFn each, void* context) {
    std::pair<PlistNameFn, void*> pair(each, context);
    return plist_parse_titled_text(text, plain_allowed, hand_name_only, &pair);
}

int plist_parse_titled_text(const char* text, bool plain_allowed, PlistEntryFn each, void* context) {
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
    const char *key, *value;
    size_t key_length, value_length;
    if (kind == PLIST_TEXT_PLS) {
        // Every value in line order, keys unread but for FileN, which gets
        // the first TitleN's value wherever that stands.
        std::vector<PlsTitle> titles;
        for (const char* q = skip_line_ends(p); (q = pls_pair(q, &key, &key_length, &value, &value_length));) {
            long number = key_number(key, key_length, "title");
            if (number >= 0) titles.push_back({number, value, value_length});
        }
        std::stable_sort(titles.begin(), titles.end(),
                         [](const PlsTitle& a, const PlsTitle& b) { return a.number < b.number; });
        while ((p = pls_pair(skip_line_ends(p), &key, &key_length, &value, &value_length))) {
            long number = key_number(key, key_length, "file");
            auto t = std::lower_bound(titles.begin(), titles.end(), number,
                                      [](const PlsTitle& a, long n) { return a.number < n; });
            bool titled = number >= 0 && t != titles.end() && t->number == number && t->length > 0;
            each(value, value_length, number >= 0, titled ? t->text : nullptr, titled ? t->length : 0, context);
        }
        return kind;
    }
    // M3U: an #EXTINF line's title goes with the next line that is not a
    // directive; every line is a name as ever.
    const char* title = nullptr;
    size_t title_length = 0;
    while (*p) {
        p = skip_line_ends(p);
        if (!*p) break;
        const char* end = end_of_line(p);
        size_t length = static_cast<size_t>(end - p);
        if (*p == '#') {
            if (starts_with(p, length, "#extinf:") && !extinf_title(p, length, &title, &title_length)) title_length = 0;
            each(p, length, false, nullptr, 0, context);
        } else {
            each(p, length, true, title_length ? title : nullptr, title_length, context);
            title = nullptr;
            title_length = 0;
        }
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

// XSPF: the <location> of each <track>, in document order.

namespace {

bool xml_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Appends the UTF-8 form of a code point; false for one no text may hold.
bool put_utf8(std::string& out, unsigned long c) {
    if (c == 0 || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return false;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return true;
}

// The XML text between from and to with its entities and character
// references resolved; false for a reference to no character. An '&' that
// starts nothing known is kept as it stands.
bool unescape_xml(const char* from, const char* to, std::string& out) {
    static const char* const names[][2] = {{"lt;", "<"}, {"gt;", ">"}, {"amp;", "&"}, {"apos;", "'"}, {"quot;", "\""}};
    for (const char* p = from; p < to; p++) {
        if (*p != '&') {
            out += *p;
            continue;
        }
        size_t left = static_cast<size_t>(to - p - 1);
        bool named = false;
        for (const auto& n : names) {
            size_t k = strlen(n[0]);
            if (left >= k && strncmp(p + 1, n[0], k) == 0) {
                out += n[1];
                p += k;
                named = true;
                break;
            }
        }
        if (named) continue;
        if (left >= 3 && p[1] == '#') {
            bool hex = p[2] == 'x';
            const char* q = p + (hex ? 3 : 2);
            unsigned long c = 0;
            int digits = 0;
            for (; q < to && *q != ';'; q++, digits++) {
                int d = hex ? hex_digit(*q) : (*q >= '0' && *q <= '9' ? *q - '0' : -1);
                if (d < 0 || digits >= 8) return false;
                c = c * (hex ? 16 : 10) + static_cast<unsigned long>(d);
            }
            if (q >= to || digits == 0 || !put_utf8(out, c)) return false;
            p = q;
            continue;
        }
        out += '&';
    }
    return true;
}

// Past the end mark of a CDATA section or comment that starts at p, or null
// when the text ends first.
const char* section_end(const char* p) {
    const bool cdata = strncmp(p, "<![CDATA[", 9) == 0;
    const char* end = strstr(p + (cdata ? 9 : 4), cdata ? "]]>" : "-->");
    return end ? end + 3 : nullptr;
}

bool section_starts(const char* p) { return strncmp(p, "<![CDATA[", 9) == 0 || strncmp(p, "<!--", 4) == 0; }

// Where the element's content that starts at p ends: the first close tag
// outside CDATA sections and comments; null when the text ends first.
const char* content_end(const char* p, const char* close_tag) {
    const size_t n = strlen(close_tag);
    while (*p) {
        if (section_starts(p)) {
            p = section_end(p);
            if (!p) return nullptr;
        } else if (strncmp(p, close_tag, n) == 0) {
            return p;
        } else {
            p++;
        }
    }
    return nullptr;
}

// An element's text content between from and to, as XML reads it: references
// resolved, CDATA sections taken as they stand, comments dropped; white space
// around it trimmed. False for a reference to no character.
bool element_text(const char* from, const char* to, std::string& out) {
    const char* p = from;
    while (p < to) {
        if (section_starts(p)) {
            const char* end = section_end(p);
            if (!end || end > to) return false;
            if (p[2] == '[') out.append(p + 9, end - 3);  // CDATA, not a comment
            p = end;
            continue;
        }
        const char* run_end = p;
        while (run_end < to && !(*run_end == '<' && section_starts(run_end))) run_end++;
        if (!unescape_xml(p, run_end, out)) return false;
        p = run_end;
    }
    size_t first = 0, last = out.size();
    while (first < last && xml_space(out[first])) first++;
    while (last > first && xml_space(out[last - 1])) last--;
    out = out.substr(first, last - first);
    return true;
}

// One location's text as a path in the system's code page; false when it
// names nothing this system can hold.
bool location_to_path(const char* from, const char* to, PlistUtf8ToAnsiFn to_ansi, char* out, size_t size) {
    std::string text, bytes;
    if (!element_text(from, to, text)) return false;
    // A station's address stays a URL: its escapes kept, and bytes beyond
    // ASCII and spaces escaped as a URL holds them.
    if (starts_with(text.c_str(), text.size(), "http://") || starts_with(text.c_str(), text.size(), "https://")) {
        for (unsigned char c : text) {
            if (c > ' ' && c < 0x7F) bytes += static_cast<char>(c);
            else bytes += '%', bytes += "0123456789ABCDEF"[c >> 4], bytes += "0123456789ABCDEF"[c & 15];
        }
        if (bytes.size() > PLIST_PATH_MAX || bytes.size() >= size) return false;
        memcpy(out, bytes.c_str(), bytes.size() + 1);
        return true;
    }
    // file:///C:/x and file://localhost/C:/x are C:\x; file://server/x is \\server\x.
    size_t at = 0;
    bool url = starts_with(text.c_str(), text.size(), "file://");
    if (url) {
        at = 7;
        if (starts_with(text.c_str() + at, text.size() - at, "localhost/")) at += 9;
        if (text[at] == '/') at++;
        else bytes = "\\\\";
    }
    // A location is a URI: its escapes are undone whether it is a URL or a path.
    for (size_t i = at; i < text.size(); i++) {
        char c = text[i];
        if (c == '%' && i + 2 < text.size() && hex_digit(text[i + 1]) >= 0 && hex_digit(text[i + 2]) >= 0) {
            c = static_cast<char>(hex_digit(text[i + 1]) * 16 + hex_digit(text[i + 2]));
            i += 2;
            if (c == 0) return false;
        } else if (url && c == '/') {
            c = '\\';
        }
        bytes += c;
    }
    if (bytes.empty()) return false;
    // Text that is not UTF-8 was written in the system's own code page by an
    // older tool: its bytes are the path as they stand.
    if (!plist_is_utf8(bytes.c_str())) {
        if (bytes.size() > PLIST_PATH_MAX || bytes.size() >= size) return false;
        memcpy(out, bytes.c_str(), bytes.size() + 1);
        return true;
    }
    if (!to_ansi(bytes.c_str(), out, size)) return false;
    return out[0] && strlen(out) <= PLIST_PATH_MAX;
}

// Past the tag that starts at p ('<'), quoted attribute values included.
const char* tag_end(const char* p) {
    char quote = 0;
    for (p++; *p; p++) {
        if (quote) {
            if (*p == quote) quote = 0;
        } else if (*p == '"' || *p == '\'') {
            quote = *p;
        } else if (*p == '>') {
            return p + 1;
        }
    }
    return p;
}

bool tag_is(const char* p, const char* name) {
    size_t n = strlen(name);
    return strncmp(p, name, n) == 0 && (xml_space(p[n]) || p[n] == '>' || p[n] == '/');
}

const char* skip_past(const char* p, const char* end_mark) {
    const char* found = strstr(p, end_mark);
    return found ? found + strlen(end_mark) : p + strlen(p);
}

}  // namespace

bool plist_is_utf8(const char* text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        int follow = *p < 0x80 ? 0 : (*p & 0xE0) == 0xC0 ? 1 : (*p & 0xF0) == 0xE0 ? 2 : (*p & 0xF8) == 0xF0 ? 3 : -1;
        if (follow < 0 || (follow == 1 && *p < 0xC2)) return false;
        p++;
        for (int i = 0; i < follow; i++, p++)
            if ((*p & 0xC0) != 0x80) return false;
    }
    return true;
}

bool plist_is_utf8_beyond_ascii(const char* text) {
    bool beyond = false;
    for (const char* p = text; *p && !beyond; p++) beyond = static_cast<unsigned char>(*p) >= 0x80;
    return beyond && plist_is_utf8(text);
}

int plist_utf8_to_latin1(const char* utf8, char* out, size_t size) {
    size_t n = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8); *p; n++) {
        unsigned c = *p++;
        if (c >= 0x80) {
            if ((c & 0xE0) != 0xC0 || (*p & 0xC0) != 0x80) return 0;  // beyond U+07FF, or broken
            c = (c & 0x1F) << 6 | (*p++ & 0x3F);
            if (c > 0xFF) return 0;
        }
        if (n + 1 >= size) return 0;
        out[n] = static_cast<char>(c);
    }
    if (size == 0) return 0;
    out[n] = 0;
    return 1;
}

bool plist_text_is_xspf(const char* text) {
    if (!text) return false;
    if (plist_text_has_bom(text)) text += 3;
    const char* p = text;
    for (;;) {
        while (xml_space(*p)) p++;
        if (*p != '<') return false;
        if (p[1] == '?') {  // the XML declaration, or another processing instruction
            p = strstr(p + 2, "?>");
            if (!p) return false;
            p += 2;
        } else if (strncmp(p, "<!--", 4) == 0) {
            p = section_end(p);
            if (!p) return false;
        } else if (p[1] == '!') {  // a document type, its internal subset in brackets
            int depth = 0;
            char quote = 0;
            for (p += 2; *p && (quote || depth > 0 || *p != '>'); p++) {
                if (quote) {
                    if (*p == quote) quote = 0;
                } else if (*p == '"' || *p == '\'') {
                    quote = *p;
                } else if (*p == '[') {
                    depth++;
                } else if (*p == ']' && depth > 0) {
                    depth--;
                }
            }
            if (!*p) return false;
            p++;
        } else {
            // The root element: playlist, under a namespace prefix or none.
            const char* name = p + 1;
            const char* end = name;
            while (*end && !xml_space(*end) && *end != '>' && *end != '/') end++;
            if (!*end) return false;  // cut off inside its name
            for (const char* c = name; c < end; c++)
                if (*c == ':') name = c + 1;
            return end - name == 8 && strncmp(name, "playlist", 8) == 0;
        }
    }
}

namespace {

// The text of the first <title> among the children of the track whose
// content starts at p (an <extension>'s insides are not its children).
std::string track_title(const char* p) {
    std::string title;
    for (p = strchr(p, '<'); p; p = strchr(p, '<')) {
        if (section_starts(p)) {
            p = section_end(p);
            if (!p) break;
        } else if (tag_is(p + 1, "/track") || tag_is(p + 1, "track")) {
            break;
        } else if (tag_is(p + 1, "extension")) {
            p = content_end(tag_end(p), "</extension");
            if (!p) break;
            p = tag_end(p);
        } else if (tag_is(p + 1, "title")) {
            p = tag_end(p);
            if (p[-1] != '>' || p[-2] == '/') continue;
            const char* close = content_end(p, "</title");
            if (!close || !element_text(p, close, title)) title.clear();
            break;
        } else {
            p = tag_end(p);
        }
    }
    return title;
}

}  // namespace

int plist_parse_xspf(const char* text, PlistUtf8ToAnsiFn to_ansi, PlistNameFn each, void* context) {
    std::pair<PlistNameFn, void*> pair(each, context);
    return plist_parse_titled_xspf(text, to_ansi, hand_name_only, &pair);
}

int plist_parse_titled_xspf(const char* text, PlistUtf8ToAnsiFn to_ansi, PlistEntryFn each, void* context) {
    if (!text) return 0;
    if (!to_ansi) to_ansi = plist_utf8_to_latin1;
    int found = 0;
    bool in_track = false, located = false;
    const char* track_start = nullptr;
    for (const char* p = strchr(text, '<'); p; p = strchr(p, '<')) {
        if (strncmp(p, "<!--", 4) == 0) {
            p = skip_past(p + 4, "-->");
        } else if (strncmp(p, "<![CDATA[", 9) == 0) {
            p = skip_past(p + 9, "]]>");
        } else if (tag_is(p + 1, "track")) {
            p = tag_end(p);
            in_track = p[-1] == '>' && p[-2] != '/';
            located = false;
            track_start = p;
        } else if (tag_is(p + 1, "/track")) {
            in_track = false;
            p = tag_end(p);
        } else if (in_track && !located && tag_is(p + 1, "location")) {
            // The first location of a track is its file; others are alternatives.
            p = tag_end(p);
            if (p[-1] != '>' || p[-2] == '/') continue;
            const char* close = content_end(p, "</location");
            if (!close) break;
            located = true;
            char path[PLIST_PATH_SIZE];
            found++;
            if (location_to_path(p, close, to_ansi, path, sizeof path)) {
                std::string title = track_title(track_start);
                each(path, strlen(path), true, title.empty() ? nullptr : title.c_str(), title.size(), context);
            }
            p = close;
        } else {
            p = tag_end(p);
        }
    }
    return found;
}
