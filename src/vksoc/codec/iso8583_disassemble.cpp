#include <bit>
#include <cstring>

#include "diag/error_state.h"
#include "vksoc/codec/bitmap.h"
#include "vksoc/codec/element_layout.h"
#include "vksoc/codec/iso8583.h"
#include "vksoc/codec/iso8583_layout.h"
#include "vksoc/codec/length_encoding.h"
#include "vksoc/codec/length_prefix.h"
#include "vksoc/codec/link_head.h"
#include "vksoc/codec/value_decode.h"

namespace {

Taken Malformed() {
    SetError(ERR_FORMAT, 0);
    return {TakeOutcome::Malformed, -1};
}

Taken Refused(const ValueFormResult& result, const LinkRecord* link, int n,
              const FieldSpec* specs) {
    char reason[128];
    const FieldSpec& spec = n >= 1 ? specs[n - 1] : specs[0];
    DescribeValueFormRefusal(result, link, n, spec, reason, sizeof reason);
    const Taken taken = Malformed();
    if (n == 0) {
        ADD_ERROR_TEXT("Disassemble8583: Message Id: %s\n", reason);
    } else {
        ADD_ERROR_TEXT("Disassemble8583: Field %d: %s\n", n, reason);
    }
    return taken;
}

// One body for both links: without a link record (Linked false) every test
// of an encoding folds away and what remains is the plain link's
// zero-copy disassembler.
template <bool Linked>
Taken TakeMessage(const unsigned char* bytes, int count, const FieldSpec* specs,
                  const LinkRecord* link, DecodeArea area, MessageFields* fields) {
    const LinkHead head = Linked ? LinkHeadOf(*link) : PLAIN_HEAD;
    const int primaryEnd = head.mtiBytes + head.bitmapBytes;
    if (count < primaryEnd) {
        return {TakeOutcome::NeedMore, count};
    }
    // The bitmaps as bytes: on the wire, or read from their hexadecimal.
    unsigned char read[2 * BITMAP_BYTES];
    const unsigned char* bitmap = bytes + head.mtiBytes;
    if (Linked && head.hexBitmap) {
        if (!ReadHexBitmap(bitmap, head.ebcdicBitmap, read)) {
            const Taken taken = Malformed();
            ADD_ERROR_TEXT("Disassemble8583: Invalid primary bitmap\n");
            return taken;
        }
        bitmap = read;
    }
    const bool secondary = BitIsSet(bitmap, 1);
    int position = primaryEnd;
    if (secondary) {
        if (count < primaryEnd + head.bitmapBytes) {
            return {TakeOutcome::NeedMore, count};
        }
        if (Linked && head.hexBitmap &&
            !ReadHexBitmap(bytes + primaryEnd, head.ebcdicBitmap, read + BITMAP_BYTES)) {
            const Taken taken = Malformed();
            ADD_ERROR_TEXT("Disassemble8583: Invalid secondary bitmap\n");
            return taken;
        }
        position += head.bitmapBytes;
    }
    const int bitmapBytes = secondary ? 2 * BITMAP_BYTES : BITMAP_BYTES;
    std::memset(fields, 0, sizeof(*fields));
    int32_t used = 0;  // of the decode area

    // Elements in ascending order; whole zero bytes of the bitmap are passed
    // over at once. `position` never passes `count`: every step is checked
    // against the bytes remaining before it is taken.
    for (int byteIndex = 0; byteIndex < bitmapBytes; ++byteIndex) {
        unsigned bits = bitmap[byteIndex];
        if (byteIndex == 0) {
            bits &= 0x7Fu;  // bit 1 names the secondary bitmap, not an element
        }
        while (bits != 0) {
            const int offset = std::countl_zero(static_cast<unsigned char>(bits));
            bits &= ~(0x80u >> offset);
            const int n = byteIndex * 8 + offset + 1;
            const ElementLayout layout = LayoutOfElement(specs[n - 1]);
            ValueEncoding encoding = ValueEncoding::Ascii;
            LengthEncoding lengthEncoding = LengthEncoding::Ascii;
            if constexpr (Linked) {
                encoding = FieldEncoding(LinkFieldOf(*link, n));
                lengthEncoding = FieldLengthEncoding(LinkFieldOf(*link, n));
            }
            int32_t length;
            switch (layout.kind) {
                case ElementKind::Undefined:
                    SetError(ERR_FORMAT, 0);
                    ADD_ERROR_TEXT("Disassemble8583: Unknown field %d\n", n);
                    return {TakeOutcome::Malformed, -1};
                case ElementKind::Variable: {
                    const int32_t prefixBytes =
                        Linked ? LengthPrefixWireBytes(lengthEncoding, layout.lengthBytes)
                               : layout.lengthBytes;
                    if (count - position < prefixBytes) {
                        return {TakeOutcome::NeedMore, count};
                    }
                    if (!Linked || lengthEncoding == LengthEncoding::Ascii) {
                        length = ParseLengthPrefix(bytes + position, layout.lengthBytes);
                    } else if (!ReadLengthPrefixAs(lengthEncoding, bytes + position,
                                                   layout.lengthBytes, &length)) {
                        const Taken taken = Malformed();
                        ADD_ERROR_TEXT("Disassemble8583: Invalid length prefix of field %d\n", n);
                        return taken;
                    }
                    if (length < 0) {
                        SetError(ERR_FORMAT, 0);
                        ADD_ERROR_TEXT("Disassemble8583: Invalid length %d of field %d\n", length,
                                       n);
                        return {TakeOutcome::Malformed, -1};
                    }
                    position += prefixBytes;
                    break;
                }
                case ElementKind::Fixed:
                default:
                    length = layout.maxLen;
                    break;
            }
            const int32_t wireLength = Linked ? WireBytesOfUnits(encoding, length) : length;
            if (count - position < wireLength) {
                return {TakeOutcome::NeedMore, count};
            }
            // A prefix of 0 leaves the slot absent although the bit is set.
            if (length > 0) {
                if (!Linked || encoding == ValueEncoding::Ascii) {
                    fields->slots[n] = {bytes + position, length};
                } else {
                    const ValueFormResult value =
                        DecodeValue(encoding, head.page, bytes + position, length,
                                    area.bytes + used, area.room - used);
                    if (value.refusal != ValueFormRefusal::None) {
                        return Refused(value, link, n, specs);
                    }
                    fields->slots[n] = {area.bytes + used, value.length};
                    used += value.length;
                }
            }
            position += wireLength;
        }
    }

    if (Linked && head.mti != MtiEncoding::Ascii) {
        const ValueEncoding encoding =
            head.mti == MtiEncoding::Bcd ? ValueEncoding::Bcd : ValueEncoding::Ebcdic;
        const ValueFormResult mti = DecodeValue(encoding, head.page, bytes, MTI_LENGTH,
                                                area.bytes + used, area.room - used);
        if (mti.refusal != ValueFormRefusal::None) {
            return Refused(mti, link, 0, specs);
        }
        fields->slots[0] = {area.bytes + used, mti.length};
        used += mti.length;
    } else {
        fields->slots[0] = {bytes, MTI_LENGTH};
    }
    if (secondary) {
        if (Linked && head.hexBitmap) {
            if (area.room - used < BITMAP_BYTES) {
                return Refused({ValueFormRefusal::NoRoom, 0, 0, -1, BITMAP_BYTES}, link, 1, specs);
            }
            std::memcpy(area.bytes + used, read + BITMAP_BYTES, BITMAP_BYTES);
            fields->slots[1] = {area.bytes + used, BITMAP_BYTES};
        } else {
            fields->slots[1] = {bytes + primaryEnd, BITMAP_BYTES};
        }
    }
    return {TakeOutcome::Whole, position};
}

}  // namespace

Taken Take8583(const unsigned char* bytes, int count, const FieldSpec* specs,
               MessageFields* fields) {
    return TakeMessage<false>(bytes, count, specs, nullptr, {nullptr, 0}, fields);
}

Taken Take8583(const unsigned char* bytes, int count, const FieldSpec* specs,
               const LinkRecord* link, DecodeArea area, MessageFields* fields) {
    if (link == nullptr) {
        return TakeMessage<false>(bytes, count, specs, nullptr, area, fields);
    }
    return TakeMessage<true>(bytes, count, specs, link, area, fields);
}

int Disassemble8583(const unsigned char* bytes, int count, const FieldSpec* specs,
                    MessageFields* fields, int* complete) {
    const Taken taken = Take8583(bytes, count, specs, fields);
    *complete = taken.outcome == TakeOutcome::Whole ? 1 : 0;
    return taken.bytes;
}
