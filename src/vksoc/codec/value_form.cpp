#include "vksoc/codec/value_form.h"

#include <cstdint>
#include <cstdio>

#include "vksoc/codec/code_page.h"
#include "vksoc/codec/element_layout.h"
#include "vksoc/codec/length_encoding.h"
#include "vksoc/codec/value_decode.h"

namespace {

// 2 x n, held at the 32-bit limit (a MAX_LEN from another process may be
// anything).
int32_t Twice(int32_t n) {
    return n > INT32_MAX / 2 ? INT32_MAX : 2 * n;
}

bool HasField(const LinkRecord* link, int fieldNo) {
    return link != nullptr && fieldNo >= 1 && fieldNo <= MAX_FIELD_NO;
}

ValueBounds BoundsOf(const LinkRecord* link, int fieldNo, const FieldSpec& spec) {
    const ElementLayout layout = LayoutOfElement(spec);
    return {layout.kind != ElementKind::Variable, layout.maxLen,
            LengthPrefixCapacityOf(link, fieldNo, spec), true, true};
}

const char* UnitsOf(ValueEncoding encoding) {
    switch (encoding) {
        case ValueEncoding::Bcd:
        case ValueEncoding::BcdRight:
        case ValueEncoding::BcdF:
            return "digits";
        case ValueEncoding::Binary:
            return "bytes";
        case ValueEncoding::Ascii:
        case ValueEncoding::Ebcdic:
        default:
            return "characters";
    }
}

const char* LengthEncodingWord(LengthEncoding encoding) {
    switch (encoding) {
        case LengthEncoding::Ebcdic:
            return "EBCDIC";
        case LengthEncoding::Bcd:
            return "BCD";
        case LengthEncoding::Binary:
            return "BINARY";
        case LengthEncoding::Ascii:
        default:
            return "ASCII";
    }
}

// A character for a message: itself when printable, else \xHH.
const char* Shown(uint32_t c, char* text, size_t room) {
    if (c >= 0x20 && c < 0x7F && c != '\'') {
        std::snprintf(text, room, "'%c'", static_cast<char>(c));
    } else {
        std::snprintf(text, room, "\\x%02X", c & 0xFFu);
    }
    return text;
}

}  // namespace

ValueEncoding ValueEncodingOf(const LinkRecord* link, int fieldNo) {
    return HasField(link, fieldNo) ? FieldEncoding(LinkFieldOf(*link, fieldNo))
                                   : ValueEncoding::Ascii;
}

LengthEncoding LengthEncodingOf(const LinkRecord* link, int fieldNo) {
    return HasField(link, fieldNo) ? FieldLengthEncoding(LinkFieldOf(*link, fieldNo))
                                   : LengthEncoding::Ascii;
}

CodePage CodePageOf(const LinkRecord* link) {
    return link != nullptr ? static_cast<CodePage>(link->CODE_PAGE) : CodePage::Cp1047;
}

bool ValueFormIsWireForm(const LinkRecord* link, int fieldNo) {
    return ValueEncodingOf(link, fieldNo) == ValueEncoding::Ascii;
}

int32_t ValueFormLimit(const LinkRecord* link, int fieldNo, const FieldSpec& spec) {
    const int32_t maxLen = spec.MAX_LEN > 0 ? spec.MAX_LEN : 0;
    return ValueEncodingOf(link, fieldNo) == ValueEncoding::Binary ? Twice(maxLen) : maxLen;
}

int32_t ValueFormRoom(const LinkRecord* link, int fieldNo, const FieldSpec& spec) {
    const int32_t maxLen = spec.MAX_LEN > 0 ? spec.MAX_LEN : 0;
    switch (ValueEncodingOf(link, fieldNo)) {
        case ValueEncoding::Ebcdic:
        case ValueEncoding::Binary:
            return Twice(maxLen);
        default:
            return maxLen;
    }
}

int32_t LengthPrefixCapacityOf(const LinkRecord* link, int fieldNo, const FieldSpec& spec) {
    const ElementLayout layout = LayoutOfElement(spec);
    if (layout.kind != ElementKind::Variable) {
        return 0;
    }
    return LengthPrefixCapacity(LengthEncodingOf(link, fieldNo), layout.lengthBytes);
}

ValueFormResult WireToValueForm(const LinkRecord* link, int fieldNo, const unsigned char* wire,
                                int32_t units, unsigned char* out, int32_t room) {
    return DecodeValue(ValueEncodingOf(link, fieldNo), CodePageOf(link), wire, units, out, room);
}

ValueFormResult ValueFormToWire(const LinkRecord* link, int fieldNo, const FieldSpec& spec,
                                const unsigned char* value, int32_t length, unsigned char* out,
                                int32_t room) {
    return EncodeValue(ValueEncodingOf(link, fieldNo), CodePageOf(link),
                       BoundsOf(link, fieldNo, spec), value, length, out, room);
}

ValueFormResult CheckValueForm(const LinkRecord* link, int fieldNo, const FieldSpec& spec,
                               const unsigned char* value, int32_t length) {
    return EncodeValue(ValueEncodingOf(link, fieldNo), CodePageOf(link),
                       BoundsOf(link, fieldNo, spec), value, length, nullptr, INT32_MAX);
}

const char* DescribeValueFormRefusal(const ValueFormResult& result, const LinkRecord* link,
                                     int fieldNo, const FieldSpec& spec, char* text, int room) {
    if (room <= 0) {
        return text;
    }
    const auto size = static_cast<size_t>(room);
    const uint32_t d = result.detail;
    const ValueEncoding encoding = ValueEncodingOf(link, fieldNo);
    char c[8];
    switch (result.refusal) {
        case ValueFormRefusal::None:
            text[0] = '\0';
            break;
        case ValueFormRefusal::NotDigit:
            std::snprintf(text, size, "non-digit %s in a BCD value", Shown(d, c, sizeof c));
            break;
        case ValueFormRefusal::NotBcdNibble:
            std::snprintf(text, size, "non-BCD nibble %X received", d);
            break;
        case ValueFormRefusal::PadNibble:
            std::snprintf(text, size, "pad nibble %X received where %X belongs", d,
                          encoding == ValueEncoding::BcdF ? 0xFu : 0u);
            break;
        case ValueFormRefusal::OddHexCount:
            std::snprintf(text, size, "odd number of hexadecimal digits (%u) in a BINARY value", d);
            break;
        case ValueFormRefusal::NotHex:
            std::snprintf(text, size, "non-hexadecimal character %s in a BINARY value",
                          Shown(d, c, sizeof c));
            break;
        case ValueFormRefusal::NotInCodePage:
            std::snprintf(text, size, "character U+%04X has no place in code page %s", d,
                          CodePageNumber(CodePageOf(link)));
            break;
        case ValueFormRefusal::AboveMaxLen:
            std::snprintf(text, size, "length %u above MAX_LEN %d %s", d, spec.MAX_LEN,
                          UnitsOf(encoding));
            break;
        case ValueFormRefusal::AbovePrefix:
            std::snprintf(text, size, "length %u above what a %s length prefix carries (%d)", d,
                          LengthEncodingWord(LengthEncodingOf(link, fieldNo)),
                          LengthPrefixCapacityOf(link, fieldNo, spec));
            break;
        case ValueFormRefusal::FixedIncomplete:
            std::snprintf(text, size, "%u of the %d bytes of a fixed BINARY value", d,
                          spec.MAX_LEN);
            break;
        case ValueFormRefusal::NoRoom:
        default:
            std::snprintf(text, size, "no room for %u bytes", d);
            break;
    }
    return text;
}
