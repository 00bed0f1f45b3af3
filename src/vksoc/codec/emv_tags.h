#pragma once

#include <cstdint>

// The public EMV data elements by tag (as in TlvObject: 9F02 is 0x9F02),
// named as people who read chip data know them. Proprietary tags (DF..,
// scheme-specific ones not listed) have no name and are shown by number.

// The element's name, or null for a tag the table does not list.
const char* EmvTagName(uint32_t tag);

// Whether the element carries card data that DUMP_MASK_PAN hides: the
// account number (5A), track data (56, 57, 9F1F, 9F20, 9F6B) and the
// cardholder's name (5F20).
bool IsEmvCardDataTag(uint32_t tag);

// The table in tag order, for those who list it whole (the dissector):
// entry i's tag and name, 0 <= i < EmvTagCount().
int EmvTagCount();
uint32_t EmvTagAt(int i, const char** name);
