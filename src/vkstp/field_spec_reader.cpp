// The field-spec list of one controller: FIELD records selected by FIELD_NO.

#include <cstdint>
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
    int fieldNo = 0;
    int maxLen = 0;
    int lengthBytes = 0;
};

// Fields of one list left without a MAX_LEN (or with MAX_LEN 0) when their
// keys end: told once the list is read, since a later FIELD_NO of the same
// field may still give one.
struct UndefinedFields {
    int line[MAX_FIELD_NO + 1] = {};   // 0: nothing to tell
    bool zero[MAX_FIELD_NO + 1] = {};  // MAX_LEN 0 was written, not left out

    // kept: false for a spec refused (and told) already.
    void Note(const FieldSpec& spec, int fieldNo, const FieldLines& lines, bool kept) {
        const bool undefined = kept && spec.MAX_LEN == 0;
        line[fieldNo] = undefined ? (lines.maxLen > 0 ? lines.maxLen : lines.fieldNo) : 0;
        zero[fieldNo] = lines.maxLen > 0;
    }
    void Tell(const ConfigLoad& load, const ControllerParams& controller) const {
        ControllerName name(controller);
        for (int n = 1; n <= MAX_FIELD_NO; ++n) {
            if (line[n] != 0) {
                NoticeAt(load, line[n],
                         "field %d of %s has %s: the field stays undefined, and the responder "
                         "treats it as unknown",
                         n, name.text, zero[n] ? "MAX_LEN 0" : "no MAX_LEN");
            }
        }
    }
};

// Returns false when the field spec was refused and cleared.
bool CheckFieldSpec(ConfigLoad& load, const ControllerParams& controller, FieldSpec& spec,
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
        load.pendingLink.fields[fieldNo - 1] = LinkField{};
        return false;
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
    return true;
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
    // The line that first selected each field of this list, for the notice
    // about a field given twice.
    int selectedAt[MAX_FIELD_NO + 1] = {};
    UndefinedFields undefined;
    auto finishField = [&] {
        if (current != nullptr) {
            const bool kept = CheckFieldSpec(load, controller, *current, currentNo, lines);
            undefined.Note(*current, currentNo, lines, kept);
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
            undefined.Tell(load, controller);
            return 0;
        }
        if (std::strcmp(tag, "FIELD") == 0 || std::strcmp(tag, "/FIELD") == 0) {
            finishField();
        } else if (std::strcmp(tag, "FIELD_NO") == 0) {
            finishField();
            int n = ConvertNumber(load.value);
            NoticeNumberValue(load, "FIELD_NO", n, INT32_MIN, INT32_MAX);
            if (n < 1 || n > MAX_FIELD_NO) {
                ControllerName name(controller);
                SetError(0, 0);
                ADD_ERROR_TEXT("Invalid Field: %d Ctrl: %s\n", n, name.text);
                undefined.Tell(load, controller);
                return FailFieldSpecList(load, "FIELD_NO is outside 1 to 128");
            }
            current = &controller.fields[n - 1];
            currentNo = n;
            const int line = load.lines->lineNumber();
            lines.fieldNo = line;
            ControllerName name(controller);
            if (selectedAt[n] != 0) {
                Notice(load,
                       "field %d of %s is given again (first at line %d): the keys given here "
                       "replace those given there, the others keep their earlier values",
                       n, name.text, selectedAt[n]);
            } else {
                selectedAt[n] = line;
            }
            if (n == 1) {
                Notice(load,
                       "field 1 of %s is the secondary bitmap, which the codec makes itself: "
                       "no message carries a value of it (a value typed for it is never sent)",
                       name.text);
            }
        } else if (std::strcmp(tag, "FIELD_NAME") == 0 || std::strcmp(tag, "MAX_LEN") == 0 ||
                   std::strcmp(tag, "LENGTH_BYTES") == 0) {
            if (current == nullptr) {
                ControllerName name(controller);
                SetError(0, 0);
                ADD_ERROR_TEXT("FieldNo unknown. Ctrl: %s\n", name.text);
                undefined.Tell(load, controller);
                return FailFieldSpecList(load, "a key comes before any FIELD_NO of its field");
            }
            if (tag[0] == 'F') {
                StoreText(current->FIELD_NAME, sizeof current->FIELD_NAME - 1, load.value);
                NoticeTextValue(load, tag, sizeof current->FIELD_NAME - 1);
            } else if (tag[0] == 'M') {
                current->MAX_LEN = ConvertNumber(load.value);
                NoticeNumberValue(load, tag, current->MAX_LEN, INT32_MIN, INT32_MAX);
                lines.maxLen = load.lines->lineNumber();
            } else {
                current->LENGTH_BYTES = ConvertNumber(load.value);
                NoticeNumberValue(load, tag, current->LENGTH_BYTES, INT32_MIN, INT32_MAX);
                lines.lengthBytes = load.lines->lineNumber();
            }
        } else if (IsLinkFieldTag(tag)) {
            if (current == nullptr) {
                ControllerName name(controller);
                SetError(0, 0);
                ADD_ERROR_TEXT("FieldNo unknown. Ctrl: %s\n", name.text);
                undefined.Tell(load, controller);
                return FailFieldSpecList(load, "a key comes before any FIELD_NO of its field");
            }
            ReadLinkFieldTag(load, controller, currentNo);
        } else {
            Notice(load, "unknown tag <%s> in <FIELD_SPEC_LIST>; passed over", tag);
        }
    }
    finishField();
    undefined.Tell(load, controller);
    Notice(load,
           "<FIELD_SPEC_LIST> has no closing tag </FIELD_SPEC_LIST>; it ends at the end of "
           "the file");
    return 0;
}
