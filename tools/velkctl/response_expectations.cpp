#include "response_expectations.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "conform/finding_text.h"
#include "diag/card_mask.h"

bool ResponseExpectations::Add(const std::string& text, std::string* why) {
    ui::ScriptCondition condition;
    size_t pos = 0;
    if (text.empty() || !ui::ParseCondition(text, pos, condition, *why)) {
        if (why->empty()) {
            *why = "an expectation is a condition such as 39=00";
        }
        return false;
    }
    if (pos != text.size() || condition.kind == ui::ScriptCondition::Always ||
        ui::IsFindingCondition(condition)) {
        *why = "an expectation is one condition about one field, such as 39=00 or 38!=";
        return false;
    }
    conditions_.push_back(condition);
    texts_.push_back(text);
    written_ += (written_.empty() ? "" : " ") + text;
    return true;
}

void ResponseExpectations::Check(const MessageFields& response, conform::Findings& out) const {
    out.Clear();
    const bool mask = MaskPanOn();
    for (size_t i = 0; i < conditions_.size(); ++i) {
        const ui::ScriptCondition& condition = conditions_[i];
        const FieldSlot& slot = response.slots[condition.field];
        std::string_view value;
        if (slot.data != nullptr && slot.length > 0) {
            value = std::string_view(reinterpret_cast<const char*>(slot.data),
                                     static_cast<size_t>(slot.length));
        }
        if (ui::ConditionHolds(condition, value, true)) {
            continue;
        }
        char shown[4 * 40 + 4];
        conform::ShownValue(condition.field, value, mask, 40, shown, sizeof shown);
        char text[400];
        const int length = value.empty()
                               ? std::snprintf(text, sizeof text, "field %d is absent, expected %s",
                                               condition.field, texts_[i].c_str())
                               : std::snprintf(text, sizeof text, "field %d is \"%s\", expected %s",
                                               condition.field, shown, texts_[i].c_str());
        const size_t taken =
            length < 0 ? 0 : std::min(static_cast<size_t>(length), sizeof text - 1);
        out.Add({conform::FindingKind::ExpectFailed, condition.field, 0, 0},
                std::string_view(text, taken));
    }
}
