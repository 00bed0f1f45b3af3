#include "conform/findings.h"

#include <algorithm>
#include <cstring>

namespace conform {

void Findings::Add(const Finding& finding, std::string_view text) {
    if (count_ == MAX_FINDINGS) {
        ++dropped_;
        return;
    }
    const size_t room = static_cast<size_t>(FINDINGS_TEXT_SIZE - textUsed_);
    const size_t take = std::min(text.size(), room);
    if (take > 0) {
        std::memcpy(text_ + textUsed_, text.data(), take);
    }
    items_[count_] = finding;
    textStart_[count_] = static_cast<uint16_t>(textUsed_);
    textLength_[count_] = static_cast<uint16_t>(take);
    textUsed_ += static_cast<int>(take);
    ++count_;
}

int Findings::FirstAbout(int field) const {
    for (int i = 0; i < count_; ++i) {
        if (items_[i].field == field) {
            return i;
        }
    }
    return -1;
}

}  // namespace conform
