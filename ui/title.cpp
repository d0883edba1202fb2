// The title clock's text: nothing here but formatting, so it can be fuzzed.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "../app/title.h"

namespace {
void append_clock(char* out, size_t size, int64_t position) {
    int seconds = static_cast<int>(position / 10000 / 1000);
    size_t n = strlen(out);
    snprintf(out + n, size - n, "%i:%02i:%02i", seconds / 3600, (seconds / 60) % 60, seconds % 60);
}
}  // namespace

void ui_format_title(char* out, size_t size, int64_t position, int64_t duration) {
    snprintf(out, size, "%s | ", APP_TITLE);
    append_clock(out, size, position);
    size_t n = strlen(out);
    // A live stream has no length (a negative one): "live" stands in its place.
    snprintf(out + n, size - n, duration < 0 ? " / live" : " / ");
    if (duration >= 0) append_clock(out, size, duration);
}
