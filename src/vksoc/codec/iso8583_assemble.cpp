#include <cstring>

#include "diag/error_state.h"
#include "vksoc/codec/bitmap.h"
#include "vksoc/codec/element_layout.h"
#include "vksoc/codec/iso8583.h"
#include "vksoc/codec/iso8583_layout.h"
#include "vksoc/codec/length_encoding.h"
#include "vksoc/codec/length_prefix.h"
#include "vksoc/codec/link_head.h"
#include "vksoc/codec/value_coding.h"

namespace {

void Refuse() {
    SetError(ERR_FORMAT, 0);
}

int TooLong(int room) {
    Refuse();
    ADD_ERROR_TEXT("Assemble8583: Message longer than %d\n", room);
    return -1;
}

int Refused(const ValueFormResult& result, const LinkRecord* link, int n, const FieldSpec* specs) {
    char reason[128];
    DescribeValueFormRefusal(result, link, n, specs[n >= 1 ? n - 1 : 0], reason, sizeof reason);
    Refuse();
    if (n == 0) {
        ADD_ERROR_TEXT("Assemble8583: Message Id %s\n", reason);
    } else {
        ADD_ERROR_TEXT("Assemble8583: Field: %d %s\n", n, reason);
    }
    return -1;
}

// The highest present element, or 1 when none is.
int HighestElement(const MessageFields& fields) {
    int n = ALL_BITS;
    while (n > 1 && fields.slots[n].length <= 0) {
        --n;
    }
    return n;
}

// A plain element (ASCII value, ASCII prefix) at out[position], as the
// plain link has always sent it; returns the new position or -1.
int PutPlainElement(unsigned char* out, int room, int position, int n, const ElementLayout& layout,
                    const FieldSlot& slot) {
    // Sizes in 64 bits: no MAX_LEN or slot length can overflow the sum.
    const int64_t left = int64_t{room} - position;
    if (layout.kind == ElementKind::Variable) {
        if (!LengthFitsDigits(slot.length, layout.lengthBytes)) {
            Refuse();
            ADD_ERROR_TEXT("Assemble8583: Field: %d length %d does not fit %d digits\n", n,
                           slot.length, layout.lengthBytes);
            return -1;
        }
        if (left < int64_t{layout.lengthBytes} + slot.length) {
            return TooLong(room);
        }
        FormatLengthPrefix(out + position, layout.lengthBytes, slot.length);
        position += layout.lengthBytes;
        std::memcpy(out + position, slot.data, static_cast<size_t>(slot.length));
        return position + slot.length;
    }
    if (left < layout.maxLen) {
        return TooLong(room);
    }
    // The value is cut at MAX_LEN and at a NUL byte, then blank-padded.
    size_t kept = static_cast<size_t>(slot.length < layout.maxLen ? slot.length : layout.maxLen);
    if (const void* nul = std::memchr(slot.data, 0, kept)) {
        kept = static_cast<size_t>(static_cast<const unsigned char*>(nul) - slot.data);
    }
    std::memcpy(out + position, slot.data, kept);
    std::memset(out + position + kept, ' ', static_cast<size_t>(layout.maxLen) - kept);
    return position + layout.maxLen;
}

// A converted element: its value form written in the field's encodings.
int PutConvertedElement(unsigned char* out, int room, int position, int n,
                        const ElementLayout& layout, const FieldSlot& slot, const LinkRecord* link,
                        const FieldSpec* specs, CodePage page) {
    const LinkField& field = LinkFieldOf(*link, n);
    const LengthEncoding lengthEncoding = FieldLengthEncoding(field);
    const bool variable = layout.kind == ElementKind::Variable;
    const int32_t prefixBytes =
        variable ? LengthPrefixWireBytes(lengthEncoding, layout.lengthBytes) : 0;
    const int32_t left = room - position;
    if (left < prefixBytes) {
        return TooLong(room);
    }
    const ValueBounds bounds{
        !variable, layout.maxLen,
        variable ? LengthPrefixCapacity(lengthEncoding, layout.lengthBytes) : 0, false, true};
    const ValueFormResult wire =
        EncodeValue(FieldEncoding(field), page, bounds, slot.data, slot.length,
                    out + position + prefixBytes, left - prefixBytes);
    if (wire.refusal == ValueFormRefusal::NoRoom) {
        return TooLong(room);
    }
    if (wire.refusal != ValueFormRefusal::None) {
        return Refused(wire, link, n, specs);
    }
    if (variable) {
        if (lengthEncoding == LengthEncoding::Ascii) {
            FormatLengthPrefix(out + position, layout.lengthBytes, wire.units);
        } else {
            WriteLengthPrefixAs(lengthEncoding, out + position, layout.lengthBytes, wire.units);
        }
    }
    return position + prefixBytes + wire.length;
}

// One body for both links, as the disassembler's.
template <bool Linked>
int AssembleMessage(unsigned char* out, int room, const FieldSpec* specs, const LinkRecord* link,
                    const MessageFields* fields) {
    const FieldSlot& mti = fields->slots[0];
    if (mti.length < MTI_LENGTH) {
        // Copying 4 bytes from a shorter identifier would read past it.
        Refuse();
        ADD_ERROR_TEXT("Assemble8583: Message Id shorter than 4 bytes\n");
        return -1;
    }
    const LinkHead head = Linked ? LinkHeadOf(*link) : PLAIN_HEAD;
    const int highest = HighestElement(*fields);
    const bool secondary = highest > PRIMARY_BITS;
    int position = head.mtiBytes + (secondary ? 2 : 1) * head.bitmapBytes;
    if (room < position) {
        return TooLong(room);
    }
    if (!Linked || head.mti == MtiEncoding::Ascii) {
        std::memcpy(out, mti.data, MTI_LENGTH);
    } else {
        // The identifier's first 4 characters, as on the plain link.
        const bool bcd = head.mti == MtiEncoding::Bcd;
        const int32_t taken = bcd ? MTI_LENGTH : TextPrefixBytes(mti.data, mti.length, MTI_LENGTH);
        const ValueFormResult wire =
            EncodeValue(bcd ? ValueEncoding::Bcd : ValueEncoding::Ebcdic, head.page,
                        {true, MTI_LENGTH, 0, false, false}, mti.data, taken, out, head.mtiBytes);
        if (wire.refusal != ValueFormRefusal::None) {
            return Refused(wire, link, 0, specs);
        }
    }
    // A hexadecimal bitmap is gathered as bytes and written once complete.
    unsigned char gathered[2 * BITMAP_BYTES] = {};
    unsigned char* bitmap = Linked && head.hexBitmap ? gathered : out + head.mtiBytes;
    if (!(Linked && head.hexBitmap)) {
        std::memset(bitmap, 0, static_cast<size_t>(position - head.mtiBytes));
    }
    if (secondary) {
        SetBit(bitmap, 1);
    }

    // `position` <= `room` holds after every step: each element's size is
    // compared with the room left before anything of it is written.
    for (int n = 2; n <= highest; ++n) {
        const FieldSlot& slot = fields->slots[n];
        if (slot.length <= 0) {
            continue;
        }
        const ElementLayout layout = LayoutOfElement(specs[n - 1]);
        if (layout.kind == ElementKind::Undefined) {
            Refuse();
            ADD_ERROR_TEXT("Assemble8583: Field: %d unknown", n);
            return -1;
        }
        SetBit(bitmap, n);
        bool plain = true;
        if constexpr (Linked) {
            const LinkField& field = LinkFieldOf(*link, n);
            plain = FieldEncoding(field) == ValueEncoding::Ascii &&
                    FieldLengthEncoding(field) == LengthEncoding::Ascii;
        }
        position = plain ? PutPlainElement(out, room, position, n, layout, slot)
                         : PutConvertedElement(out, room, position, n, layout, slot, link, specs,
                                               head.page);
        if (position < 0) {
            return -1;
        }
    }
    if (Linked && head.hexBitmap) {
        WriteHexBitmap(gathered, head.ebcdicBitmap, out + head.mtiBytes);
        if (secondary) {
            WriteHexBitmap(gathered + BITMAP_BYTES, head.ebcdicBitmap,
                           out + head.mtiBytes + head.bitmapBytes);
        }
    }
    return position;
}

}  // namespace

int Assemble8583(unsigned char* out, int room, const FieldSpec* specs,
                 const MessageFields* fields) {
    return AssembleMessage<false>(out, room, specs, nullptr, fields);
}

int Assemble8583(unsigned char* out, int room, const FieldSpec* specs, const LinkRecord* link,
                 const MessageFields* fields) {
    if (link == nullptr) {
        return AssembleMessage<false>(out, room, specs, nullptr, fields);
    }
    return AssembleMessage<true>(out, room, specs, link, fields);
}
