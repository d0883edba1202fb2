// Reading the hand-off record that other copies write: trusted only as far as
// a terminator inside it. Free of system calls, so it can be fuzzed.
#include <stddef.h>
#include <string.h>

int app_handoff_read_record(const char* record, size_t record_size, char* out, size_t out_size) {
    if (!out || out_size == 0) return 0;
    out[0] = 0;
    const char* end = static_cast<const char*>(memchr(record, 0, record_size));
    if (!end || end == record) return 0;
    size_t length = static_cast<size_t>(end - record);
    if (length >= out_size) return 0;
    memcpy(out, record, length + 1);
    return 1;
}
