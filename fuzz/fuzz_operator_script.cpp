// Fuzzes the operator script's loader with whole scripts. Properties: a
// script it refuses is refused with "Operator script FILE line N: ..." for a
// line the text has; a script it takes holds only what the grammar allows
// (rules with conditions, fields 0 to 128, delays in range, lines in file
// order), its values read back the same when parsed again, and expanding them
// into any room writes a NUL-ended prefix of the whole value and no further.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "ui/script/operator_script.h"

namespace {

constexpr char kPath[] = "fuzz.script";
constexpr char kLead[] = "Operator script fuzz.script line ";

// Boxes that hold parts of the input, so that field values and conditions
// see text the fuzzer steers.
class Boxes final : public ui::ValueSource {
  public:
    explicit Boxes(std::string_view text) : text_(text) {}
    std::string_view FieldText(int field) override {
        if (text_.empty()) {
            return {};
        }
        size_t from = static_cast<size_t>(field) * 7 % text_.size();
        return text_.substr(from, static_cast<size_t>(field) % 24);
    }
    uint64_t Sequence() override { return 123456789012345678u; }

  private:
    std::string_view text_;
};

bool Deterministic(const ui::ScriptValue& value) {
    return std::none_of(value.parts.begin(), value.parts.end(), [](const ui::ValuePart& part) {
        return part.kind == ui::ValuePart::Now || part.kind == ui::ValuePart::Utc ||
               part.kind == ui::ValuePart::Rand;
    });
}

void CheckValue(const ui::ScriptValue& value, Boxes& boxes) {
    ui::ScriptValue again;
    std::string why;
    FUZZ_CHECK(ui::ParseScriptValue(value.written, again, why));
    FUZZ_CHECK(again.parts.size() == value.parts.size() && again.plain == value.plain);
    FUZZ_CHECK(!value.plain || Deterministic(value));

    std::vector<char> whole(value.written.size() * 64 + 8192);
    const size_t length = ui::ExpandScriptValue(value, boxes, whole.data(), whole.size());
    FUZZ_CHECK(length < whole.size());
    FUZZ_CHECK(whole[length] == '\0');
    if (value.plain) {
        std::string literal;
        for (const ui::ValuePart& part : value.parts) {
            literal += part.text;
        }
        FUZZ_CHECK(std::string_view(whole.data(), length) == literal);
    }
    if (!Deterministic(value)) {
        return;
    }
    for (size_t room : {size_t{1}, size_t{2}, size_t{7}, length, length + 1}) {
        if (room == 0) {
            continue;
        }
        // Exactly room bytes, so that ASan sees a write past them.
        std::vector<char> small(room);
        FUZZ_CHECK(ui::ExpandScriptValue(value, boxes, small.data(), room) == length);
        const size_t kept = std::min(length, room - 1);
        FUZZ_CHECK(small[kept] == '\0');
        FUZZ_CHECK(std::memcmp(small.data(), whole.data(), kept) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ui::OperatorScript script;
    std::string error;
    if (!ui::ParseOperatorScript(kPath, text, script, error)) {
        FUZZ_CHECK(error.rfind(kLead, 0) == 0);
        const long line = std::strtol(error.c_str() + sizeof kLead - 1, nullptr, 10);
        const long lines = static_cast<long>(std::count(text.begin(), text.end(), '\n')) + 1;
        FUZZ_CHECK(line >= 1 && line <= lines);
        return 0;
    }
    FUZZ_CHECK(script.path == kPath);
    Boxes boxes(text);
    int last = 0;
    for (const ui::ScriptRule& rule : script.rules) {
        FUZZ_CHECK(rule.line > last);
        last = rule.line;
        FUZZ_CHECK(!rule.conditions.empty());
        for (const ui::ScriptCondition& condition : rule.conditions) {
            // valid, invalid and invalid=N look at the request's findings,
            // not at a box; plain "invalid" is about any field (-1).
            if (ui::IsFindingCondition(condition)) {
                FUZZ_CHECK(condition.field >= -1 && condition.field <= ui::MAX_SCRIPT_FIELD);
                continue;
            }
            FUZZ_CHECK(condition.field >= 0 && condition.field <= ui::MAX_SCRIPT_FIELD);
            if (condition.kind >= ui::ScriptCondition::Less) {
                FUZZ_CHECK(condition.number >= 0);
            }
            // A condition about a field without a box holds only as "*".
            FUZZ_CHECK(ui::ConditionHolds(condition, boxes.FieldText(condition.field), false) ==
                       (condition.kind == ui::ScriptCondition::Always));
            if (condition.kind == ui::ScriptCondition::Equals && !condition.hasObject) {
                FUZZ_CHECK(ui::ConditionHolds(condition, condition.text, true) != condition.negate);
            }
            // A chip data condition looks at one object: an empty field has none.
            if (condition.hasObject && condition.kind == ui::ScriptCondition::Present) {
                FUZZ_CHECK(ui::ConditionHolds(condition, "", true) == condition.negate);
            }
        }
        for (const ui::ScriptAction& action : rule.actions) {
            FUZZ_CHECK(action.line > last);
            last = action.line;
            switch (action.kind) {
                case ui::ScriptAction::Set:
                case ui::ScriptAction::Clear:
                    FUZZ_CHECK(action.field >= 0 && action.field <= ui::MAX_SCRIPT_FIELD);
                    break;
                case ui::ScriptAction::Delay:
                    FUZZ_CHECK(action.delayMs >= 0 && action.delayMs <= ui::MAX_DELAY_MS);
                    break;
                case ui::ScriptAction::Read:
                case ui::ScriptAction::Save:
                    FUZZ_CHECK(!action.value.written.empty());
                    break;
                default:
                    break;
            }
            if (action.kind == ui::ScriptAction::Set || action.kind == ui::ScriptAction::Read ||
                action.kind == ui::ScriptAction::Save) {
                CheckValue(action.value, boxes);
            }
        }
    }
    return 0;
}
