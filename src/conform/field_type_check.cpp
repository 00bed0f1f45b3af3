#include "conform/field_type_check.h"

namespace conform {

namespace {

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsPrintable(unsigned char c) {
    return c >= 0x20 && c <= 0x7E;
}

bool Allows(FieldType type, unsigned char c) {
    switch (type) {
        case FieldType::N:
            return IsDigit(c);
        case FieldType::A:
            return IsLetter(c);
        case FieldType::An:
            return IsLetter(c) || IsDigit(c);
        case FieldType::Ans:
            return IsPrintable(c);
        case FieldType::Ns:
            return IsPrintable(c) && !IsLetter(c);
        case FieldType::As:
            return IsPrintable(c) && !IsDigit(c);
        case FieldType::Z:
            return IsDigit(c) || c == '=' || c == 'D';
        case FieldType::Xn:  // the sign is looked at apart
            return IsDigit(c);
        case FieldType::Absent:
        case FieldType::B:
            return true;
    }
    return true;
}

}  // namespace

int FirstBreakOfType(FieldType type, std::string_view value) {
    if (type == FieldType::Absent || type == FieldType::B || value.empty()) {
        return 0;
    }
    size_t from = 0;
    if (type == FieldType::Xn) {
        if (value[0] != 'C' && value[0] != 'D') {
            return 1;
        }
        if (value.size() == 1) {
            return 2;  // a sign without an amount
        }
        from = 1;
    }
    for (size_t i = from; i < value.size(); ++i) {
        if (!Allows(type, static_cast<unsigned char>(value[i]))) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

}  // namespace conform
