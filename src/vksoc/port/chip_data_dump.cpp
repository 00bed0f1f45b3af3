#include "vksoc/port/chip_data_dump.h"

#include "vksoc/codec/hex_value.h"
#include "vksoc/codec/tlv.h"
#include "vksoc/codec/tlv_card_mask.h"
#include "vksoc/codec/tlv_field.h"
#include "vksoc/codec/tlv_listing.h"

bool DumpChipDataField(const void* link, int n, const FieldSlot& slot, bool mask, FILE* file) {
    const auto* record = static_cast<const LinkRecord*>(link);
    if (!FieldIsTlv(record, n)) {
        return false;
    }
    static unsigned char bytes[MESSAGE_BUFFER_SIZE];
    const int32_t length = TlvFieldBytes(record, n, slot, bytes, MESSAGE_BUFFER_SIZE);
    if (length < 0) {
        return false;  // not hexadecimal: the plain line shows it as it is
    }
    static char hex[2 * MESSAGE_BUFFER_SIZE];
    BytesToHex(bytes, length, hex);
    if (mask) {
        static TlvTable table;
        DecodeTlv(bytes, length, &table);
        MaskTlvFieldHex(table, bytes, length, hex);
    }
    std::fprintf(file, "Field %03d: %.*s\n", n, 2 * length, hex);
    ListTlvObjects(
        n, bytes, length, mask,
        [](void* context, const char* line) {
            std::fprintf(static_cast<FILE*>(context), "%s\n", line);
        },
        file);
    return true;
}
