#include "ui/tlv_box_form.h"

#include <cstring>

#include "ui/field_rows.h"
#include "ui/responder_state.h"
#include "vksoc/codec/hex_value.h"
#include "vksoc/codec/tlv_field.h"
#include "vksoc/codec/tlv_listing.h"
#include "vkstp/config_view.h"

namespace ui {

namespace {

const LinkRecord* CurrentLink() {
    return responderState.fieldSpecs != nullptr ? FindLinkBounded(responderState.controllerId)
                                                : nullptr;
}

}  // namespace

int BoxLimit(int n, int maxLen) {
    return FieldShowsTlvAsHex(CurrentLink(), n) && maxLen > 0 ? 2 * maxLen : maxLen;
}

const MessageFields& InBoxForm(const MessageFields& message) {
    const LinkRecord* link = CurrentLink();
    if (link == nullptr) {
        return message;
    }
    static MessageFields shown;
    // Hexadecimal takes two characters a byte; the fields of one message
    // hold at most a message's bytes.
    static char area[2 * MESSAGE_BUFFER_SIZE];
    bool any = false;
    int used = 0;
    for (int n = 2; n <= MAX_FIELD_NO; ++n) {
        const FieldSlot& slot = message.slots[n];
        if (!FieldShowsTlvAsHex(link, n) || slot.data == nullptr || slot.length <= 0) {
            continue;
        }
        if (!any) {
            shown = message;
            any = true;
        }
        int length = slot.length;
        if (2 * length > static_cast<int>(sizeof area) - used) {
            length = (static_cast<int>(sizeof area) - used) / 2;
        }
        const int written = BytesToHex(slot.data, length, area + used);
        shown.slots[n] = {reinterpret_cast<const unsigned char*>(area + used), written};
        used += written;
    }
    return any ? shown : message;
}

void ShowChipDataTip(DialogHost& dialog, int editId, const char* text) {
    const int n = editId - EDIT_ID_BASE;
    if (!dialog.TakesTips() || !FieldIsTlv(CurrentLink(), n)) {
        return;
    }
    static unsigned char bytes[MESSAGE_BUFFER_SIZE];
    const size_t characters = std::strlen(text);
    const int32_t length = characters / 2 > sizeof bytes
                               ? -1
                               : HexToBytes(text, static_cast<int32_t>(characters), bytes);
    // One line per object, its value in hexadecimal: a few times the field.
    struct Tip {
        char text[4 * 2 * MESSAGE_BUFFER_SIZE];
        size_t used;
    };
    static Tip tip;
    tip.used = 0;
    tip.text[0] = '\0';
    if (length < 0) {
        dialog.SetItemTip(editId, "Chip data: type it as hexadecimal, two digits a byte");
        return;
    }
    ListTlvObjects(
        n, bytes, length, false,
        [](void* context, const char* line) {
            auto* all = static_cast<Tip*>(context);
            line += 2;  // the note stands beside the field: no indent on top
            const size_t size = std::strlen(line) + 1;
            if (all->used + size + 1 > sizeof all->text) {
                return;
            }
            if (all->used > 0) {
                all->text[all->used++] = '\n';
            }
            std::memcpy(all->text + all->used, line, size);
            all->used += size - 1;
        },
        &tip);
    dialog.SetItemTip(editId, tip.text);
}

bool BoxHoldsTlvHex(int n) {
    return FieldShowsTlvAsHex(CurrentLink(), n);
}

int BoxTextToBytes(char* text, int length) {
    // Byte i is written after characters 2i and 2i + 1 are read.
    return HexToBytes(text, length, reinterpret_cast<unsigned char*>(text));
}

}  // namespace ui
