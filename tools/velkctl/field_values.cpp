#include "field_values.h"

#include <cctype>

#include "vksoc/codec/hex_value.h"
#include "vksoc/codec/tlv_field.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::string FieldValues::Unescape(const std::string& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
            const int high = HexDigit(text[i + 2]);
            const int low = HexDigit(text[i + 3]);
            if (high >= 0 && low >= 0) {
                bytes += static_cast<char>(high * 16 + low);
                i += 3;
                continue;
            }
        }
        bytes += text[i];
    }
    return bytes;
}

bool FieldValues::IsFieldArgument(const std::string& argument) {
    size_t equals = argument.find('=');
    if (equals == 0 || equals == std::string::npos || equals > 3) {
        return false;
    }
    for (size_t i = 0; i < equals; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(argument[i]))) {
            return false;
        }
    }
    return true;
}

bool FieldValues::Set(const std::string& argument, std::string* error) {
    size_t equals = argument.find('=');
    int n = std::stoi(argument.substr(0, equals));
    bool valid = ztr_ ? n >= 4 && n <= 64 : n == 0 || (n >= 2 && n <= 128);
    if (!valid) {
        *error = "field " + std::to_string(n) + " cannot be given: " +
                 (ztr_ ? "ZTR fields are 4 to 64 (length, hash key and version are computed)"
                       : "ISO 8583 fields are 0 (message id) and 2 to 128");
        return false;
    }
    values_[static_cast<size_t>(n)] = Unescape(argument.substr(equals + 1));
    typed_[static_cast<size_t>(n)] = true;
    return true;
}

void FieldValues::TakeFrom(const MessageFields& fields) {
    for (int n = 0; n < MESSAGE_SLOTS; ++n) {
        const FieldSlot& slot = fields.slots[n];
        if (slot.length > 0) {
            values_[static_cast<size_t>(n)].assign(reinterpret_cast<const char*>(slot.data),
                                                   static_cast<size_t>(slot.length));
            typed_[static_cast<size_t>(n)] = false;
        }
    }
}

bool FieldValues::empty() const {
    for (const std::string& value : values_) {
        if (!value.empty()) {
            return false;
        }
    }
    return true;
}

const MessageFields* FieldValues::fields() {
    for (int n = 0; n < MESSAGE_SLOTS; ++n) {
        const std::string* chosen = &values_[static_cast<size_t>(n)];
        if (typed_[static_cast<size_t>(n)] && FieldShowsTlvAsHex(link_, n) && !chosen->empty()) {
            std::string& bytes = wire_[static_cast<size_t>(n)];
            bytes.resize(chosen->size() / 2);
            if (HexToBytes(chosen->data(), static_cast<int32_t>(chosen->size()),
                           reinterpret_cast<unsigned char*>(bytes.data())) >= 0) {
                chosen = &bytes;
            }
        }
        const std::string& value = *chosen;
        slots_.slots[n].data = reinterpret_cast<const unsigned char*>(value.data());
        slots_.slots[n].length = static_cast<int32_t>(value.size());
    }
    return &slots_;
}
