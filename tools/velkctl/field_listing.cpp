#include "field_listing.h"

#include <cstring>

#include "vksoc/ztr.h"

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

void PrintValue(FILE* out, const FieldSlot& slot) {
    for (int i = 0; i < slot.length; ++i) {
        unsigned char byte = slot.data[i];
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            std::fputc(byte, out);
        } else {
            std::fprintf(out, "\\x%02x", byte);
        }
    }
    std::fputc('\n', out);
}

}  // namespace

void PrintMessage(FILE* out, const FieldSpec* format, const MessageFields& fields) {
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
    for (int n = 2; n <= MAX_FIELD_NO; ++n) {
        if (fields.slots[n].length > 0) {
            std::fprintf(out, "%d ", n);
            PrintName(out, format[n - 1]);
            std::fprintf(out, ": ");
            PrintValue(out, fields.slots[n]);
        }
    }
}
