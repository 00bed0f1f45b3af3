#include "conform/value_form.h"

namespace conform {

std::string_view RequestValueForm(const LinkRecord& /*link*/, int /*fieldNo*/,
                                  const FieldSlot& slot, char* /*room*/) {
    // The one place the checks read a value: when the codec gives the value
    // form of BCD, EBCDIC and BINARY fields, call it here for those.
    if (slot.data == nullptr || slot.length <= 0) {
        return {};
    }
    return {reinterpret_cast<const char*>(slot.data), static_cast<size_t>(slot.length)};
}

int CountedLength(const LinkRecord& link, int fieldNo, int length) {
    const ValueEncoding encoding = FieldEncoding(LinkFieldOf(link, fieldNo));
    return encoding == ValueEncoding::Binary ? (length + 1) / 2 : length;
}

}  // namespace conform
