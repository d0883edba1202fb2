// The command line's path candidates, the same rules for the code page's
// text and for the system's UTF-16 command line.
#include "command_line_parse.h"

namespace {

template <class C> bool is_letter(C c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
template <class C> bool is_digit(C c) { return c >= '0' && c <= '9'; }

template <class C> size_t length_of(const C* text) {
    size_t n = 0;
    while (text[n]) n++;
    return n;
}

// Where c first or last stands in text; null when nowhere.
template <class C> const C* first_of(const C* text, C c) {
    for (; *text; text++)
        if (*text == c) return text;
    return nullptr;
}
template <class C> const C* last_of(const C* text, C c) {
    const C* found = nullptr;
    for (; *text; text++)
        if (*text == c) found = text;
    return found;
}

// Copies text[from, to) when it fits with its terminator; a path that does not
// fit is refused (left empty) rather than cut into the name of another file.
template <class C> void copy_candidate(C* out, size_t size, const C* text, size_t from, size_t to) {
    size_t n = to > from ? to - from : 0;
    if (n >= size) n = 0;
    for (size_t i = 0; i < n; i++) out[i] = text[from + i];
    out[n] = 0;
}

template <class C> void candidates(const C* command_line, C* guess, C* quoted, size_t size) {
    if (size == 0) return;
    guess[0] = quoted[0] = 0;
    if (!command_line) return;
    const C* c = command_line;
    const size_t length = length_of(c);
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
        const C* last_dot = last_of(c + start, C('.'));
        if (last_dot) dot = static_cast<size_t>(last_dot - c);
        else start = 0;
    }
    size_t end = dot;
    while (c[end] && c[end] != ' ' && c[end] != '"') end++;
    copy_candidate(guess, size, c, start, end);

    const C* first_quote = first_of(c, C('"'));
    const C* last_quote = last_of(c, C('"'));
    if (first_quote && last_quote > first_quote)
        copy_candidate(quoted, size, c, static_cast<size_t>(first_quote - c) + 1, static_cast<size_t>(last_quote - c));
}

}  // namespace

void app_command_line_candidates(const char* command_line, char* guess, char* quoted, size_t size) {
    candidates(command_line, guess, quoted, size);
}

void app_command_line_candidates(const wchar_t* command_line, wchar_t* guess, wchar_t* quoted, size_t size) {
    candidates(command_line, guess, quoted, size);
}

const wchar_t* app_command_line_arguments(const wchar_t* command_line) {
    if (!command_line) return L"";
    const wchar_t* p = command_line;
    if (*p == '"') {
        for (p++; *p && *p != '"'; p++) {
        }
        if (*p) p++;
    } else {
        while (*p > ' ') p++;
    }
    while (*p && *p <= ' ') p++;
    return p;
}
