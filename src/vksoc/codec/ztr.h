#pragma once

#include <cstdint>

#include "diag/message_fields.h"
#include "vksoc/codec/take_outcome.h"

// The ZTR host format: a 5-digit MESSAGE_LENGTH (the bytes after it), then
// fields each introduced by the separator 0x1C: the 8-character HASH_KEY, the
// VERSION "B1.0" and up to 61 further fields. Slot 1 is the length field,
// slot 2 the hash key, slot 3 the version, slots 4 to 64 the further fields
// in the order they stand; slot 0 and slots 65 to 128 are not used.

inline constexpr unsigned char ZTR_FS = 0x1C;
inline constexpr char ZTR_VERSION[] = "B1.0";
inline constexpr int ZTR_LENGTH_DIGITS = 5;
inline constexpr int ZTR_MAX_FIELDS = 64;  // highest field number; the length counts as field 1

// Takes one message from the front of `bytes`; the same three outcomes as
// Disassemble8583: whole (*complete = 1, returns 5 + MESSAGE_LENGTH, slots 0
// to 64 rewritten, slots into `bytes`), more needed (*complete = 0, returns
// `count`), malformed (-1 after SetError(ERR_FORMAT, 0) and a line of text:
// a bad length field, no separator after it, more than 64 fields, a hash key
// that is not 8 bytes or not the one computed, a version that is not B1.0).
int DisassembleZTR(const unsigned char* bytes, int count, MessageFields* fields, int* complete);
// The same with its outcome typed, as Take8583.
Taken TakeZTR(const unsigned char* bytes, int count, MessageFields* fields);

// Builds the message for slots 4 to 64 of `fields` at `out`, writing at most
// `room` bytes, and returns its length (80 plus the field bytes). The length,
// hash key and version are always computed; slots 0 to 3 are not read.
// Returns -1 after SetError(ERR_FORMAT, 0) and a line of text when a field
// holds the separator 0x1C (it would split the field at the peer) or the
// message does not fit in `room` or in the 5 length digits.
int AssembleZTR(unsigned char* out, int room, const MessageFields* fields);

// The hash key of a NUL-terminated input: the signed byte values minus 30,
// each times its position (spaces skipped, their positions counted), summed
// and times 9 with 32-bit wrap-around, printed "%08d", its first six
// characters reversed. `key` receives at least 8 and at most 11 characters
// and a NUL (12 bytes of room); the first 8 are the key.
void ComputeHashKey(const char* input, char* key);

struct ZtrFieldDef {
    char name[64];
    int32_t fieldNo;  // the slot number
    int32_t maxLen;   // the most characters the dialog lets the operator type
};

// Fields 1 to 57 in field-number order, then a row with fieldNo 0. Fields 58
// to 64 are carried but have no row.
extern const ZtrFieldDef ZtrFieldTable[];

// The fields whose bytes, one after another, make up the hash key's input.
extern const int HASH_KEY_FIELDS[16];
