#include "field_listing.h"

#include <cstring>

#include "diag/card_mask.h"
#include "diag/log_text.h"
#include "vksoc/codec/hex_value.h"
#include "vksoc/codec/tlv_card_mask.h"
#include "vksoc/codec/tlv_field.h"
#include "vksoc/codec/tlv_listing.h"
#include "vksoc/codec/ztr.h"

namespace {

const char* ZtrName(int n) {
    for (const ZtrFieldDef* row = ZtrFieldTable; row->fieldNo != 0; ++row) {
        if (row->fieldNo == n) {
            return row->name;
        }
    }
    return "";
}

// FIELD_NAME comes from the image, which may lack its NUL.
void PrintName(FILE* out, const FieldSpec& spec) {
    const void* end = std::memchr(spec.FIELD_NAME, '\0', sizeof spec.FIELD_NAME);
    int length = end != nullptr ? static_cast<int>(static_cast<const char*>(end) - spec.FIELD_NAME)
                                : static_cast<int>(sizeof spec.FIELD_NAME);
    std::fprintf(out, "%.*s", length, spec.FIELD_NAME);
}

constexpr int VALUE_SIZE = 4104;  // no value is longer than a message

// card: the ISO 8583 element number when its card data is to be masked, else 0.
void PrintValue(FILE* out, const FieldSlot& slot, int card = 0) {
    static unsigned char masked[VALUE_SIZE];
    static char text[LogSafeTextSize(VALUE_SIZE)];
    const unsigned char* value = slot.data;
    const int length = slot.length < VALUE_SIZE ? slot.length : VALUE_SIZE;
    if (card != 0) {
        MaskCardField(card, value, length, masked);
        value = masked;
    }
    std::fprintf(out, "%s\n", LogSafeText(value, static_cast<size_t>(length), text, sizeof text));
}

}  // namespace

// A chip data field: its value form, then one line per data object.
void PrintChipData(FILE* out, const LinkRecord* link, int n, const FieldSlot& slot, bool mask) {
    static unsigned char bytes[VALUE_SIZE];
    const int32_t length = TlvFieldBytes(link, n, slot, bytes, VALUE_SIZE);
    if (length < 0) {
        PrintValue(out, slot);  // not hexadecimal: shown as it is
        return;
    }
    static char hex[2 * VALUE_SIZE + 1];
    hex[BytesToHex(bytes, length, hex)] = '\0';
    if (mask) {
        static TlvTable table;
        DecodeTlv(bytes, length, &table);
        MaskTlvFieldHex(table, bytes, length, hex);
    }
    std::fprintf(out, "%s\n", hex);
    ListTlvObjects(
        n, bytes, length, mask,
        [](void* context, const char* line) {
            std::fprintf(static_cast<FILE*>(context), "%s\n", line);
        },
        out);
}

void PrintMessage(FILE* out, const FieldSpec* format, const MessageFields& fields,
                  const LinkRecord* link) {
    if (format == nullptr) {
        for (int n = 1; n <= ZTR_MAX_FIELDS; ++n) {
            if (fields.slots[n].length > 0) {
                std::fprintf(out, "%d %s: ", n, ZtrName(n));
                PrintValue(out, fields.slots[n]);
            }
        }
        return;
    }
    if (fields.slots[0].length > 0) {
        std::fprintf(out, "0 Message Id: ");
        PrintValue(out, fields.slots[0]);
    }
    const bool mask = MaskPanOn();
    for (int n = 2; n <= MAX_FIELD_NO; ++n) {
        if (fields.slots[n].length > 0) {
            std::fprintf(out, "%d ", n);
            PrintName(out, format[n - 1]);
            std::fprintf(out, ": ");
            if (FieldIsTlv(link, n)) {
                PrintChipData(out, link, n, fields.slots[n], mask);
                continue;
            }
            PrintValue(out, fields.slots[n], mask && IsCardDataField(n) ? n : 0);
        }
    }
}
