#pragma once

#include <climits>
#include <cstdint>

#include "layout_0200.h"

// Layouts drawn by the fuzzer, for the ISO 8583 targets.

// One byte describes one element: the low 3 bits choose the kind, the rest
// a size. Kinds 5 to 7 are specs the codec must treat as undefined or
// survive: a negative MAX_LEN, LENGTH_BYTES outside 0 to 3, MAX_LEN near the
// 32-bit limit.
inline FieldSpec SpecFromByte(uint8_t b) {
    const int v = b >> 3;
    switch (b & 7) {
        case 0:
            return MakeFieldSpec("", 0, 0);
        case 1:
            return MakeFieldSpec("FIXED", v + 1, 0);
        case 2:
            return MakeFieldSpec("LL", v == 0 ? 99 : v, 2);
        case 3:
            return MakeFieldSpec("LLL", 999, 3);
        case 4:
            return MakeFieldSpec("L_WITH_LONG_MAX", 999, 1);
        case 5:
            return MakeFieldSpec("NEGATIVE_MAX_LEN", -(v + 1), v & 3);
        case 6: {
            static const int widths[] = {7, -1, 4, INT32_MAX};
            return MakeFieldSpec("BAD_LENGTH_BYTES", 10, widths[v & 3]);
        }
        default:
            return MakeFieldSpec("HUGE_MAX_LEN", INT32_MAX - v, v & 3);
    }
}
