#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "ui/script/script_value.h"

// The boxes a live value reads, as a test sets them: the text of each field
// (absent: empty) and the message's number since start.
class FakeValueSource : public ui::ValueSource {
  public:
    std::string_view FieldText(int field) override {
        auto found = texts.find(field);
        return found != texts.end() ? std::string_view(found->second) : std::string_view();
    }
    uint64_t Sequence() override { return sequence; }

    std::map<int, std::string> texts;
    uint64_t sequence = 0;
};
