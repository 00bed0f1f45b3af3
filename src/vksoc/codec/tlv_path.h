#pragma once

#include <cstdint>
#include <string_view>

#include "vksoc/codec/tlv.h"

// Names one data object of a field: its tags from the outside in, written
// in hexadecimal and joined by dots, as in "9F02" or "77.9F27" (either case).
// The first tag is looked for at any depth, in received order; each further
// tag is a child of the object before it. Every tag is whole (9F alone is
// not a tag) and every tag but the last is constructed.
struct TlvPath {
    uint32_t tags[TLV_MAX_DEPTH + 1];
    uint8_t tagBytes[TLV_MAX_DEPTH + 1];
    int count;
};

// Whether `text` is a path; fills *path when it is.
bool ParseTlvPath(std::string_view text, TlvPath* path);

// Writes the tag as upper-case hexadecimal with a NUL into out (room for
// 2 * TLV_MAX_TAG_BYTES + 1 characters) and returns its length.
int FormatTlvTag(uint32_t tag, int tagBytes, char* out);

// Room for a path as text: its tags and dots, and a NUL.
inline constexpr int TLV_PATH_TEXT_SIZE = (TLV_MAX_DEPTH + 1) * (2 * TLV_MAX_TAG_BYTES + 1);
// Writes the path as it is written ("77.9F27") with a NUL into out and
// returns its length.
int FormatTlvPath(const TlvPath& path, char* out);

// The index of the object the path names, or -1 when the table has none.
int FindTlvObject(const TlvTable& table, const TlvPath& path);
// The index of the first object of that tag at any depth, or -1.
int FindTlvTag(const TlvTable& table, uint32_t tag);
// The index of the first child of the constructed object `parent` (-1: the
// top level) with that tag, or -1.
int FindTlvChild(const TlvTable& table, int parent, uint32_t tag);
