#include "conform/message_text.h"

#include <string_view>

#include "conform/value_form.h"
#include "diag/card_mask.h"

namespace conform {

namespace {

void PutValue(std::string_view value, TextBuffer& out) {
    static constexpr char kHex[] = "0123456789abcdef";
    size_t i = 0;
    while (i < value.size()) {
        size_t plain = i;
        while (plain < value.size()) {
            const auto byte = static_cast<unsigned char>(value[plain]);
            if (byte < 0x20 || byte >= 0x7F || byte == '\\') {
                break;
            }
            ++plain;
        }
        if (plain > i) {
            out.Put(value.substr(i, plain - i));
            i = plain;
            continue;
        }
        const auto byte = static_cast<unsigned char>(value[i++]);
        const char hex[4] = {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
        out.Put(std::string_view(hex, 4));
    }
}

}  // namespace

void PutMessageText(const LinkRecord* link, const FieldSpec* specs, const MessageFields& message,
                    TextBuffer& out) {
    const bool mask = MaskPanOn();
    static char room[VALUE_FORM_ROOM];
    static unsigned char masked[MESSAGE_BUFFER_SIZE];
    for (int n = 0; n <= MAX_FIELD_NO; ++n) {
        const FieldSlot& slot = message.slots[n];
        if (n == 1 || slot.length <= 0 || slot.data == nullptr) {
            continue;
        }
        std::string_view value(reinterpret_cast<const char*>(slot.data),
                               static_cast<size_t>(slot.length));
        if (link != nullptr && n >= 2) {
            value = RequestValueForm(*link, n, slot, room);
        }
        if (mask && IsCardDataField(n) && value.size() <= sizeof masked) {
            const int length = static_cast<int>(value.size());
            MaskCardField(n, reinterpret_cast<const unsigned char*>(value.data()), length, masked);
            value = std::string_view(reinterpret_cast<const char*>(masked), value.size());
        }
        out.PutNumber(n);
        out.Put(" ");
        if (n == 0) {
            out.Put("Message Id");
        } else if (specs != nullptr) {
            const char* name = specs[n - 1].FIELD_NAME;
            size_t length = 0;
            while (length < sizeof specs[n - 1].FIELD_NAME && name[length] != '\0') {
                ++length;
            }
            out.Put(std::string_view(name, length));
        }
        out.Put(": ");
        PutValue(value, out);
        out.Put("\n");
    }
}

}  // namespace conform
