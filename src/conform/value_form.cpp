#include "conform/value_form.h"

namespace conform {

std::string_view RequestValueForm(const LinkRecord& /*link*/, int /*fieldNo*/,
                                  const FieldSlot& slot, char* /*room*/) {
    // The one place the checks read a value. The codec converts at its edge:
    // after it took a message of a controller with a link record, every slot
    // already holds its value form, so there is nothing to convert here.
    if (slot.data == nullptr || slot.length <= 0) {
        return {};
    }
    return {reinterpret_cast<const char*>(slot.data), static_cast<size_t>(slot.length)};
}

int CountedLength(const LinkRecord& link, int fieldNo, std::string_view value) {
    const int length = static_cast<int>(value.size());
    switch (FieldEncoding(LinkFieldOf(link, fieldNo))) {
        case ValueEncoding::Binary:
            return (length + 1) / 2;
        case ValueEncoding::Ebcdic: {
            // Its value form is UTF-8: count the characters, not the bytes.
            int characters = 0;
            for (char c : value) {
                characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
            }
            return characters;
        }
        default:
            return length;
    }
}

}  // namespace conform
