#include "dissector_lua.h"

#include <cstdio>
#include <initializer_list>
#include <string_view>

#include "dissector_template.h"
#include "vksoc/codec/emv_tags.h"
#include "vksoc/codec/ztr.h"
#include "vksoc/port/port.h"

namespace {

// Appends pieces one by one (g++ 12 misreads chains of operator+ on
// temporaries as overlapping copies).
void Append(std::string& out, std::initializer_list<std::string_view> pieces) {
    for (std::string_view piece : pieces) {
        out += piece;
    }
}

// A Lua string literal holding exactly these bytes.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char byte : text) {
        auto c = static_cast<unsigned char>(byte);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\%03u", c);
            out += escaped;
        }
    }
    return out + "\"";
}

std::string PortRange(const std::vector<int>& ports) {
    std::string text;
    for (int port : ports) {
        if (!text.empty()) {
            text += ',';
        }
        text += std::to_string(port);
    }
    return text;
}

std::string Bytes(const uint8_t* bytes, int count) {
    return Quoted(std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count)));
}

// The controller's link tags, each by the configuration's word for it.
void WriteLink(std::string& out, const LinkRecord& link) {
    Append(out, {"      link = { framing = ", Quoted(FramingTagName(LinkFraming(link))),
                 ", counts_itself = ", link.FRAMING_COUNTS_ITSELF != 0 ? "true" : "false",
                 ", tpdu = ", Bytes(link.TPDU, link.tpduLength),
                 ", trailer = ", Bytes(link.TRAILER, link.trailerLength), ",\n        keepalive = ",
                 Quoted(KeepAliveTagName(static_cast<KeepAliveTag>(link.KEEPALIVE))),
                 ", mti = ", Quoted(MtiEncodingName(static_cast<MtiEncoding>(link.MTI_ENCODING))),
                 ", bitmap = ",
                 Quoted(BitmapEncodingName(static_cast<BitmapEncoding>(link.BITMAP_ENCODING))),
                 ", code_page = ", Quoted(CodePageName(static_cast<CodePage>(link.CODE_PAGE))),
                 " },\n"});
}

// A controller without a link record is written exactly as before link
// records existed: its fields name no encoding.
void WriteController(std::string& out, const DissectorController& controller) {
    Append(out, {"    { id = ", Quoted(controller.id), ", key = ", Quoted(controller.key),
                 ", ztr = ", controller.ztr ? "true" : "false",
                 ", ports = ", Quoted(PortRange(controller.ports)), ",\n"});
    if (controller.hasLink) {
        WriteLink(out, controller.link);
    }
    out += "      fields = {\n";
    for (const DissectorElement& e : controller.elements) {
        Append(out, {"        [", std::to_string(e.fieldNo), "] = { ", Quoted(e.name), ", ",
                     std::to_string(e.maxLen), ", ", std::to_string(e.lengthBytes)});
        if (controller.hasLink) {
            Append(out, {", enc = ", Quoted(ValueEncodingName(e.encoding)),
                         ", len_enc = ", Quoted(LengthEncodingName(e.lengthEncoding))});
            if (e.tlv) {
                out += ", tlv = true";
            }
        }
        out += " },\n";
    }
    out += "      } },\n";
}

void WriteEmvTags(std::string& out) {
    out += "  emv_tags = {\n";
    for (int i = 0; i < EmvTagCount(); ++i) {
        const char* name = nullptr;
        const uint32_t tag = EmvTagAt(i, &name);
        char hex[9];
        std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(tag));
        Append(out, {"    { ", Quoted(hex), ", ", Quoted(name), " },\n"});
    }
    out += "  },\n";
}

void WriteZtr(std::string& out) {
    out += "  ztr = {\n    separator = ";
    out += std::to_string(ZTR_FS);
    out += ", version = ";
    out += Quoted(ZTR_VERSION);
    out += ", max_fields = ";
    out += std::to_string(ZTR_MAX_FIELDS);
    out += ",\n    names = {\n";
    for (const ZtrFieldDef* row = ZtrFieldTable; row->fieldNo != 0; ++row) {
        out += "      [";
        out += std::to_string(row->fieldNo);
        out += "] = ";
        out += Quoted(row->name);
        out += ",\n";
    }
    out += "    },\n    hash_key_fields = {";
    for (int n : HASH_KEY_FIELDS) {
        out += ' ';
        out += std::to_string(n);
        out += ',';
    }
    out += " },\n  },\n";
}

}  // namespace

std::string DissectorLua(const DissectorModel& model, const std::string& source) {
    std::string out;
    Append(out, {"-- VELK Tester traffic: a Wireshark dissector written by velkctl dissector from\n"
                 "-- ",
                 source,
                 ". Regenerate it when the configuration changes.\n"
                 "--   tshark -X lua_script:velk.lua ...   or copy it into the personal Lua\n"
                 "--   plugins folder (Wireshark: Help > About > Folders).\n\n"
                 "local VELK = {\n  header_length = ",
                 std::to_string(model.headerLength),
                 ",\n  max_header_length = ", std::to_string(MAX_HEADER_LENGTH),
                 ",\n  max_message_length = ", std::to_string(MAX_MESSAGE_LENGTH),
                 ",\n  controllers = {\n"});
    bool ztr = false;
    bool tlv = false;
    for (const DissectorController& controller : model.controllers) {
        WriteController(out, controller);
        ztr = ztr || controller.ztr;
        for (const DissectorElement& e : controller.elements) {
            tlv = tlv || e.tlv;
        }
    }
    out += "  },\n";
    if (ztr) {
        WriteZtr(out);
    }
    if (tlv) {
        WriteEmvTags(out);
    }
    out += "}\n\n";
    out += DISSECTOR_TEMPLATE;
    return out;
}
