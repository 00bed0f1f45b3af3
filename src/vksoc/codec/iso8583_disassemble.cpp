#include <bit>
#include <cstring>

#include "diag/error_state.h"
#include "vksoc/codec/bitmap.h"
#include "vksoc/codec/element_layout.h"
#include "vksoc/codec/iso8583.h"
#include "vksoc/codec/iso8583_layout.h"
#include "vksoc/codec/length_prefix.h"

Taken Take8583(const unsigned char* bytes, int count, const FieldSpec* specs,
               MessageFields* fields) {
    if (count < PRIMARY_END) {
        return {TakeOutcome::NeedMore, count};
    }
    const unsigned char* bitmap = bytes + MTI_LENGTH;
    const bool secondary = BitIsSet(bitmap, 1);
    int position = PRIMARY_END;
    if (secondary) {
        if (count < SECONDARY_END) {
            return {TakeOutcome::NeedMore, count};
        }
        position = SECONDARY_END;
    }
    const int bitmapBytes = secondary ? 2 * BITMAP_BYTES : BITMAP_BYTES;
    std::memset(fields, 0, sizeof(*fields));

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
            int32_t length;
            switch (layout.kind) {
                case ElementKind::Undefined:
                    SetError(ERR_FORMAT, 0);
                    ADD_ERROR_TEXT("Disassemble8583: Unknown field %d\n", n);
                    return {TakeOutcome::Malformed, -1};
                case ElementKind::Variable:
                    if (count - position < layout.lengthBytes) {
                        return {TakeOutcome::NeedMore, count};
                    }
                    length = ParseLengthPrefix(bytes + position, layout.lengthBytes);
                    if (length < 0) {
                        SetError(ERR_FORMAT, 0);
                        ADD_ERROR_TEXT("Disassemble8583: Invalid length %d of field %d\n", length,
                                       n);
                        return {TakeOutcome::Malformed, -1};
                    }
                    position += layout.lengthBytes;
                    break;
                case ElementKind::Fixed:
                default:
                    length = layout.maxLen;
                    break;
            }
            if (count - position < length) {
                return {TakeOutcome::NeedMore, count};
            }
            // A prefix of 0 leaves the slot absent although the bit is set.
            if (length > 0) {
                fields->slots[n] = {bytes + position, length};
            }
            position += length;
        }
    }

    fields->slots[0] = {bytes, MTI_LENGTH};
    if (secondary) {
        fields->slots[1] = {bytes + PRIMARY_END, BITMAP_BYTES};
    }
    return {TakeOutcome::Whole, position};
}

int Disassemble8583(const unsigned char* bytes, int count, const FieldSpec* specs,
                    MessageFields* fields, int* complete) {
    const Taken taken = Take8583(bytes, count, specs, fields);
    *complete = taken.outcome == TakeOutcome::Whole ? 1 : 0;
    return taken.bytes;
}
