// The link tags of a controller: its framing, TPDU, trailer, keep-alives and
// encodings, each field's encodings, type and format, and its message rules.
// A value the reader does not know stops the load once the whole file is
// read: a link read wrongly would frame or decode every message wrongly.

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "diag/error_log.h"
#include "diag/error_state.h"
#include "vkstp/config_load.h"

namespace {

struct Name {
    char text[4];
    explicit Name(const ControllerParams& controller) {
        std::memcpy(text, controller.CONTROLLER_ID, 3);
        text[3] = '\0';
    }
};

// The value without the white space around it.
struct Word {
    char text[LINE_SIZE];
    explicit Word(const char* value) {
        while (*value == ' ' || *value == '\t') {
            ++value;
        }
        size_t n = std::strlen(value);
        while (n > 0 && (value[n - 1] == ' ' || value[n - 1] == '\t' || value[n - 1] == '\r')) {
            --n;
        }
        std::memcpy(text, value, n);
        text[n] = '\0';
    }
};

bool SameWord(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (std::toupper(static_cast<unsigned char>(*a)) !=
            std::toupper(static_cast<unsigned char>(*b))) {
            return false;
        }
    }
    return *a == *b;
}

void Refuse(ConfigLoad& load, const ControllerParams& controller, const char* what,
            const char* detail) {
    Name name(controller);
    const int line = load.lines->lineNumber();
    SetError(0, 0);
    ADD_ERROR_TEXT("velk.cfg line %d: %s of %s is refused: %s\n", line, what, name.text, detail);
    WriteErrorLog();
    Notice(load, "%s of %s is refused: %s; the configuration is not loaded", what, name.text,
           detail);
    load.linkRefused = true;
}

// The index of `word` among the names a name function gives (case ignored),
// or -1. Names past the last are null.
template <typename Enum>
int WordIndex(const char* (*names)(Enum), const char* word, bool emptyAllowed) {
    for (int i = 0;; ++i) {
        const char* name = names(static_cast<Enum>(i));
        if (name == nullptr) {
            return -1;
        }
        if ((name[0] != '\0' || emptyAllowed) && SameWord(name, word)) {
            return i;
        }
    }
}

template <typename Enum>
void StoreWord(ConfigLoad& load, const ControllerParams& controller, const char* what,
               const char* (*names)(Enum), uint8_t& out) {
    Word word(load.value);
    const int index = WordIndex(names, word.text, false);
    if (index < 0) {
        char detail[LINE_SIZE + 128];
        std::snprintf(detail, sizeof detail, "<%.32s>%.64s is not one of:", load.tag, word.text);
        for (int i = 0;; ++i) {
            const char* name = names(static_cast<Enum>(i));
            if (name == nullptr) {
                break;
            }
            if (name[0] != '\0' && std::strlen(detail) + std::strlen(name) + 2 < sizeof detail) {
                std::strcat(detail, " ");
                std::strcat(detail, name);
            }
        }
        Refuse(load, controller, what, detail);
        return;
    }
    out = static_cast<uint8_t>(index);
    load.pendingLinkUsed = true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Hexadecimal bytes (white space between them allowed) into out; the number
// of bytes, or -1 for an odd digit count, a non-hex character or more than
// `room` bytes.
int ParseHexBytes(const char* text, uint8_t* out, int room) {
    int count = 0;
    int high = -1;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == ' ' || *p == '\t') {
            if (high >= 0) {
                return -1;
            }
            continue;
        }
        const int digit = HexDigit(*p);
        if (digit < 0) {
            return -1;
        }
        if (high < 0) {
            high = digit;
            continue;
        }
        if (count == room) {
            return -1;
        }
        out[count++] = static_cast<uint8_t>(high * 16 + digit);
        high = -1;
    }
    return high >= 0 ? -1 : count;
}

void ReadTpdu(ConfigLoad& load, const ControllerParams& controller) {
    Word word(load.value);
    uint8_t bytes[TPDU_LENGTH];
    if (std::strlen(word.text) != 2 * TPDU_LENGTH ||
        ParseHexBytes(word.text, bytes, TPDU_LENGTH) != TPDU_LENGTH) {
        Refuse(load, controller, "TPDU", "a TPDU is 10 hexadecimal digits (5 bytes)");
        return;
    }
    std::memcpy(load.pendingLink.TPDU, bytes, sizeof bytes);
    load.pendingLink.tpduLength = TPDU_LENGTH;
    load.pendingLinkUsed = true;
}

void ReadTrailer(ConfigLoad& load, const ControllerParams& controller) {
    Word word(load.value);
    uint8_t bytes[MAX_TRAILER_LENGTH];
    const int count = ParseHexBytes(word.text, bytes, MAX_TRAILER_LENGTH);
    if (count < 1) {
        Refuse(load, controller, "TRAILER", "a trailer is 1 to 8 bytes in hexadecimal, e.g. 03");
        return;
    }
    std::memcpy(load.pendingLink.TRAILER, bytes, static_cast<size_t>(count));
    load.pendingLink.trailerLength = static_cast<uint8_t>(count);
    load.pendingLinkUsed = true;
}

void ReadCountsItself(ConfigLoad& load, const ControllerParams& controller) {
    Word word(load.value);
    if (SameWord(word.text, "Y") || SameWord(word.text, "N")) {
        load.pendingLink.FRAMING_COUNTS_ITSELF = SameWord(word.text, "Y") ? 1 : 0;
        load.pendingLinkUsed = true;
        return;
    }
    Refuse(load, controller, "FRAMING_COUNTS_ITSELF", "the value is Y or N");
}

// Field numbers 2 to 128 separated by white space or commas into set.
bool ParseFieldList(const char* text, FieldSet& set) {
    const char* p = text;
    while (*p != '\0') {
        if (*p == ' ' || *p == '\t' || *p == ',' || *p == '\r') {
            ++p;
            continue;
        }
        if (*p < '0' || *p > '9') {
            return false;
        }
        int n = 0;
        while (*p >= '0' && *p <= '9') {
            n = n * 10 + (*p - '0');
            if (n > MAX_FIELD_NO) {
                return false;
            }
            ++p;
        }
        if (n < 2) {
            return false;
        }
        FieldSetAdd(set, n);
    }
    return true;
}

}  // namespace

bool IsLinkControllerTag(const char* tag) {
    static constexpr const char* kTags[] = {
        "FRAMING",      "FRAMING_COUNTS_ITSELF", "TPDU",     "TRAILER", "KEEPALIVE",
        "MTI_ENCODING", "BITMAP_ENCODING",       "CODE_PAGE"};
    for (const char* name : kTags) {
        if (std::strcmp(name, tag) == 0) {
            return true;
        }
    }
    return false;
}

bool IsLinkFieldTag(const char* tag) {
    return std::strcmp(tag, "ENCODING") == 0 || std::strcmp(tag, "LENGTH_ENCODING") == 0 ||
           std::strcmp(tag, "FIELD_TYPE") == 0 || std::strcmp(tag, "FIELD_FORMAT") == 0;
}

void ReadLinkControllerTag(ConfigLoad& load, const ControllerParams& controller) {
    LinkRecord& link = load.pendingLink;
    const char* tag = load.tag;
    if (std::strcmp(tag, "FRAMING") == 0) {
        StoreWord(load, controller, "FRAMING", FramingTagName, link.FRAMING);
    } else if (std::strcmp(tag, "FRAMING_COUNTS_ITSELF") == 0) {
        ReadCountsItself(load, controller);
    } else if (std::strcmp(tag, "TPDU") == 0) {
        ReadTpdu(load, controller);
    } else if (std::strcmp(tag, "TRAILER") == 0) {
        ReadTrailer(load, controller);
    } else if (std::strcmp(tag, "KEEPALIVE") == 0) {
        StoreWord(load, controller, "KEEPALIVE", KeepAliveTagName, link.KEEPALIVE);
    } else if (std::strcmp(tag, "MTI_ENCODING") == 0) {
        StoreWord(load, controller, "MTI_ENCODING", MtiEncodingName, link.MTI_ENCODING);
    } else if (std::strcmp(tag, "BITMAP_ENCODING") == 0) {
        StoreWord(load, controller, "BITMAP_ENCODING", BitmapEncodingName, link.BITMAP_ENCODING);
    } else if (std::strcmp(tag, "CODE_PAGE") == 0) {
        StoreWord(load, controller, "CODE_PAGE", CodePageName, link.CODE_PAGE);
    }
}

void ReadLinkFieldTag(ConfigLoad& load, const ControllerParams& controller, int fieldNo) {
    LinkField& field = load.pendingLink.fields[fieldNo - 1];
    char what[64];
    std::snprintf(what, sizeof what, "%.20s of field %d", load.tag, fieldNo);
    const char* tag = load.tag;
    if (std::strcmp(tag, "ENCODING") == 0) {
        StoreWord(load, controller, what, ValueEncodingName, field.ENCODING);
    } else if (std::strcmp(tag, "LENGTH_ENCODING") == 0) {
        StoreWord(load, controller, what, LengthEncodingName, field.LENGTH_ENCODING);
    } else if (std::strcmp(tag, "FIELD_TYPE") == 0) {
        // The ISO 8583 type letters are lower case; a type is one of a few
        // exact words.
        Word word(load.value);
        bool known = false;
        for (int i = 1; FieldTypeName(static_cast<FieldType>(i)) != nullptr && !known; ++i) {
            if (std::strcmp(FieldTypeName(static_cast<FieldType>(i)), word.text) == 0) {
                field.FIELD_TYPE = static_cast<uint8_t>(i);
                known = true;
            }
        }
        if (!known) {
            Refuse(load, controller, what,
                   "the type is one of: n a an ans ns as b z xn (lower case)");
            return;
        }
        load.pendingLinkUsed = true;
    } else if (std::strcmp(tag, "FIELD_FORMAT") == 0) {
        StoreWord(load, controller, what, FieldFormatName, field.FIELD_FORMAT);
    }
}

void ReadMessageRuleList(ConfigLoad& load, const ControllerParams& controller) {
    LinkRecord& link = load.pendingLink;
    MessageRule* rule = nullptr;
    bool full = false;
    while (NextTagLine(load)) {
        const char* tag = load.tag;
        if (tag[0] == '\0') {
            continue;
        }
        if (std::strcmp(tag, "/MESSAGE_RULE_LIST") == 0) {
            return;
        }
        if (std::strcmp(tag, "MESSAGE_RULE") == 0) {
            rule = nullptr;
            if (link.ruleCount == MAX_MESSAGE_RULES) {
                if (!full) {
                    Refuse(load, controller, "MESSAGE_RULE_LIST",
                           "a controller has at most 16 message rules");
                }
                full = true;
                continue;
            }
            rule = &link.rules[link.ruleCount++];
            std::memset(rule, 0, sizeof *rule);
            load.pendingLinkUsed = true;
        } else if (std::strcmp(tag, "/MESSAGE_RULE") == 0) {
            if (rule != nullptr && rule->MTI[0] == '\0') {
                Refuse(load, controller, "MESSAGE_RULE", "a message rule needs its <MTI>");
            }
            rule = nullptr;
        } else if (std::strcmp(tag, "MTI") == 0 || std::strcmp(tag, "MANDATORY") == 0 ||
                   std::strcmp(tag, "OPTIONAL") == 0) {
            if (rule == nullptr) {
                if (!full) {
                    Refuse(load, controller, "MESSAGE_RULE_LIST",
                           "<MTI>, <MANDATORY> and <OPTIONAL> go inside a <MESSAGE_RULE>");
                }
                continue;
            }
            Word word(load.value);
            if (tag[0] == 'M' && tag[1] == 'T') {
                const bool digits =
                    std::strlen(word.text) == 4 && std::strspn(word.text, "0123456789") == 4;
                if (!digits) {
                    Refuse(load, controller, "MESSAGE_RULE", "an MTI is 4 digits");
                    continue;
                }
                std::memcpy(rule->MTI, word.text, 4);
            } else {
                FieldSet& set = tag[0] == 'M' ? rule->mandatory : rule->optional;
                if (!ParseFieldList(word.text, set)) {
                    Refuse(load, controller, "MESSAGE_RULE",
                           "a field list holds field numbers 2 to 128");
                    continue;
                }
                if (tag[0] == 'O') {
                    rule->hasOptional = 1;
                }
            }
        } else {
            Notice(load, "unknown tag <%s> in <MESSAGE_RULE_LIST>; passed over", tag);
        }
    }
    Notice(load,
           "<MESSAGE_RULE_LIST> has no closing tag </MESSAGE_RULE_LIST>; it ends at the end of "
           "the file");
}

void CloseLinkRecord(ConfigLoad& load, const ControllerParams& controller,
                     const ControllerParams* controllers, int closedIndex) {
    const bool used = load.pendingLinkUsed;
    load.pendingLinkUsed = false;
    if (!used) {
        return;
    }
    for (int i = 0; i < closedIndex; ++i) {
        if (std::strncmp(controllers[i].CONTROLLER_ID, controller.CONTROLLER_ID, 3) == 0) {
            Name name(controller);
            Notice(load,
                   "controller %s is given again: its link tags are passed over, as the "
                   "responder uses the first controller of an identifier",
                   name.text);
            return;
        }
    }
    if (load.linkCount == MAX_LINK_RECORDS) {
        return;  // more controllers than fit in the image: the load fails anyway
    }
    LinkRecord& kept = load.links[load.linkCount++];
    kept = load.pendingLink;
    std::memcpy(kept.CONTROLLER_ID, controller.CONTROLLER_ID, sizeof kept.CONTROLLER_ID);
}

int WriteLinkTable(ConfigLoad& load) {
    load.header.linkOffset = 0;
    load.header.linkCount = 0;
    if (load.linkCount == 0) {
        return 0;
    }
    const long long size =
        static_cast<long long>(load.linkCount) * static_cast<long long>(sizeof(LinkRecord));
    if (load.writePosition + size > CONFIG_IMAGE_SIZE) {
        SetError(0, 0);
        ADD_ERROR_TEXT(
            "vkstp: the link records of %d controllers (%lld bytes) do not fit in the "
            "%d-byte configuration image\n",
            load.linkCount, size, CONFIG_IMAGE_SIZE);
        WriteErrorLog();
        NoticeAt(load, 0,
                 "the link records of %d controllers (%lld bytes) do not fit in the %d-byte "
                 "image behind the tables; the configuration is not loaded",
                 load.linkCount, size, CONFIG_IMAGE_SIZE);
        return -1;
    }
    std::memcpy(load.image + load.writePosition, load.links, static_cast<size_t>(size));
    load.header.linkOffset = load.writePosition;
    load.header.linkCount = load.linkCount;
    load.writePosition += static_cast<int>(size);
    return 0;
}
