// Notices about values the conversions did not take whole. The reader stays
// as lenient as it is (the responder loads what it makes of them); these
// only tell the user, with what the responder uses instead.

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "diag/log_text.h"
#include "vkstp/config_load.h"
#include "vkstp/config_view.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The value as a notice quotes it: escaped, and cut at a readable length.
struct QuotedValue {
    static constexpr size_t kShown = 60;
    char text[LogSafeTextSize(kShown)];
    explicit QuotedValue(const char* value) {
        const size_t length = strnlen(value, kShown);
        LogSafeText(value, length, text, sizeof text);
    }
};

}  // namespace

void NoticeNumberValue(const ConfigLoad& load, const char* tag, long long stored, long long lowest,
                       long long highest) {
    // The number is read as ConvertNumber reads it: blanks, a sign, digits.
    const char* p = load.value;
    while (IsBlank(*p)) {
        ++p;
    }
    if (*p == '+' || *p == '-') {
        ++p;
    }
    const char* digits = p;
    while (*p >= '0' && *p <= '9') {
        ++p;
    }
    const bool anyDigit = p > digits;
    const char* stop = p;
    while (IsBlank(*p)) {
        ++p;
    }
    const bool trailing = *p != '\0';

    char uses[96];
    if (std::strcmp(tag, "HOST_TIMEOUT") == 0 && stored < 1) {
        std::snprintf(uses, sizeof uses,
                      "it is read as %lld, so the responder uses %d s (the default)", stored,
                      DEFAULT_HOST_TIMEOUT);
    } else {
        std::snprintf(uses, sizeof uses, "the responder uses %lld", stored);
    }
    const QuotedValue quoted(load.value);
    if (!anyDigit) {
        if (*p == '\0') {
            Notice(load, "<%s> has no value; %s", tag, uses);
        } else {
            Notice(load, "<%s> value '%s' is not a number; %s", tag, quoted.text, uses);
        }
    } else if (trailing) {
        const QuotedValue rest(stop);
        Notice(load, "<%s> value '%s' is not a number: its digits end at '%s'; %s", tag,
               quoted.text, rest.text, uses);
    } else {
        // Whole digits: a value beyond what the record holds is what is left.
        long long magnitude = 0;
        for (const char* d = digits; d < stop && magnitude <= highest + 1; ++d) {
            magnitude = magnitude * 10 + (*d - '0');
        }
        const bool negative = digits > load.value && digits[-1] == '-';
        const long long written = negative ? -magnitude : magnitude;
        if (written < lowest || written > highest || written != stored) {
            Notice(load, "<%s> value '%s' is outside %lld to %lld; %s", tag, quoted.text, lowest,
                   highest, uses);
        }
    }
}

void NoticeTextValue(const ConfigLoad& load, const char* tag, int width) {
    if (std::strlen(load.value) <= static_cast<size_t>(width)) {
        return;
    }
    const QuotedValue quoted(load.value);
    char kept[LINE_SIZE];
    std::memcpy(kept, load.value, static_cast<size_t>(width));
    kept[width] = '\0';
    const QuotedValue used(kept);
    Notice(load, "<%s> value '%s' is longer than %d character%s; the responder uses '%s'", tag,
           quoted.text, width, width == 1 ? "" : "s", used.text);
}
