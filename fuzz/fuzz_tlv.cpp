// DecodeTlv on bytes from the fuzzer, as a field 55 would bring them. The
// table never points outside the field and is shaped as documented (children
// after their parent and inside its value); a finding lies within the field.
// What decodes whole encodes to the same bytes, cannot be encoded into less
// room, and stays whole through the edits the script makes: removing its
// first object, giving an object its own value again, appending a new one.
// The listing for people is made with and without masking.

#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "vksoc/codec/tlv.h"
#include "vksoc/codec/tlv_edit.h"
#include "vksoc/codec/tlv_listing.h"
#include "vksoc/codec/tlv_path.h"

namespace {

void CheckShape(const TlvTable& table, const unsigned char* bytes, int32_t length) {
    FUZZ_CHECK(table.count >= 0 && table.count <= TLV_MAX_OBJECTS);
    for (int i = 0; i < table.count; ++i) {
        const TlvObject& o = table.objects[i];
        FUZZ_CHECK(o.length >= 0 && o.value >= bytes && o.value + o.length <= bytes + length);
        FUZZ_CHECK(o.offset >= 0 && o.value == bytes + o.offset + o.tagBytes + o.lengthBytes);
        FUZZ_CHECK(o.tagBytes <= TLV_MAX_TAG_BYTES);
        if (o.tagBytes == 0) {
            for (int32_t b = 0; b < o.length; ++b) {
                FUZZ_CHECK(o.value[b] == 0);
            }
        }
        if (o.parent < 0) {
            FUZZ_CHECK(o.depth == 0);
            continue;
        }
        FUZZ_CHECK(o.parent < i);
        const TlvObject& p = table.objects[o.parent];
        FUZZ_CHECK(TlvIsConstructed(p) && o.depth == p.depth + 1 && o.depth <= TLV_MAX_DEPTH);
        FUZZ_CHECK(bytes + o.offset >= p.value && o.value + o.length <= p.value + p.length);
    }
    const TlvFinding& f = table.finding;
    if (f.fault != TlvFault::None) {
        FUZZ_CHECK(f.rawFrom >= 0 && f.rawFrom <= f.at && f.at <= length && f.rawFrom < length);
    }
}

std::vector<unsigned char> Encode(const TlvTable& table, int32_t room) {
    std::vector<unsigned char> out(static_cast<size_t>(room) + 1);
    const int32_t n = EncodeTlv(table, out.data(), room);
    FUZZ_CHECK(n >= 0 && n <= room);
    out.resize(static_cast<size_t>(n));
    return out;
}

int SubtreeSize(const TlvTable& table, int index) {
    int end = index + 1;
    while (end < table.count && table.objects[end].depth > table.objects[index].depth) {
        ++end;
    }
    return end - index;
}

void CountLine(void* context, const char* line) {
    FUZZ_CHECK(line != nullptr);
    ++*static_cast<int*>(context);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) {
        return 0;
    }
    // An exact-size copy: any read past the field is caught.
    const std::vector<unsigned char> field(data, data + size);
    const auto length = static_cast<int32_t>(size);
    static TlvTable table;
    const bool whole = DecodeTlv(field.data(), length, &table);
    CheckShape(table, field.data(), length);
    FUZZ_CHECK(whole == (table.finding.fault == TlvFault::None));

    for (bool mask : {false, true}) {
        int lines = 0;
        ListTlvObjects(55, field.data(), length, mask, CountLine, &lines);
        FUZZ_CHECK(lines == table.count + (whole ? 0 : 2));
    }
    if (!whole) {
        unsigned char out[8];
        FUZZ_CHECK(EncodeTlv(table, out, sizeof out) == -1);
        return 0;
    }

    FUZZ_CHECK(Encode(table, length) == field);
    if (length > 0) {
        std::vector<unsigned char> small(static_cast<size_t>(length));
        FUZZ_CHECK(EncodeTlv(table, small.data(), length - 1) == -1);
    }
    if (table.count == 0) {
        return 0;
    }

    static TlvTable edited;
    static TlvTable again;
    // Removing the first object leaves the others as they were.
    if (table.objects[0].tagBytes > 0) {
        edited = table;
        TlvPath path{};
        path.count = 1;
        path.tags[0] = table.objects[0].tag;
        path.tagBytes[0] = table.objects[0].tagBytes;
        FUZZ_CHECK(RemoveTlvObject(&edited, path) == TlvEdit::Done);
        FUZZ_CHECK(edited.count == table.count - SubtreeSize(table, 0));
        const std::vector<unsigned char> rest = Encode(edited, length);
        FUZZ_CHECK(DecodeTlv(rest.data(), static_cast<int32_t>(rest.size()), &again));
        FUZZ_CHECK(again.count == edited.count);
        const int32_t first = table.objects[0].offset;
        const int32_t gone = SubtreeSize(table, 0) < table.count
                                 ? table.objects[SubtreeSize(table, 0)].offset - first
                                 : length - first;
        FUZZ_CHECK(static_cast<int32_t>(rest.size()) == length - gone);
    }

    // A new object at the end, the others unchanged before it.
    const bool hasProbe = FindTlvTag(table, 0xDF7F) >= 0;
    if (!hasProbe && table.count < TLV_MAX_OBJECTS) {
        edited = table;
        TlvPath probe{};
        FUZZ_CHECK(ParseTlvPath("DF7F", &probe));
        const int32_t n = length < 3 ? length : 3;
        FUZZ_CHECK(SetTlvObject(&edited, probe, field.data(), n) == TlvEdit::Done);
        const std::vector<unsigned char> grown = Encode(edited, length + 6);
        FUZZ_CHECK(grown.size() == size + 3 + static_cast<size_t>(n));
        FUZZ_CHECK(std::memcmp(grown.data(), field.data(), size) == 0);
        FUZZ_CHECK(DecodeTlv(grown.data(), static_cast<int32_t>(grown.size()), &again));
        const int found = FindTlvTag(again, 0xDF7F);
        FUZZ_CHECK(found == again.count - 1 && again.objects[found].length == n);
    }
    return 0;
}
