#pragma once

#include <cstddef>

// The public EMV data elements the dissector names in a BER-TLV field: the
// tag in upper-case hexadecimal and the element's name. A tag not listed is
// shown by its number.
struct EmvTagName {
    const char* tag;
    const char* name;
};

extern const EmvTagName EMV_TAG_NAMES[];
extern const size_t EMV_TAG_NAME_COUNT;
