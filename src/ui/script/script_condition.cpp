#include "ui/script/script_condition.h"

#include "diag/message_fields.h"
#include "vksoc/codec/tlv_text.h"

namespace ui {

namespace {

constexpr int MAX_FIELD = 128;
constexpr size_t MAX_DECIMAL_DIGITS = 18;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// TEXT of an "=" form: [*] ("quoted" | unquoted) [*], up to a blank.
bool ParseText(const std::string& line, size_t& pos, ScriptCondition& condition, std::string& why) {
    bool leadingStar = false;
    bool trailingStar = false;
    std::string text;
    if (pos < line.size() && line[pos] == '*') {
        leadingStar = true;
        ++pos;
    }
    if (pos < line.size() && line[pos] == '"') {
        ++pos;
        for (;;) {
            if (pos >= line.size()) {
                why = "the quoted TEXT has no closing \"";
                return false;
            }
            char c = line[pos++];
            if (c == '"') {
                break;
            }
            if (c == '\\' && pos < line.size() && (line[pos] == '"' || line[pos] == '\\')) {
                c = line[pos++];
            }
            text += c;
        }
        if (pos < line.size() && line[pos] == '*') {
            trailingStar = true;
            ++pos;
        }
        if (pos < line.size() && !IsBlank(line[pos])) {
            why = "a blank must follow the closing \" of a quoted TEXT";
            return false;
        }
    } else {
        size_t end = pos;
        while (end < line.size() && !IsBlank(line[end])) {
            ++end;
        }
        text = line.substr(pos, end - pos);
        pos = end;
        if (!text.empty() && text.back() == '*') {
            trailingStar = true;
            text.pop_back();
        }
        if ((leadingStar || trailingStar) && text.empty()) {
            why = "a wildcard needs TEXT beside it (\"N!=\" is: the field is present)";
            return false;
        }
    }
    condition.text = std::move(text);
    condition.kind = leadingStar && trailingStar ? ScriptCondition::Contains
                     : leadingStar               ? ScriptCondition::EndsWith
                     : trailingStar              ? ScriptCondition::BeginsWith
                                                 : ScriptCondition::Equals;
    return true;
}

int64_t DigitsValue(std::string_view digits) {
    int64_t value = 0;
    for (char c : digits) {
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

bool ParseFieldNumber(std::string_view text, int& field) {
    if (text.empty() || text.size() > 3) {
        return false;
    }
    for (char c : text) {
        if (!IsDigit(c)) {
            return false;
        }
    }
    field = static_cast<int>(DigitsValue(text));
    return field <= MAX_FIELD;
}

bool ParseFieldOrObject(std::string_view text, int& field, bool& hasObject, TlvPath& object) {
    const size_t dot = text.find('.');
    hasObject = dot != std::string_view::npos;
    if (!ParseFieldNumber(text.substr(0, dot), field)) {
        return false;
    }
    return !hasObject || (field >= 1 && ParseTlvPath(text.substr(dot + 1), &object));
}

bool ParseDecimal(std::string_view text, int64_t& value) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (!IsDigit(c)) {
            return false;
        }
    }
    size_t first = text.find_first_not_of('0');
    std::string_view significant = first == std::string_view::npos ? "" : text.substr(first);
    if (significant.size() > MAX_DECIMAL_DIGITS) {
        return false;
    }
    value = DigitsValue(significant);
    return true;
}

bool ParseCondition(const std::string& line, size_t& pos, ScriptCondition& condition,
                    std::string& why) {
    condition = ScriptCondition{};
    {
        size_t end = pos;
        while (end < line.size() && !IsBlank(line[end])) {
            ++end;
        }
        const std::string_view word = std::string_view(line).substr(pos, end - pos);
        if (word == "valid" || word == "invalid") {
            condition.kind = word == "valid" ? ScriptCondition::Valid : ScriptCondition::Invalid;
            condition.field = -1;
            pos = end;
            return true;
        }
        if (word.rfind("invalid=", 0) == 0) {
            if (!ParseFieldNumber(word.substr(8), condition.field)) {
                why = "\"invalid=\" needs a field number from 0 to 128";
                return false;
            }
            condition.kind = ScriptCondition::Invalid;
            pos = end;
            return true;
        }
    }
    if (line[pos] == '*' && (pos + 1 == line.size() || IsBlank(line[pos + 1]))) {
        ++pos;
        return true;
    }
    size_t digitsEnd = pos;
    while (digitsEnd < line.size() && IsDigit(line[digitsEnd])) {
        ++digitsEnd;
    }
    if (!ParseFieldNumber(std::string_view(line).substr(pos, digitsEnd - pos), condition.field)) {
        why =
            "a condition is \"*\", \"valid\", \"invalid\", \"invalid=N\" or begins with a "
            "field number from 0 to 128";
        return false;
    }
    pos = digitsEnd;
    if (pos < line.size() && line[pos] == '.') {
        size_t pathEnd = pos + 1;
        while (pathEnd < line.size() &&
               std::string_view("=!<> \t").find(line[pathEnd]) == std::string_view::npos) {
            ++pathEnd;
        }
        condition.hasObject = true;
        if (condition.field < 1 ||
            !ParseTlvPath(std::string_view(line).substr(pos + 1, pathEnd - pos - 1),
                          &condition.object)) {
            why =
                "N.PATH names a data object by its tags in hexadecimal, as in 55.9F27 or "
                "55.77.9F27";
            return false;
        }
        pos = pathEnd;
    }
    std::string_view rest = std::string_view(line).substr(pos);
    struct Operator {
        const char* text;
        ScriptCondition::Kind kind;
        bool negate;
    };
    // Two-character operators first, so that "<=" is not read as "<".
    static const Operator operators[] = {
        {"!=", ScriptCondition::Equals, true},
        {"<=", ScriptCondition::LessOrEqual, false},
        {">=", ScriptCondition::GreaterOrEqual, false},
        {"=", ScriptCondition::Equals, false},
        {"<", ScriptCondition::Less, false},
        {">", ScriptCondition::Greater, false},
    };
    const Operator* found = nullptr;
    for (const Operator& op : operators) {
        if (rest.rfind(op.text, 0) == 0) {
            found = &op;
            break;
        }
    }
    if (found == nullptr) {
        why = "expected =, !=, <, <=, > or >= after the field number";
        return false;
    }
    pos += std::char_traits<char>::length(found->text);
    if (found->kind == ScriptCondition::Equals) {
        condition.negate = found->negate;
        if (condition.hasObject && pos < line.size() && line[pos] == '*' &&
            (pos + 1 == line.size() || IsBlank(line[pos + 1]))) {
            condition.kind = ScriptCondition::Present;
            ++pos;
            return true;
        }
        return ParseText(line, pos, condition, why);
    }
    size_t end = pos;
    while (end < line.size() && !IsBlank(line[end])) {
        ++end;
    }
    if (!ParseDecimal(std::string_view(line).substr(pos, end - pos), condition.number)) {
        why = "a comparison needs a NUMBER of decimal digits (up to 18)";
        return false;
    }
    pos = end;
    condition.kind = found->kind;
    return true;
}

bool FindingConditionHolds(const ScriptCondition& condition, bool anyFinding,
                           bool findingAboutField) {
    if (condition.kind == ScriptCondition::Valid) {
        return !anyFinding;
    }
    return condition.field < 0 ? anyFinding : findingAboutField;
}

bool ConditionHolds(const ScriptCondition& condition, std::string_view text, bool hasBox) {
    if (condition.kind == ScriptCondition::Always) {
        return true;
    }
    if (!hasBox) {
        return false;
    }
    if (condition.hasObject) {
        // A value is never longer than a message: no allocation per message.
        static char value[2 * MESSAGE_BUFFER_SIZE];
        const int32_t length =
            TlvObjectText(text, condition.object, value, static_cast<int32_t>(sizeof value));
        if (condition.kind == ScriptCondition::Present) {
            return (length >= 0) != condition.negate;
        }
        text = std::string_view(value, length > 0 ? static_cast<size_t>(length) : 0);
    }
    const std::string& want = condition.text;
    bool holds = false;
    switch (condition.kind) {
        case ScriptCondition::Equals:
            holds = text == want;
            break;
        case ScriptCondition::BeginsWith:
            holds = text.substr(0, want.size()) == want;
            break;
        case ScriptCondition::EndsWith:
            holds = text.size() >= want.size() && text.substr(text.size() - want.size()) == want;
            break;
        case ScriptCondition::Contains:
            holds = text.find(want) != std::string_view::npos;
            break;
        default: {
            int64_t value = 0;
            if (!ParseDecimal(text, value)) {
                return false;  // a box that is not a number matches no comparison
            }
            switch (condition.kind) {
                case ScriptCondition::Less:
                    return value < condition.number;
                case ScriptCondition::LessOrEqual:
                    return value <= condition.number;
                case ScriptCondition::Greater:
                    return value > condition.number;
                default:
                    return value >= condition.number;
            }
        }
    }
    return holds != condition.negate;
}

}  // namespace ui
