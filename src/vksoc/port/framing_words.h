#pragma once

#include <cstddef>

#include "vksoc/port/framing.h"

// A framing in words, for a person reading `velkctl config` or a help text:
// "2-byte binary length, big-endian (BIN2), counting itself; TPDU
// 6000010000, answered with its addresses swapped; trailer 03; keep-alives
// (length 0) echoed". Written NUL-terminated into out, cut to fit.
void DescribeFraming(const Framing& framing, char* out, size_t size);
