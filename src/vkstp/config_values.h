#pragma once

#include <cstdint>

// The conversions of configuration values. Each takes the value text of one
// line as it stands (no trimming).

// Text of width N into an N + 1 byte field: the first N characters, NULs up
// to the end. A longer value is cut.
void StoreText(char* field, int width, const char* value);
// Leading white space, an optional sign, decimal digits up to the first other
// character; no digits gives 0. Values beyond 32 bits stop at the limit.
int32_t ConvertNumber(const char* value);
// A number as above, kept to its low 16 bits (70000 stores 4464).
uint16_t ConvertNumber16(const char* value);
// The first character of the value, NUL for an empty one.
char ConvertCharacter(const char* value);
