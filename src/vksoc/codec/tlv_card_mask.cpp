#include "vksoc/codec/tlv_card_mask.h"

#include <cstring>

#include "diag/card_mask.h"
#include "diag/message_fields.h"
#include "vksoc/codec/emv_tags.h"
#include "vksoc/codec/hex_value.h"

void MaskTlvValueText(uint32_t tag, const char* hex, int32_t length, char* out) {
    if (length <= 0) {
        return;
    }
    const auto* text = reinterpret_cast<const unsigned char*>(hex);
    auto* masked = reinterpret_cast<unsigned char*>(out);
    switch (IsEmvCardDataTag(tag) ? tag : 0) {
        case 0:
            std::memcpy(out, hex, static_cast<size_t>(length));
            return;
        case 0x5A:
            MaskCardField(2, text, length, masked);
            return;
        case 0x57:
        case 0x9F6B:
            MaskCardField(35, text, length, masked);
            return;
        default:
            std::memset(out, '*', static_cast<size_t>(length));
            return;
    }
}

void MaskTlvCardBytes(const TlvTable& table, const unsigned char* field, unsigned char* shown) {
    // A value is never longer than a message.
    constexpr int32_t MAX_VALUE = MESSAGE_BUFFER_SIZE;
    char hex[2 * MAX_VALUE];
    char masked[2 * MAX_VALUE];
    for (int i = 0; i < table.count; ++i) {
        const TlvObject& object = table.objects[i];
        if (object.tagBytes == 0 || !IsEmvCardDataTag(object.tag) || object.length <= 0 ||
            object.offset < 0) {
            continue;
        }
        const auto from = static_cast<int32_t>(object.value - field);
        const int32_t length = object.length < MAX_VALUE ? object.length : MAX_VALUE;
        BytesToHex(field + from, length, hex);
        MaskTlvValueText(object.tag, hex, 2 * length, masked);
        for (int32_t b = 0; b < length; ++b) {
            if (hex[2 * b] != masked[2 * b] || hex[2 * b + 1] != masked[2 * b + 1]) {
                shown[from + b] = field[from + b] == '*' ? '.' : '*';
            }
        }
    }
}

void MaskTlvFieldHex(const TlvTable& table, const unsigned char* field, int32_t length, char* hex) {
    constexpr int32_t MAX_VALUE = MESSAGE_BUFFER_SIZE;
    char masked[2 * MAX_VALUE];
    for (int i = 0; i < table.count; ++i) {
        const TlvObject& object = table.objects[i];
        if (object.tagBytes == 0 || !IsEmvCardDataTag(object.tag) || object.length <= 0 ||
            object.offset < 0) {
            continue;
        }
        const auto from = 2 * static_cast<int32_t>(object.value - field);
        const int32_t characters = 2 * (object.length < MAX_VALUE ? object.length : MAX_VALUE);
        MaskTlvValueText(object.tag, hex + from, characters, masked);
        std::memcpy(hex + from, masked, static_cast<size_t>(characters));
    }
    if (table.finding.fault != TlvFault::None && table.finding.rawFrom < length) {
        std::memset(hex + 2 * table.finding.rawFrom, '*',
                    static_cast<size_t>(2 * (length - table.finding.rawFrom)));
    }
}
