#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "diag/error_state.h"
#include "diag/message_fields.h"

// The message of the last recorded failure without its "[vksoc,LINE] "
// prefix, or a text saying why there is none.
inline std::string LastErrorMessage() {
    const std::string text = GetErrorText();
    const std::string prefix = "[vksoc,";
    if (text.compare(0, prefix.size(), prefix) != 0) {
        return "<no vksoc prefix> " + text;
    }
    const size_t end = text.find("] ");
    return end == std::string::npos ? "<no line> " + text : text.substr(end + 2);
}

inline std::vector<unsigned char> Bytes(const std::string& text) {
    return std::vector<unsigned char>(text.begin(), text.end());
}

inline std::string SlotText(const FieldSlot& slot) {
    if (slot.length <= 0) {
        return "";
    }
    return std::string(reinterpret_cast<const char*>(slot.data), static_cast<size_t>(slot.length));
}

inline void SetSlot(MessageFields& fields, int n, const std::string& text) {
    fields.slots[n] = {reinterpret_cast<const unsigned char*>(text.data()),
                       static_cast<int32_t>(text.size())};
}

inline MessageFields EmptyFields() {
    MessageFields fields;
    std::memset(&fields, 0, sizeof(fields));
    return fields;
}

// Whether every present slot up to `lastSlot` lies within [begin, begin + length).
inline bool SlotsLieWithin(const MessageFields& fields, const unsigned char* begin, int length,
                           int lastSlot = MESSAGE_SLOTS - 1) {
    for (int n = 0; n <= lastSlot; ++n) {
        const FieldSlot& slot = fields.slots[n];
        if (slot.length > 0 && (slot.data < begin || slot.data + slot.length > begin + length)) {
            return false;
        }
    }
    return true;
}
