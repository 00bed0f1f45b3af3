#pragma once

#include "diag/message_fields.h"
#include "vksoc/codec/take_outcome.h"
#include "vkstp/config_image.h"
#include "vkstp/link_record.h"

// ISO 8583 with binary bitmaps: a 4-byte message type identifier, the primary
// bitmap, the secondary bitmap when bit 1 is set, then the present data
// elements in ascending order, each laid out by its FieldSpec (entry n - 1 of
// `specs` describes element n; the array has 128 entries).

// Takes one message from the front of `bytes` (`count` bytes held). Three
// outcomes:
//   - the message is whole: *complete = 1, returns the bytes it occupies; the
//     slots point into `bytes` (0 the identifier, 1 the secondary bitmap when
//     there is one, 2 to 128 the element values without prefixes). Bytes past
//     the returned length belong to the next message and are not looked at.
//   - more bytes are needed: *complete = 0, returns `count`; the slots are
//     not to be used.
//   - malformed (an element the layout does not define, a negative length
//     prefix): returns -1 after SetError(ERR_FORMAT, 0) and a line of text.
// No layout, however large its lengths, makes it read outside `bytes`.
int Disassemble8583(const unsigned char* bytes, int count, const FieldSpec* specs,
                    MessageFields* fields, int* complete);
// The same with its outcome typed: Whole with the bytes the message occupies,
// NeedMore with `count`, Malformed with -1 after recording the error.
Taken Take8583(const unsigned char* bytes, int count, const FieldSpec* specs,
               MessageFields* fields);

// Builds the message for the present slots of `fields` (length > 0) at `out`,
// writing at most `room` bytes, and returns its length. The bitmaps follow
// from the present slots (slot 1 is never read); fixed elements are cut at a
// NUL byte or at MAX_LEN and blank-padded. Returns -1 after
// SetError(ERR_FORMAT, 0) and a line of text when an element is undefined,
// the identifier is shorter than 4 bytes, a length needs more digits than its
// prefix has, or the message does not fit in `room`; the bytes at `out` are
// then unspecified and must not be sent.
int Assemble8583(unsigned char* out, int room, const FieldSpec* specs, const MessageFields* fields);

// The same for a controller with a link record (null: the plain link above,
// byte for byte). The record says how the identifier, the bitmaps, each
// value and each length prefix lie on the wire (value_form.h). An ASCII
// value's slot points into `bytes` as above; a converted value's slot holds
// its value form in `area`, as do a BCD or EBCDIC identifier and a
// hexadecimal secondary bitmap (slot 1 always holds the 8 bitmap bytes).
// The area is the caller's, reused by every message: the slots are good
// until it is written again. DECODE_AREA_SIZE bytes hold any message of
// MAX_MESSAGE_LENGTH bytes (no value form is longer than twice its wire
// form). Also malformed: a BCD nibble that is not a digit, a pad nibble
// other than the encoding's, a hexadecimal bitmap or a length prefix that is
// not one, an area too small.
inline constexpr int DECODE_AREA_SIZE = 2 * MAX_MESSAGE_LENGTH;
struct DecodeArea {
    unsigned char* bytes;
    int32_t room;
};
Taken Take8583(const unsigned char* bytes, int count, const FieldSpec* specs,
               const LinkRecord* link, DecodeArea area, MessageFields* fields);

// The same for a controller with a link record (null: the plain link above):
// the present slots hold value forms and each is written in its field's
// encodings. A plain ASCII field (ASCII value and prefix) is sent as above;
// a converted one is refused when ValueFormToWire refuses it, the record
// naming the field and the reason.
int Assemble8583(unsigned char* out, int room, const FieldSpec* specs, const LinkRecord* link,
                 const MessageFields* fields);
