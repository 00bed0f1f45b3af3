#pragma once

#include <cstddef>
#include <cstdint>

#include "vkstp/config_image.h"

// The image's extension table: one link record per controller whose
// configuration says how its link differs from the plain one (framing,
// TPDU, trailer, keep-alives, encodings, field types and formats, message
// rules). The header's words at offsets 16 and 20 give the table's offset
// and its number of records; 0 and 0 mean no controller has one, which is
// what every image made without these tags holds. A controller without a
// record speaks the plain link.
//
// Every tag is one byte holding the enum's value; 0 is always the default
// (or "absent"), so a record that is all zero but for CONTROLLER_ID means the
// plain link. The image may come from another process: LinkRecordValid says
// whether every byte holds a value this build knows, and attach refuses an
// image with a record that does not.

enum class FramingTag : uint8_t {
    Absent,  // the HEADER_LENGTH rule
    None,    // no length header
    Ascii1,
    Ascii2,
    Ascii3,
    Ascii4,
    Bin2,    // 2-byte unsigned big-endian
    Bin2Le,  // 2-byte unsigned little-endian
    Bin4,    // 4-byte unsigned big-endian
    Bcd2,    // 2 bytes of packed BCD, 0 to 9999
    Hex4,    // 4 hexadecimal ASCII characters
    Vmlh,    // 2-byte big-endian length, then 2 reserved bytes (sent as 00 00)
};
inline constexpr uint8_t FRAMING_TAG_LAST = static_cast<uint8_t>(FramingTag::Vmlh);

enum class KeepAliveTag : uint8_t { Ignore, Echo };
enum class MtiEncoding : uint8_t { Ascii, Bcd, Ebcdic };
enum class BitmapEncoding : uint8_t { Binary, Hex, EbcdicHex };
enum class CodePage : uint8_t { Cp1047, Cp037, Cp500 };

// A value's bytes on the wire.
enum class ValueEncoding : uint8_t {
    Ascii,
    Ebcdic,
    Bcd,       // packed digits, an odd count padded with a leading 0 nibble
    BcdRight,  // ... with a trailing 0 nibble
    BcdF,      // ... with a trailing F nibble
    Binary,    // raw bytes
};
// A variable value's length prefix on the wire.
enum class LengthEncoding : uint8_t { Ascii, Ebcdic, Bcd, Binary };
// The ISO 8583 data type a received value is checked against; Absent: none.
enum class FieldType : uint8_t { Absent, N, A, An, Ans, Ns, As, B, Z, Xn };
enum class FieldFormat : uint8_t { Plain, Tlv };

inline constexpr int TPDU_LENGTH = 5;
inline constexpr int MAX_TRAILER_LENGTH = 8;
inline constexpr int MAX_MESSAGE_RULES = 16;

struct LinkField {
    uint8_t ENCODING;         // ValueEncoding
    uint8_t LENGTH_ENCODING;  // LengthEncoding
    uint8_t FIELD_TYPE;       // FieldType
    uint8_t FIELD_FORMAT;     // FieldFormat
};

// Field n is bit n - 1 of a 16-byte set, most significant bit first (the
// order of an ISO 8583 bitmap).
struct FieldSet {
    uint8_t bits[16];
};

inline bool FieldSetHas(const FieldSet& set, int fieldNo) {
    if (fieldNo < 1 || fieldNo > MAX_FIELD_NO) {
        return false;
    }
    const int bit = fieldNo - 1;
    return (set.bits[bit / 8] & (0x80u >> (bit % 8))) != 0;
}

inline void FieldSetAdd(FieldSet& set, int fieldNo) {
    if (fieldNo >= 1 && fieldNo <= MAX_FIELD_NO) {
        const int bit = fieldNo - 1;
        set.bits[bit / 8] = static_cast<uint8_t>(set.bits[bit / 8] | (0x80u >> (bit % 8)));
    }
}

struct MessageRule {
    char MTI[4];          // four characters, no NUL
    FieldSet mandatory;   // MANDATORY
    FieldSet optional;    // OPTIONAL (a Windows header macro names the tag itself)
    uint8_t hasOptional;  // 1 when OPTIONAL was given: a field in neither list breaks the rule
    uint8_t padding[3];
};

struct LinkRecord {
    char CONTROLLER_ID[4];
    uint8_t FRAMING;                // FramingTag
    uint8_t FRAMING_COUNTS_ITSELF;  // 1: the length counts the header's own bytes
    uint8_t KEEPALIVE;              // KeepAliveTag
    uint8_t MTI_ENCODING;           // MtiEncoding
    uint8_t BITMAP_ENCODING;        // BitmapEncoding
    uint8_t CODE_PAGE;              // CodePage
    uint8_t tpduLength;             // 0, or TPDU_LENGTH when TPDU is given
    uint8_t trailerLength;          // 0 to MAX_TRAILER_LENGTH
    uint8_t TPDU[TPDU_LENGTH];
    uint8_t TRAILER[MAX_TRAILER_LENGTH];
    uint8_t padding[3];
    LinkField fields[MAX_FIELD_NO];  // entry n - 1 describes field n
    int32_t ruleCount;               // 0 to MAX_MESSAGE_RULES
    MessageRule rules[MAX_MESSAGE_RULES];
};

static_assert(sizeof(LinkField) == 4);
static_assert(sizeof(FieldSet) == 16);
static_assert(sizeof(MessageRule) == 40);
static_assert(offsetof(MessageRule, optional) == 20);
static_assert(offsetof(MessageRule, hasOptional) == 36);
static_assert(offsetof(LinkRecord, FRAMING) == 4);
static_assert(offsetof(LinkRecord, tpduLength) == 10);
static_assert(offsetof(LinkRecord, TPDU) == 12);
static_assert(offsetof(LinkRecord, TRAILER) == 17);
static_assert(offsetof(LinkRecord, fields) == 28);
static_assert(offsetof(LinkRecord, ruleCount) == 540);
static_assert(offsetof(LinkRecord, rules) == 544);
static_assert(sizeof(LinkRecord) == 1184);

// Whether every tag byte of a record holds a value this build knows and its
// counts are in range.
bool LinkRecordValid(const LinkRecord& link);

// The typed tags of a record (valid records only).
inline FramingTag LinkFraming(const LinkRecord& link) {
    return static_cast<FramingTag>(link.FRAMING);
}
inline const LinkField& LinkFieldOf(const LinkRecord& link, int fieldNo) {
    return link.fields[fieldNo - 1];
}
inline ValueEncoding FieldEncoding(const LinkField& field) {
    return static_cast<ValueEncoding>(field.ENCODING);
}
inline LengthEncoding FieldLengthEncoding(const LinkField& field) {
    return static_cast<LengthEncoding>(field.LENGTH_ENCODING);
}
inline FieldType FieldTypeOf(const LinkField& field) {
    return static_cast<FieldType>(field.FIELD_TYPE);
}
inline FieldFormat FieldFormatOf(const LinkField& field) {
    return static_cast<FieldFormat>(field.FIELD_FORMAT);
}

// The configuration's words for each tag value ("BIN2", "BCD_RIGHT", "ans"),
// the inverse of what the reader accepts; null for a value out of range.
const char* FramingTagName(FramingTag tag);
const char* KeepAliveTagName(KeepAliveTag tag);
const char* MtiEncodingName(MtiEncoding encoding);
const char* BitmapEncodingName(BitmapEncoding encoding);
const char* CodePageName(CodePage page);
const char* ValueEncodingName(ValueEncoding encoding);
const char* LengthEncodingName(LengthEncoding encoding);
const char* FieldTypeName(FieldType type);        // "" for Absent
const char* FieldFormatName(FieldFormat format);  // "" for Plain
