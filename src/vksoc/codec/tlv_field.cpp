#include "vksoc/codec/tlv_field.h"

#include <cstring>

#include "vksoc/codec/hex_value.h"

bool FieldIsTlv(const LinkRecord* link, int n) {
    return link != nullptr && n >= 1 && n <= MAX_FIELD_NO &&
           FieldFormatOf(LinkFieldOf(*link, n)) == FieldFormat::Tlv;
}

bool FieldShowsTlvAsHex(const LinkRecord* link, int n) {
    return FieldIsTlv(link, n) && FieldEncoding(LinkFieldOf(*link, n)) != ValueEncoding::Binary;
}

int32_t TlvFieldBytes(const LinkRecord* link, int n, const FieldSlot& slot, unsigned char* out,
                      int32_t room) {
    const int32_t length = slot.data != nullptr && slot.length > 0 ? slot.length : 0;
    if (FieldShowsTlvAsHex(link, n)) {
        if (length > room) {
            return -1;
        }
        if (length > 0) {
            std::memcpy(out, slot.data, static_cast<size_t>(length));
        }
        return length;
    }
    if (length / 2 > room) {
        return -1;
    }
    return HexToBytes(reinterpret_cast<const char*>(slot.data), length, out);
}
