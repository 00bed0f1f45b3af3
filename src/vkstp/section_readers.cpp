// The section readers: each section is a table of tag -> action with the
// record field's offset and width, run by one loop.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "vkstp/config_load.h"
#include "vkstp/config_values.h"

namespace {

enum class Action {
    Text,
    Number,
    Number16,
    Character,
    OpenRecord,
    CloseRecord,
    ClearFieldSpecs,
    FieldSpecList,
    LinkTag,          // a controller-level link tag (link_reader.cpp)
    MessageRuleList,  // <MESSAGE_RULE_LIST> of a controller
};

struct KeyRule {
    const char* tag;
    Action action;
    size_t offset;
    int width;  // characters of a text field (without its NUL)
};

struct SectionRules {
    const char* name;     // "SOL_LIST"
    const char* closing;  // "/SOL_LIST"
    int recordSize;
    int32_t ConfigHeader::*count;  // null: MISCELLANEOUS, one record, no count
    int32_t ConfigHeader::*offset;
    std::span<const KeyRule> keys;
    // Tags passed over without a notice (what is left of a field-spec list
    // after a field error).
    std::span<const char* const> quiet;
    bool linked = false;  // the controller list: its records may have link records
};

constexpr KeyRule kSolKeys[] = {
    {"SOL", Action::OpenRecord, 0, 0},
    {"SOL_ID", Action::Text, offsetof(SolRecord, SOL_ID), 8},
    {"DC_ID", Action::Text, offsetof(SolRecord, DC_ID), 2},
    {"/SOL", Action::CloseRecord, 0, 0},
};

constexpr KeyRule kServerKeys[] = {
    {"SERVER", Action::OpenRecord, 0, 0},
    {"DC_ID", Action::Text, offsetof(DcServerRecord, DC_ID), 2},
    {"IP_ADDRESS", Action::Text, offsetof(DcServerRecord, IP_ADDRESS), 15},
    {"PORT", Action::Number16, offsetof(DcServerRecord, PORT), 0},
    {"/SERVER", Action::CloseRecord, 0, 0},
};

constexpr KeyRule kMiscKeys[] = {
    {"HOST_TIMEOUT", Action::Number, offsetof(MiscRecord, HOST_TIMEOUT), 0},
    {"READ_TIMEOUT", Action::Number, offsetof(MiscRecord, READ_TIMEOUT), 0},
    {"UPLOAD_TIMEOUT", Action::Number, offsetof(MiscRecord, UPLOAD_TIMEOUT), 0},
    {"SWITCH_TIMEOUT", Action::Number, offsetof(MiscRecord, SWITCH_TIMEOUT), 0},
    {"TRACE_FLAG", Action::Character, offsetof(MiscRecord, TRACE_FLAG), 0},
};

constexpr KeyRule kNwMiscKeys[] = {
    {"NETWORK_MISCELLANEOUS", Action::OpenRecord, 0, 0},
    {"DC_ID", Action::Text, offsetof(NwMiscRecord, DC_ID), 2},
    {"CONTROLLER_ID", Action::Text, offsetof(NwMiscRecord, CONTROLLER_ID), 3},
    {"UPLOAD_IP_ADDR", Action::Text, offsetof(NwMiscRecord, UPLOAD_IP_ADDR), 15},
    {"UPLOAD_PORT", Action::Number16, offsetof(NwMiscRecord, UPLOAD_PORT), 0},
    {"SWITCH_IP_ADDR", Action::Text, offsetof(NwMiscRecord, SWITCH_IP_ADDR), 15},
    {"SWITCH_PORT", Action::Number16, offsetof(NwMiscRecord, SWITCH_PORT), 0},
    {"/NETWORK_MISCELLANEOUS", Action::CloseRecord, 0, 0},
};

constexpr KeyRule kControllerKeys[] = {
    {"CONTROLLER_PARAMS", Action::ClearFieldSpecs, 0, 0},
    {"CONTROLLER_ID", Action::Text, offsetof(ControllerParams, CONTROLLER_ID), 3},
    {"FIELD_SPEC_LIST", Action::FieldSpecList, 0, 0},
    {"FRAMING", Action::LinkTag, 0, 0},
    {"FRAMING_COUNTS_ITSELF", Action::LinkTag, 0, 0},
    {"TPDU", Action::LinkTag, 0, 0},
    {"TRAILER", Action::LinkTag, 0, 0},
    {"KEEPALIVE", Action::LinkTag, 0, 0},
    {"MTI_ENCODING", Action::LinkTag, 0, 0},
    {"BITMAP_ENCODING", Action::LinkTag, 0, 0},
    {"CODE_PAGE", Action::LinkTag, 0, 0},
    {"MESSAGE_RULE_LIST", Action::MessageRuleList, 0, 0},
    {"/CONTROLLER_PARAMS", Action::CloseRecord, 0, 0},
};

constexpr const char* kFieldSpecTags[] = {
    "FIELD",    "/FIELD",          "FIELD_NO",   "FIELD_NAME",   "MAX_LEN",         "LENGTH_BYTES",
    "ENCODING", "LENGTH_ENCODING", "FIELD_TYPE", "FIELD_FORMAT", "/FIELD_SPEC_LIST"};

const KeyRule* FindRule(std::span<const KeyRule> keys, const char* tag) {
    for (const KeyRule& rule : keys) {
        if (std::strcmp(rule.tag, tag) == 0) {
            return &rule;
        }
    }
    return nullptr;
}

bool IsQuiet(std::span<const char* const> quiet, const char* tag) {
    for (const char* name : quiet) {
        if (std::strcmp(name, tag) == 0) {
            return true;
        }
    }
    return false;
}

void StoreInt32(unsigned char* field, int32_t value) {
    std::memcpy(field, &value, sizeof value);
}

void StoreInt16(unsigned char* field, uint16_t value) {
    std::memcpy(field, &value, sizeof value);
}

// A record begins empty. Its bytes may still hold an earlier table that a
// repeated section left unreferenced, or a record that was never closed;
// keys the file leaves out must not take their values from those.
void ClearRecordAt(ConfigLoad& load, long long offset, int recordSize) {
    if (offset + recordSize <= CONFIG_IMAGE_SIZE) {
        std::memset(load.image + offset, 0, static_cast<size_t>(recordSize));
    }
}

int ReadSection(ConfigLoad& load, const SectionRules& rules) {
    ConfigHeader& header = load.header;
    bool isList = rules.count != nullptr;
    if (header.*rules.offset != 0) {
        Notice(load, "<%s> occurs again: its table replaces the earlier one", rules.name);
    }
    int32_t count = 0;
    if (isList) {
        header.*rules.count = 0;
    }
    header.*rules.offset = load.writePosition;
    ClearRecordAt(load, load.writePosition, rules.recordSize);
    bool recordOpen = false;
    bool keysPending = false;  // keys written into a record not yet counted
    bool closed = false;

    while (!closed && NextTagLine(load)) {
        if (std::strcmp(load.tag, rules.closing) == 0) {
            closed = true;
            break;
        }
        if (load.tag[0] == '\0') {
            continue;
        }
        const KeyRule* rule = FindRule(rules.keys, load.tag);
        if (rule == nullptr) {
            if (!IsQuiet(rules.quiet, load.tag)) {
                Notice(load, "unknown tag <%s> in <%s>; passed over", load.tag, rules.name);
            }
            continue;
        }
        if (rule->action == Action::OpenRecord) {
            recordOpen = true;
            continue;
        }
        // Every other action writes or counts the record being built, which
        // must lie wholly inside the image.
        long long recordOffset =
            load.writePosition + static_cast<long long>(count) * rules.recordSize;
        unsigned char* record = RecordAt(load, recordOffset, rules.recordSize);
        if (record == nullptr) {
            return -1;
        }
        if (isList && !recordOpen && rule->action != Action::ClearFieldSpecs &&
            rule->action != Action::CloseRecord) {
            Notice(load, "<%s> outside a record; it goes into the record being built", load.tag);
        }
        switch (rule->action) {
            case Action::OpenRecord:
                break;
            case Action::Text:
                StoreText(reinterpret_cast<char*>(record + rule->offset), rule->width, load.value);
                NoticeTextValue(load, rule->tag, rule->width);
                keysPending = true;
                break;
            case Action::Number: {
                const int32_t number = ConvertNumber(load.value);
                StoreInt32(record + rule->offset, number);
                NoticeNumberValue(load, rule->tag, number, INT32_MIN, INT32_MAX);
                keysPending = true;
                break;
            }
            case Action::Number16: {
                const uint16_t number = ConvertNumber16(load.value);
                StoreInt16(record + rule->offset, number);
                NoticeNumberValue(load, rule->tag, number, 0, UINT16_MAX);
                keysPending = true;
                break;
            }
            case Action::Character:
                record[rule->offset] = static_cast<unsigned char>(ConvertCharacter(load.value));
                NoticeTextValue(load, rule->tag, 1);
                keysPending = true;
                break;
            case Action::ClearFieldSpecs: {
                auto* controller = reinterpret_cast<ControllerParams*>(record);
                std::memset(controller->fields, 0, sizeof controller->fields);
                load.pendingLink = LinkRecord{};
                load.pendingLinkUsed = false;
                recordOpen = true;
                break;
            }
            case Action::LinkTag:
                ReadLinkControllerTag(load, *reinterpret_cast<ControllerParams*>(record));
                keysPending = true;
                break;
            case Action::MessageRuleList:
                ReadMessageRuleList(load, *reinterpret_cast<ControllerParams*>(record));
                keysPending = true;
                break;
            case Action::FieldSpecList:
                ReadFieldSpecList(load, *reinterpret_cast<ControllerParams*>(record));
                keysPending = true;
                break;
            case Action::CloseRecord:
                if (rules.linked) {
                    CloseLinkRecord(
                        load, *reinterpret_cast<ControllerParams*>(record),
                        reinterpret_cast<const ControllerParams*>(load.image + load.writePosition),
                        count);
                }
                ++count;
                header.*rules.count = count;
                recordOpen = false;
                keysPending = false;
                ClearRecordAt(load, recordOffset + rules.recordSize, rules.recordSize);
                break;
        }
    }
    if (!closed) {
        Notice(load, "<%s> has no closing tag <%s>; it ends at the end of the file", rules.name,
               rules.closing);
        if (isList && (recordOpen || keysPending)) {
            Notice(load, "a record of <%s> was not closed and is not counted", rules.name);
        }
    }
    // The one MiscRecord takes its room whatever the section contained.
    if (!isList && RecordAt(load, load.writePosition, rules.recordSize) == nullptr) {
        return -1;
    }
    load.writePosition += (isList ? count : 1) * rules.recordSize;
    return 0;
}

// One DcIdRecord per distinct DC_ID of the server table just read, in the
// order of first appearance, directly behind the servers.
int BuildDcIdTable(ConfigLoad& load) {
    ConfigHeader& header = load.header;
    header.dcCount = 0;
    header.dcOffset = load.writePosition;
    const auto* servers = reinterpret_cast<const DcServerRecord*>(load.image + header.serverOffset);
    for (int32_t s = 0; s < header.serverCount; ++s) {
        const char* dcId = servers[s].DC_ID;
        auto* table = reinterpret_cast<DcIdRecord*>(load.image + header.dcOffset);
        bool known = false;
        for (int32_t d = 0; d < header.dcCount && !known; ++d) {
            known = std::strncmp(table[d].DC_ID, dcId, sizeof table[d].DC_ID) == 0;
        }
        if (known) {
            continue;
        }
        unsigned char* record =
            RecordAt(load,
                     header.dcOffset + static_cast<long long>(header.dcCount) *
                                           static_cast<long long>(sizeof(DcIdRecord)),
                     sizeof(DcIdRecord));
        if (record == nullptr) {
            return -1;
        }
        auto* entry = reinterpret_cast<DcIdRecord*>(record);
        std::memcpy(entry->DC_ID, dcId, sizeof entry->DC_ID);
        entry->status = 'N';
        ++header.dcCount;
    }
    load.writePosition += header.dcCount * static_cast<int>(sizeof(DcIdRecord));
    return 0;
}

constexpr SectionRules kSolList{
    "SOL_LIST", "/SOL_LIST", sizeof(SolRecord), &ConfigHeader::solCount, &ConfigHeader::solOffset,
    kSolKeys,   {}};
constexpr SectionRules kServerList{"DC_SERVER_LIST",
                                   "/DC_SERVER_LIST",
                                   sizeof(DcServerRecord),
                                   &ConfigHeader::serverCount,
                                   &ConfigHeader::serverOffset,
                                   kServerKeys,
                                   {}};
constexpr SectionRules kMisc{"MISCELLANEOUS",
                             "/MISCELLANEOUS",
                             sizeof(MiscRecord),
                             nullptr,
                             &ConfigHeader::miscOffset,
                             kMiscKeys,
                             {}};
constexpr SectionRules kNwMiscList{"NW_MISC_LIST",
                                   "/NW_MISC_LIST",
                                   sizeof(NwMiscRecord),
                                   &ConfigHeader::nwMiscCount,
                                   &ConfigHeader::nwMiscOffset,
                                   kNwMiscKeys,
                                   {}};
constexpr SectionRules kControllerList{"CONTROLLER_PARAMS_LIST",
                                       "/CONTROLLER_PARAMS_LIST",
                                       sizeof(ControllerParams),
                                       &ConfigHeader::controllerCount,
                                       &ConfigHeader::controllerOffset,
                                       kControllerKeys,
                                       kFieldSpecTags,
                                       true};

}  // namespace

int ReadSolList(ConfigLoad& load) {
    return ReadSection(load, kSolList);
}

int ReadDcServerList(ConfigLoad& load) {
    if (ReadSection(load, kServerList) != 0) {
        return -1;
    }
    return BuildDcIdTable(load);
}

int ReadMiscellaneous(ConfigLoad& load) {
    return ReadSection(load, kMisc);
}

int ReadNwMiscList(ConfigLoad& load) {
    return ReadSection(load, kNwMiscList);
}

int ReadControllerList(ConfigLoad& load) {
    // A list given again replaces the earlier one, and its link records.
    load.linkCount = 0;
    load.pendingLink = LinkRecord{};
    load.pendingLinkUsed = false;
    return ReadSection(load, kControllerList);
}
