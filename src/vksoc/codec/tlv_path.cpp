#include "vksoc/codec/tlv_path.h"

#include "vksoc/codec/hex_value.h"

namespace {

// One tag of a path: whole bytes of hexadecimal that form exactly one BER tag.
bool ParseTag(std::string_view text, uint32_t* tag, uint8_t* tagBytes) {
    if (text.empty() || text.size() % 2 != 0 || text.size() > 2 * TLV_MAX_TAG_BYTES) {
        return false;
    }
    const size_t bytes = text.size() / 2;
    uint32_t value = 0;
    for (size_t i = 0; i < bytes; ++i) {
        const int high = HexDigitValue(text[2 * i]);
        const int low = HexDigitValue(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        const auto byte = static_cast<uint32_t>(high * 16 + low);
        if (i == 0) {
            // Zero is padding; a first byte without the low five bits set is
            // a whole tag.
            if (byte == 0 || (((byte & 0x1Fu) == 0x1Fu) != (bytes > 1))) {
                return false;
            }
        } else if (((byte & 0x80u) != 0) != (i + 1 < bytes)) {
            return false;  // only the last byte of a tag has its top bit clear
        }
        value = value << 8 | byte;
    }
    *tag = value;
    *tagBytes = static_cast<uint8_t>(bytes);
    return true;
}

}  // namespace

bool ParseTlvPath(std::string_view text, TlvPath* path) {
    TlvPath parsed{};
    while (true) {
        const size_t dot = text.find('.');
        const std::string_view part = text.substr(0, dot);
        if (parsed.count == TLV_MAX_DEPTH + 1 ||
            !ParseTag(part, &parsed.tags[parsed.count], &parsed.tagBytes[parsed.count])) {
            return false;
        }
        ++parsed.count;
        if (dot == std::string_view::npos) {
            break;
        }
        if (!TlvTagIsConstructed(parsed.tags[parsed.count - 1],
                                 parsed.tagBytes[parsed.count - 1])) {
            return false;
        }
        text.remove_prefix(dot + 1);
    }
    *path = parsed;
    return true;
}

int FormatTlvTag(uint32_t tag, int tagBytes, char* out) {
    static const char DIGITS[] = "0123456789ABCDEF";
    int n = 0;
    for (int b = tagBytes - 1; b >= 0; --b) {
        const unsigned byte = (tag >> (8 * b)) & 0xFFu;
        out[n++] = DIGITS[byte >> 4];
        out[n++] = DIGITS[byte & 0x0Fu];
    }
    out[n] = '\0';
    return n;
}

int FormatTlvPath(const TlvPath& path, char* out) {
    int n = 0;
    out[0] = '\0';
    for (int k = 0; k < path.count; ++k) {
        if (k > 0) {
            out[n++] = '.';
        }
        n += FormatTlvTag(path.tags[k], path.tagBytes[k], out + n);
    }
    return n;
}

int FindTlvTag(const TlvTable& table, uint32_t tag) {
    for (int i = 0; i < table.count; ++i) {
        if (table.objects[i].tagBytes > 0 && table.objects[i].tag == tag) {
            return i;
        }
    }
    return -1;
}

int FindTlvChild(const TlvTable& table, int parent, uint32_t tag) {
    for (int i = parent + 1; i < table.count; ++i) {
        const TlvObject& object = table.objects[i];
        if (object.parent == parent && object.tagBytes > 0 && object.tag == tag) {
            return i;
        }
        // Children follow their parent; a shallower object ends them.
        if (parent >= 0 && object.depth <= table.objects[parent].depth) {
            break;
        }
    }
    return -1;
}

int FindTlvObject(const TlvTable& table, const TlvPath& path) {
    if (path.count <= 0) {
        return -1;
    }
    int index = FindTlvTag(table, path.tags[0]);
    for (int k = 1; k < path.count && index >= 0; ++k) {
        index = FindTlvChild(table, index, path.tags[k]);
    }
    return index;
}
