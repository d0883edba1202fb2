// The command line's path candidates.
#include "command_line_parse.h"

#include <string.h>

namespace {

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Copies text[from, to) when it fits with its terminator; a path that does not
// fit is refused (left empty) rather than cut into the name of another file.
void copy_candidate(char* out, size_t size, const char* text, size_t from, size_t to) {
    size_t n = to > from ? to - from : 0;
    if (n >= size) n = 0;
    memcpy(out, text + from, n);
    out[n] = 0;
}

}  // namespace

void app_command_line_candidates(const char* command_line, char* guess, char* quoted, size_t size) {
    if (size == 0) return;
    guess[0] = quoted[0] = 0;
    if (!command_line) return;
    const char* c = command_line;
    const size_t length = strlen(c);
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
        const char* last_dot = strrchr(c + start, '.');
        if (last_dot) dot = static_cast<size_t>(last_dot - c);
        else start = 0;
    }
    size_t end = dot;
    while (c[end] && c[end] != ' ' && c[end] != '"') end++;
    copy_candidate(guess, size, c, start, end);

    const char* first_quote = strchr(c, '"');
    const char* last_quote = strrchr(c, '"');
    if (first_quote && last_quote > first_quote)
        copy_candidate(quoted, size, c, static_cast<size_t>(first_quote - c) + 1, static_cast<size_t>(last_quote - c));
}
