#include <cstring>

#include "diag/error_state.h"
#include "vksoc/codec/bitmap.h"
#include "vksoc/codec/element_layout.h"
#include "vksoc/codec/iso8583.h"
#include "vksoc/codec/iso8583_layout.h"
#include "vksoc/codec/length_prefix.h"

namespace {

void Refuse() {
    SetError(ERR_FORMAT, 0);
}

int TooLong(int room) {
    Refuse();
    ADD_ERROR_TEXT("Assemble8583: Message longer than %d\n", room);
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

}  // namespace

int Assemble8583(unsigned char* out, int room, const FieldSpec* specs,
                 const MessageFields* fields) {
    const FieldSlot& mti = fields->slots[0];
    if (mti.length < MTI_LENGTH) {
        // Copying 4 bytes from a shorter identifier would read past it.
        Refuse();
        ADD_ERROR_TEXT("Assemble8583: Message Id shorter than 4 bytes\n");
        return -1;
    }
    const int highest = HighestElement(*fields);
    const bool secondary = highest > PRIMARY_BITS;
    int position = secondary ? SECONDARY_END : PRIMARY_END;
    if (room < position) {
        return TooLong(room);
    }
    std::memcpy(out, mti.data, MTI_LENGTH);
    unsigned char* bitmap = out + PRIMARY_BITMAP_OFFSET;
    std::memset(bitmap, 0, static_cast<size_t>(position - PRIMARY_BITMAP_OFFSET));
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
            position += slot.length;
        } else {
            if (left < layout.maxLen) {
                return TooLong(room);
            }
            // The value is cut at MAX_LEN and at a NUL byte, then blank-padded.
            size_t kept =
                static_cast<size_t>(slot.length < layout.maxLen ? slot.length : layout.maxLen);
            if (const void* nul = std::memchr(slot.data, 0, kept)) {
                kept = static_cast<size_t>(static_cast<const unsigned char*>(nul) - slot.data);
            }
            std::memcpy(out + position, slot.data, kept);
            std::memset(out + position + kept, ' ', static_cast<size_t>(layout.maxLen) - kept);
            position += layout.maxLen;
        }
    }
    return position;
}
