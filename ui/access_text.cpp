// Slider values as words: formatting and reading back, nothing else.
#include "access_text.h"

#include <wchar.h>

namespace {

// Appends text to out (count characters in all), cut short rather than overrun.
void append(wchar_t* out, size_t count, const wchar_t* text) {
    size_t n = wcslen(out);
    while (*text && n + 1 < count) out[n++] = *text++;
    out[n] = 0;
}

// A number in decimal, at least width digits.
void append_number(wchar_t* out, size_t count, long long v, int width) {
    wchar_t digits[24];
    int n = 0;
    unsigned long long u = v < 0 ? 0 : static_cast<unsigned long long>(v);
    do digits[n++] = static_cast<wchar_t>(L'0' + u % 10), u /= 10;
    while (u && n < 23);
    while (n < width && n < 23) digits[n++] = L'0';
    wchar_t text[24];
    for (int i = 0; i < n; i++) text[i] = digits[n - 1 - i];
    text[n] = 0;
    append(out, count, text);
}

void append_clock(wchar_t* out, size_t count, long long units) {
    long long seconds = units < 0 ? 0 : units / 10000000;
    append_number(out, count, seconds / 3600, 1);
    append(out, count, L":");
    append_number(out, count, seconds / 60 % 60, 2);
    append(out, count, L":");
    append_number(out, count, seconds % 60, 2);
}

bool is_digit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// A run of at most six digits at *p, moved past; -1 when there is none.
long long digits(const wchar_t** p) {
    long long v = 0;
    int n = 0;
    while (is_digit(**p) && n < 6) v = v * 10 + (*(*p)++ - L'0'), n++;
    return n && !is_digit(**p) ? v : -1;
}

void skip_spaces(const wchar_t** p) {
    while (**p == L' ') (*p)++;
}

}  // namespace

void ui_percent_text(int percent, wchar_t* out, size_t count) {
    if (!out || !count) return;
    out[0] = 0;
    append_number(out, count, percent, 1);
    append(out, count, L" %");
}

void ui_position_text(long long position, long long length, wchar_t* out, size_t count) {
    if (!out || !count) return;
    out[0] = 0;
    if (length <= 0) return append(out, count, L"No file");
    append_clock(out, count, position);
    append(out, count, L" of ");
    append_clock(out, count, length);
}

int ui_parse_percent(const wchar_t* text) {
    if (!text) return -1;
    skip_spaces(&text);
    long long v = digits(&text);
    skip_spaces(&text);
    if (*text == L'%') text++;
    skip_spaces(&text);
    return v >= 0 && v <= 100 && !*text ? static_cast<int>(v) : -1;
}

long long ui_parse_clock(const wchar_t* text) {
    if (!text) return -1;
    skip_spaces(&text);
    long long parts[3];
    int n = 0;
    for (;;) {
        long long v = digits(&text);
        if (v < 0) return -1;
        parts[n++] = v;
        if (*text != L':' || n == 3) break;
        text++;
    }
    // Past the first part, minutes and seconds stay below 60.
    for (int i = 1; i < n; i++)
        if (parts[i] > 59) return -1;
    skip_spaces(&text);
    if (*text && wcsncmp(text, L"of ", 3) != 0 && wcscmp(text, L"of") != 0) return -1;
    long long seconds = 0;
    for (int i = 0; i < n; i++) seconds = seconds * 60 + parts[i];
    return seconds;
}
