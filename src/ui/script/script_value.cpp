#include "ui/script/script_value.h"

#include <cstring>
#include <ctime>
#include <random>

#include "diag/message_fields.h"
#include "ui/script/script_condition.h"
#include "vksoc/codec/tlv_text.h"

namespace ui {

namespace {

constexpr int MAX_DIGITS = 18;
// Positions and counts inside one box: no box holds more than a message.
constexpr int64_t MAX_POSITION = 4096;

// The conversions of strftime that every platform's C library knows.
bool IsTimeConversion(char c) {
    return std::strchr("aAbBcdHIjmMpSUwWxXyYZ%", c) != nullptr;
}

bool ParseDigitCount(std::string_view text, int& digits) {
    int64_t value = 0;
    if (!ParseDecimal(text, value) || value < 1 || value > MAX_DIGITS) {
        return false;
    }
    digits = static_cast<int>(value);
    return true;
}

bool ParseForm(std::string_view form, ValuePart& part, std::string& why) {
    size_t colon = form.find(':');
    std::string_view name = form.substr(0, colon);
    std::string_view argument = colon == std::string_view::npos ? "" : form.substr(colon + 1);
    if (name == "now" || name == "utc") {
        part.kind = name == "now" ? ValuePart::Now : ValuePart::Utc;
        if (argument.empty()) {
            why = "\"${" + std::string(name) + ":FORMAT}\" needs a FORMAT";
            return false;
        }
        for (size_t i = 0; i < argument.size(); ++i) {
            if (argument[i] == '%' && (++i == argument.size() || !IsTimeConversion(argument[i]))) {
                why = "\"${" + std::string(form) + "}\": unknown time conversion";
                return false;
            }
        }
        part.text = std::string(argument);
        return true;
    }
    if (form == "findings") {
        part.kind = ValuePart::Findings;
        return true;
    }
    if (name == "rand" || name == "seq") {
        part.kind = name == "rand" ? ValuePart::Rand : ValuePart::Seq;
        if (!ParseDigitCount(argument, part.digits)) {
            why = "\"${" + std::string(form) + "}\": K is a number of digits from 1 to 18";
            return false;
        }
        return true;
    }
    part.kind = ValuePart::Field;
    if (!ParseFieldOrObject(name, part.field, part.hasObject, part.object)) {
        why = "unknown live value \"${" + std::string(form) +
              "}\" (expected N, N:FROM:COUNT, N.PATH, now:, utc:, rand:, seq: or findings)";
        return false;
    }
    if (colon == std::string_view::npos) {
        return true;
    }
    size_t second = argument.find(':');
    int64_t from = 0;
    int64_t count = 0;
    if (second == std::string_view::npos || !ParseDecimal(argument.substr(0, second), from) ||
        !ParseDecimal(argument.substr(second + 1), count) || from >= MAX_POSITION || count < 1 ||
        count > MAX_POSITION) {
        why = "\"${" + std::string(form) + "}\": expected ${N:FROM:COUNT} with COUNT from 1";
        return false;
    }
    part.from = static_cast<int>(from);
    part.count = static_cast<int>(count);
    return true;
}

void AddLiteral(ScriptValue& value, std::string_view text) {
    if (text.empty()) {
        return;
    }
    if (value.parts.empty() || value.parts.back().kind != ValuePart::Literal) {
        value.parts.push_back(ValuePart{});
    }
    value.parts.back().text += text;
}

// Appends to out as room allows; counts every character either way.
struct Writer {
    char* out;
    size_t room;
    size_t length = 0;

    void Put(std::string_view text) {
        if (text.empty()) {
            return;  // its data may be null
        }
        if (length + 1 < room) {
            size_t take = room - 1 - length < text.size() ? room - 1 - length : text.size();
            std::memcpy(out + length, text.data(), take);
        }
        length += text.size();
    }
    void PutSafeInAPath(std::string_view text) {
        for (size_t i = 0; i < text.size(); ++i) {
            char c = text[i];
            bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_' || (c == '.' && i > 0);
            Put(kept ? std::string_view(&text[i], 1) : std::string_view("_"));
        }
    }
};

std::mt19937_64& RandomEngine() {
    static std::mt19937_64 engine{std::random_device{}()};
    return engine;
}

void PutDigits(Writer& writer, uint64_t value, int digits) {
    char text[MAX_DIGITS];
    for (int i = digits - 1; i >= 0; --i) {
        text[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    writer.Put(std::string_view(text, static_cast<size_t>(digits)));
}

uint64_t PowerOfTen(int digits) {
    uint64_t power = 1;
    for (int i = 0; i < digits; ++i) {
        power *= 10;
    }
    return power;
}

}  // namespace

bool ParseScriptValue(const std::string& text, ScriptValue& value, std::string& why) {
    value = ScriptValue{};
    value.written = text;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t dollar = text.find('$', pos);
        if (dollar == std::string::npos) {
            AddLiteral(value, std::string_view(text).substr(pos));
            break;
        }
        AddLiteral(value, std::string_view(text).substr(pos, dollar - pos));
        if (dollar + 1 < text.size() && text[dollar + 1] == '$') {
            AddLiteral(value, "$");
            pos = dollar + 2;
        } else if (dollar + 1 < text.size() && text[dollar + 1] == '{') {
            size_t close = text.find('}', dollar + 2);
            if (close == std::string::npos) {
                why = "\"${\" without its closing \"}\"";
                return false;
            }
            ValuePart part;
            if (!ParseForm(std::string_view(text).substr(dollar + 2, close - dollar - 2), part,
                           why)) {
                return false;
            }
            value.parts.push_back(std::move(part));
            value.plain = false;
            pos = close + 1;
        } else {
            AddLiteral(value, "$");
            pos = dollar + 1;
        }
    }
    return true;
}

size_t ExpandScriptValue(const ScriptValue& value, ValueSource& source, char* out, size_t room,
                         BoxText boxes) {
    Writer writer{out, room};
    for (const ValuePart& part : value.parts) {
        switch (part.kind) {
            case ValuePart::Literal:
                writer.Put(part.text);
                break;
            case ValuePart::Field: {
                std::string_view text = source.FieldText(part.field);
                if (part.hasObject) {
                    static char object[2 * MESSAGE_BUFFER_SIZE];
                    const int32_t length = TlvObjectText(text, part.object, object,
                                                         static_cast<int32_t>(sizeof object));
                    text = std::string_view(object, length > 0 ? static_cast<size_t>(length) : 0);
                }
                if (part.count >= 0) {
                    size_t from = static_cast<size_t>(part.from);
                    text = from < text.size() ? text.substr(from, static_cast<size_t>(part.count))
                                              : std::string_view();
                }
                if (boxes == BoxText::SafeInAPath) {
                    writer.PutSafeInAPath(text);
                } else {
                    writer.Put(text);
                }
                break;
            }
            case ValuePart::Now:
            case ValuePart::Utc: {
                std::time_t now = std::time(nullptr);
                // Single-threaded: the C library's static result is used at once.
                const std::tm* time =
                    part.kind == ValuePart::Now ? std::localtime(&now) : std::gmtime(&now);
                char text[256];
                size_t n =
                    time != nullptr ? std::strftime(text, sizeof text, part.text.c_str(), time) : 0;
                writer.Put(std::string_view(text, n));
                break;
            }
            case ValuePart::Rand: {
                std::uniform_int_distribution<uint64_t> digits(0, PowerOfTen(part.digits) - 1);
                PutDigits(writer, digits(RandomEngine()), part.digits);
                break;
            }
            case ValuePart::Seq:
                PutDigits(writer, source.Sequence() % PowerOfTen(part.digits), part.digits);
                break;
            case ValuePart::Findings:
                // It quotes the peer's values: in a path, as unsafe as a box.
                if (boxes == BoxText::SafeInAPath) {
                    writer.PutSafeInAPath(source.FirstFinding());
                } else {
                    writer.Put(source.FirstFinding());
                }
                break;
        }
    }
    out[writer.length < room ? writer.length : room - 1] = '\0';
    return writer.length;
}

}  // namespace ui
