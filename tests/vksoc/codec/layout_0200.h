#pragma once

#include <array>
#include <cstring>
#include <string>

#include "vkstp/config_image.h"

// A controller layout for card requests and their responses, the one the
// 0200 message of tests/data/iso8583_0200.bin is laid out by: element 2 and
// 102 with two length digits, 3, 4, 7, 11, 12, 13, 37, 38, 39, 41 and 49
// fixed. Shared by the tests, the benchmarks and the fuzz targets.
using FieldSpecTable = std::array<FieldSpec, 128>;

inline FieldSpec MakeFieldSpec(const char* name, int maxLen, int lengthBytes) {
    FieldSpec spec{};
    std::strncpy(spec.FIELD_NAME, name, sizeof(spec.FIELD_NAME) - 1);
    spec.MAX_LEN = maxLen;
    spec.LENGTH_BYTES = lengthBytes;
    return spec;
}

inline FieldSpecTable MakeLayout0200() {
    FieldSpecTable specs{};
    specs[2 - 1] = MakeFieldSpec("PAN", 19, 2);
    specs[3 - 1] = MakeFieldSpec("PROC_CODE", 6, 0);
    specs[4 - 1] = MakeFieldSpec("TXN_AMOUNT", 12, 0);
    specs[7 - 1] = MakeFieldSpec("TRANSMISSION_DATE_TIME", 10, 0);
    specs[11 - 1] = MakeFieldSpec("STAN", 6, 0);
    specs[12 - 1] = MakeFieldSpec("LOCAL_TIME", 6, 0);
    specs[13 - 1] = MakeFieldSpec("LOCAL_DATE", 4, 0);
    specs[37 - 1] = MakeFieldSpec("RRN", 12, 0);
    specs[38 - 1] = MakeFieldSpec("AUTH_ID", 6, 0);
    specs[39 - 1] = MakeFieldSpec("RESP_CODE", 2, 0);
    specs[41 - 1] = MakeFieldSpec("TERMINAL_ID", 8, 0);
    specs[49 - 1] = MakeFieldSpec("TXN_CURRENCY", 3, 0);
    specs[102 - 1] = MakeFieldSpec("ACCOUNT_ID_1", 28, 2);
    return specs;
}

// The element values of the 0200 message, without length prefixes.
struct Element0200 {
    int n;
    const char* value;
};
inline constexpr Element0200 ELEMENTS_0200[] = {
    {2, "4761739001010119"}, {3, "011000"},    {4, "000000010000"}, {7, "1209223000"},
    {11, "004711"},          {41, "ATM00042"}, {49, "356"},         {102, "00110012345678901234"},
};
