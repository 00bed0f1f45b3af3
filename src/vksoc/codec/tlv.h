#pragma once

#include <cstdint>

// BER-TLV data objects as EMV chip data carries them (ISO 8583 element 55):
// a tag of one or more bytes (a first byte whose low five bits are all set
// is followed by further bytes, each but the last with its top bit set), a
// length (one byte below 0x80, or 0x81, 0x82, 0x83 followed by 1 to 3 bytes
// of length), the value. A tag whose first byte has bit 0x20 set is
// constructed: its value is itself a sequence of data objects (70, 77, 71,
// 72). Zero bytes where an object could begin are padding, kept as they are.
//
// Decoding never allocates: it fills a table the caller owns, at most
// TLV_MAX_OBJECTS objects (padding runs count as one each), constructed
// objects nested at most TLV_MAX_DEPTH deep, tags of at most
// TLV_MAX_TAG_BYTES bytes. A field beyond those limits decodes as far as
// they allow and carries a finding like any malformed one.

inline constexpr int TLV_MAX_OBJECTS = 128;
inline constexpr int TLV_MAX_DEPTH = 8;
inline constexpr int TLV_MAX_TAG_BYTES = 4;

// One data object, in received order: a constructed object comes before its
// children, which come before its next sibling.
struct TlvObject {
    uint32_t tag;                // the tag's bytes big-endian (9F02 is 0x9F02); 0 for padding
    const unsigned char* value;  // the value's bytes: in the decoded field, or the caller's
                                 // for an object an edit set; a constructed object's value is
                                 // the bytes of its children as received
    int32_t length;              // the value's length; for padding, the number of zero bytes
    int32_t offset;              // where the object began in the decoded field; -1 for an
                                 // object an edit made
    int16_t parent;              // index of the constructed object that holds it; -1 on top
    uint8_t depth;               // 0 on top, 1 for a child of a top-level object, ...
    uint8_t tagBytes;            // 1 to TLV_MAX_TAG_BYTES; 0 for padding
    uint8_t lengthBytes;         // the length as received: 1 short form, 2 to 4 long form
                                 // (81, 82, 83); 0 for an object an edit made (the shortest)
};

// Why a field is not whole BER-TLV. Decoding stops at the first fault.
enum class TlvFault : uint8_t {
    None,
    TagCutShort,       // the field ends inside a tag
    TagTooLong,        // a tag of more than TLV_MAX_TAG_BYTES bytes
    LengthMissing,     // the field ends before or inside a length
    LengthTooLong,     // a long-form length of 5 or more bytes (84 to FE, FF)
    IndefiniteLength,  // the length 80, which EMV does not use
    LengthPastEnd,     // a value longer than the rest of the field
    ChildrenOverrun,   // a child of a constructed object runs past the object's end
    TooManyObjects,    // more objects than TLV_MAX_OBJECTS
    TooDeep,           // constructed objects nested more than TLV_MAX_DEPTH deep
};

// The text of a fault, e.g. "length past the field's end"; "" for None.
const char* TlvFaultText(TlvFault fault);

struct TlvFinding {
    TlvFault fault;   // None: the field decoded whole
    int32_t at;       // the byte that breaks the form (the field's length when it ends too soon)
    int32_t rawFrom;  // where the object that failed began: from here on the field is raw
};

struct TlvTable {
    TlvObject objects[TLV_MAX_OBJECTS];
    int32_t count;
    TlvFinding finding;
};

// Decodes the `length` bytes at `bytes` into *table and returns whether they
// decoded whole. Otherwise the table holds the objects decoded before the
// fault (a constructed object whose children fail is kept with the children
// before the failing one) and the finding. Reads nothing outside the field;
// the table's values point into it, so it must outlive the table's use. A
// length of 0 or less is an empty field: no objects, no finding.
bool DecodeTlv(const unsigned char* bytes, int32_t length, TlvTable* table);

// Writes the objects of `table` in its order at `out`, at most `room` bytes,
// and returns the length written. Each length keeps the form it was received
// in where the value still fits it (so a field that decoded whole encodes to
// its own bytes); a constructed object's length is that of its children as
// they now stand. Returns -1 after SetError(ERR_FORMAT, 0) and a line of text
// when the table carries a finding (its raw rest is not in the table) or the
// objects do not fit in `room`.
int32_t EncodeTlv(const TlvTable& table, unsigned char* out, int32_t room);

// Whether a tag is constructed: its first byte has bit 0x20 set.
inline bool TlvTagIsConstructed(uint32_t tag, int tagBytes) {
    return tagBytes > 0 && ((tag >> (8 * (tagBytes - 1))) & 0x20u) != 0;
}

// Whether the object is constructed (its children follow it in the table).
inline bool TlvIsConstructed(const TlvObject& object) {
    return TlvTagIsConstructed(object.tag, object.tagBytes);
}
