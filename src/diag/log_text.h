#pragma once

#include <cstddef>

// Bytes from a peer or a file, made fit for an error-log record's text: a
// line feed or an escape sequence in them must neither forge a record nor
// drive the terminal that shows the log. Printable ASCII (0x20 to 0x7E) is
// copied; every other byte, and the backslash itself, becomes "\xHH" (two
// lower-case hexadecimal digits).

// Room that LogSafeText needs for `length` bytes, its NUL included.
constexpr size_t LogSafeTextSize(size_t length) {
    return 4 * length + 1;
}

// Writes the `length` bytes at `bytes` into out (outSize bytes), cut before
// the first byte whose form no longer fits, NUL-terminated. Returns out.
const char* LogSafeText(const void* bytes, size_t length, char* out, size_t outSize);
