#pragma once

#include <cstdint>
#include <string_view>

// What a received request breaks of its controller's declarations: a fixed
// list made once and refilled for every request, so that checking allocates
// nothing. Each finding's text is written when it is added, while the
// request's values are still in hand (a response may overwrite them later).

namespace conform {

enum class FindingKind : uint8_t {
    WrongType,        // a character the field's FIELD_TYPE does not allow
    TooLong,          // a variable value longer than MAX_LEN
    WrongLength,      // a fixed value of another length than MAX_LEN
    MandatoryAbsent,  // the MTI's rule names the field MANDATORY; absent
    NotInRule,        // the rule has OPTIONAL; the field is in neither list
    ExpectFailed,     // an operator script's "expect" did not hold
};

struct Finding {
    FindingKind kind;
    int field;   // 0 to 128; -1 for an expectation about no one field
    int length;  // the value's length (WrongType: the position, from 1, of the first wrong
                 // character)
    int limit;   // MAX_LEN; ExpectFailed: the script line
};

inline constexpr int MAX_FINDINGS = 32;
// Room for the texts of every finding together; a text that does not fit is
// cut.
inline constexpr int FINDINGS_TEXT_SIZE = 6144;

class Findings {
  public:
    void Clear() {
        count_ = 0;
        dropped_ = 0;
        textUsed_ = 0;
    }
    // Keeps the finding and its text (cut where the room ends). Beyond
    // MAX_FINDINGS a finding is only counted.
    void Add(const Finding& finding, std::string_view text);
    int count() const { return count_; }
    // Findings beyond the list's capacity, counted but not kept.
    int dropped() const { return dropped_; }
    bool empty() const { return count_ == 0 && dropped_ == 0; }
    int total() const { return count_ + dropped_; }
    const Finding& at(int i) const { return items_[i]; }
    std::string_view Text(int i) const {
        return {text_ + textStart_[i], static_cast<size_t>(textLength_[i])};
    }
    // The first finding's text; empty when there is none.
    std::string_view First() const { return count_ > 0 ? Text(0) : std::string_view(); }
    // The first finding about field n, or -1.
    int FirstAbout(int field) const;

  private:
    Finding items_[MAX_FINDINGS] = {};
    uint16_t textStart_[MAX_FINDINGS] = {};
    uint16_t textLength_[MAX_FINDINGS] = {};
    int count_ = 0;
    int dropped_ = 0;
    int textUsed_ = 0;
    char text_[FINDINGS_TEXT_SIZE] = {};
};

}  // namespace conform
