// The field-spec list of one controller: FIELD records selected by FIELD_NO.

#include <cstring>

#include "diag/error_log.h"
#include "diag/error_state.h"
#include "diag/message_fields.h"
#include "vkstp/config_load.h"
#include "vkstp/config_values.h"

namespace {

// CONTROLLER_ID as text; an image field always has its NUL, but a record
// whose identifier is not set yet is all zero.
struct ControllerName {
    char text[4];
    explicit ControllerName(const ControllerParams& controller) {
        std::memcpy(text, controller.CONTROLLER_ID, 3);
        text[3] = '\0';
    }
};

// A spec the codec could not use safely is refused for that field alone: the
// error is logged like the other field errors and the field stays undefined.
// Where the keys of the current field were read, for the notices.
struct FieldLines {
    int maxLen = 0;
    int lengthBytes = 0;
};

void CheckFieldSpec(ConfigLoad& load, const ControllerParams& controller, FieldSpec& spec,
                    int fieldNo, const FieldLines& lines) {
    ControllerName name(controller);
    const char* refusal = nullptr;
    int value = 0;
    int line = 0;
    if (spec.LENGTH_BYTES < 0 || spec.LENGTH_BYTES > MAX_LENGTH_BYTES) {
        refusal = "LENGTH_BYTES";
        value = spec.LENGTH_BYTES;
        line = lines.lengthBytes;
    } else if (spec.MAX_LEN < 0) {
        refusal = "MAX_LEN";
        value = spec.MAX_LEN;
        line = lines.maxLen;
    }
    if (refusal != nullptr) {
        SetError(0, 0);
        ADD_ERROR_TEXT("Invalid %s: %d Field: %d Ctrl: %s\n", refusal, value, fieldNo, name.text);
        WriteErrorLog();
        NoticeAt(load, line,
                 "field %d of %s: %s %d is refused (LENGTH_BYTES must be 0 to 3, MAX_LEN 0 or "
                 "more); the field is left undefined",
                 fieldNo, name.text, refusal, value);
        std::memset(&spec, 0, sizeof spec);
        return;
    }
    if (spec.LENGTH_BYTES > 0) {
        int widest = spec.LENGTH_BYTES == 1 ? 9 : spec.LENGTH_BYTES == 2 ? 99 : 999;
        if (spec.MAX_LEN > widest) {
            NoticeAt(load, lines.maxLen,
                     "field %d of %s: MAX_LEN %d needs more than %d length digits; values "
                     "longer than %d cannot be sent",
                     fieldNo, name.text, spec.MAX_LEN, spec.LENGTH_BYTES, widest);
        }
    }
    if (spec.MAX_LEN > MAX_MESSAGE_LENGTH) {
        NoticeAt(load, lines.maxLen,
                 "field %d of %s: MAX_LEN %d is longer than a whole message (%d bytes)", fieldNo,
                 name.text, spec.MAX_LEN, MAX_MESSAGE_LENGTH);
    }
}

int FailFieldSpecList(ConfigLoad& load, const char* notice) {
    WriteErrorLog();
    Notice(load, "%s; the rest of this <FIELD_SPEC_LIST> is passed over", notice);
    return -1;
}

}  // namespace

int ReadFieldSpecList(ConfigLoad& load, ControllerParams& controller) {
    FieldSpec* current = nullptr;
    int currentNo = 0;
    FieldLines lines;
    auto finishField = [&] {
        if (current != nullptr) {
            CheckFieldSpec(load, controller, *current, currentNo, lines);
        }
        current = nullptr;
        lines = FieldLines{};
    };
    while (NextTagLine(load)) {
        const char* tag = load.tag;
        if (tag[0] == '\0') {
            continue;
        }
        if (std::strcmp(tag, "/FIELD_SPEC_LIST") == 0) {
            finishField();
            return 0;
        }
        if (std::strcmp(tag, "FIELD") == 0 || std::strcmp(tag, "/FIELD") == 0) {
            finishField();
        } else if (std::strcmp(tag, "FIELD_NO") == 0) {
            finishField();
            int n = ConvertNumber(load.value);
            if (n < 1 || n > MAX_FIELD_NO) {
                ControllerName name(controller);
                SetError(0, 0);
                ADD_ERROR_TEXT("Invalid Field: %d Ctrl: %s\n", n, name.text);
                return FailFieldSpecList(load, "FIELD_NO is outside 1 to 128");
            }
            current = &controller.fields[n - 1];
            currentNo = n;
        } else if (std::strcmp(tag, "FIELD_NAME") == 0 || std::strcmp(tag, "MAX_LEN") == 0 ||
                   std::strcmp(tag, "LENGTH_BYTES") == 0) {
            if (current == nullptr) {
                ControllerName name(controller);
                SetError(0, 0);
                ADD_ERROR_TEXT("FieldNo unknown. Ctrl: %s\n", name.text);
                return FailFieldSpecList(load, "a key comes before any FIELD_NO of its field");
            }
            if (tag[0] == 'F') {
                StoreText(current->FIELD_NAME, sizeof current->FIELD_NAME - 1, load.value);
            } else if (tag[0] == 'M') {
                current->MAX_LEN = ConvertNumber(load.value);
                lines.maxLen = load.lines->lineNumber();
            } else {
                current->LENGTH_BYTES = ConvertNumber(load.value);
                lines.lengthBytes = load.lines->lineNumber();
            }
        } else {
            Notice(load, "unknown tag <%s> in <FIELD_SPEC_LIST>; passed over", tag);
        }
    }
    finishField();
    Notice(load,
           "<FIELD_SPEC_LIST> has no closing tag </FIELD_SPEC_LIST>; it ends at the end of "
           "the file");
    return 0;
}
