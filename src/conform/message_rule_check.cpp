#include "conform/message_rule_check.h"

#include <cstring>

namespace conform {

const MessageRule* FindMessageRule(const LinkRecord& link, std::string_view mti) {
    if (mti.size() != sizeof(MessageRule::MTI)) {
        return nullptr;
    }
    const int count = link.ruleCount < MAX_MESSAGE_RULES ? link.ruleCount : MAX_MESSAGE_RULES;
    for (int i = 0; i < count; ++i) {
        if (std::memcmp(link.rules[i].MTI, mti.data(), mti.size()) == 0) {
            return &link.rules[i];
        }
    }
    return nullptr;
}

}  // namespace conform
