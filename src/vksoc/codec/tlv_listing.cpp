#include "vksoc/codec/tlv_listing.h"

#include <cstdio>
#include <cstring>

#include "diag/message_fields.h"
#include "vksoc/codec/emv_tags.h"
#include "vksoc/codec/hex_value.h"
#include "vksoc/codec/tlv.h"
#include "vksoc/codec/tlv_card_mask.h"
#include "vksoc/codec/tlv_path.h"

namespace {

// A value is never longer than a message; a line holds its value form, the
// indent, the path and the longest name.
constexpr int32_t MAX_VALUE = MESSAGE_BUFFER_SIZE;
constexpr int LINE_SIZE = 2 * MAX_VALUE + 256;

class Line {
  public:
    void Indent(int depth) {
        for (int i = 0; i < 2 * (depth + 1); ++i) {
            Put(' ');
        }
    }
    void Put(char c) {
        if (end_ < LINE_SIZE - 1) {
            text_[end_++] = c;
        }
    }
    void Put(const char* text) {
        while (*text != '\0') {
            Put(*text++);
        }
    }
    void PutNumber(long value) {
        char digits[24];
        std::snprintf(digits, sizeof digits, "%ld", value);
        Put(digits);
    }
    // Room for `count` characters written directly, cut to what is left.
    char* Room(int32_t* count) {
        const int32_t left = LINE_SIZE - 1 - end_;
        if (*count > left) {
            *count = left;
        }
        return text_ + end_;
    }
    void Took(int32_t count) { end_ += count; }
    // Where a value form is made before it is masked into the line.
    char* Scratch() { return scratch_; }
    void Send(TlvLineSink sink, void* context) {
        text_[end_] = '\0';
        sink(context, text_);
        end_ = 0;
    }

  private:
    char text_[LINE_SIZE];
    char scratch_[2 * MAX_VALUE];
    int32_t end_ = 0;
};

// "55.77.9F27": the field and the tags from the top-level object down.
void PutPath(Line* line, int fieldNo, const TlvTable& table, int index) {
    int chain[TLV_MAX_DEPTH + 1];
    int n = 0;
    for (int i = index; i >= 0 && n <= TLV_MAX_DEPTH; i = table.objects[i].parent) {
        chain[n++] = i;
    }
    line->PutNumber(fieldNo);
    while (n > 0) {
        const TlvObject& object = table.objects[chain[--n]];
        char tag[2 * TLV_MAX_TAG_BYTES + 1];
        FormatTlvTag(object.tag, object.tagBytes, tag);
        line->Put('.');
        line->Put(tag);
    }
}

void PutHex(Line* line, const unsigned char* bytes, int32_t length, uint32_t tag, bool mask) {
    const int32_t shown = length < MAX_VALUE ? length : MAX_VALUE;
    char* hex = line->Scratch();
    int32_t count = BytesToHex(bytes, shown, hex);
    char* out = line->Room(&count);
    if (mask) {
        MaskTlvValueText(tag, hex, count, out);
    } else {
        std::memcpy(out, hex, static_cast<size_t>(count));
    }
    line->Took(count);
}

}  // namespace

void ListTlvObjects(int fieldNo, const unsigned char* bytes, int32_t length, bool mask,
                    TlvLineSink sink, void* context) {
    TlvTable table;
    Line line;
    DecodeTlv(bytes, length, &table);
    for (int i = 0; i < table.count; ++i) {
        const TlvObject& object = table.objects[i];
        line.Indent(object.depth);
        if (object.tagBytes == 0) {
            line.PutNumber(fieldNo);
            line.Put(" padding: ");
            PutHex(&line, object.value, object.length, 0, false);
            line.Send(sink, context);
            continue;
        }
        PutPath(&line, fieldNo, table, i);
        const char* name = EmvTagName(object.tag);
        if (name != nullptr) {
            line.Put(' ');
            line.Put(name);
        }
        if (!TlvIsConstructed(object)) {
            line.Put(": ");
            PutHex(&line, object.value, object.length, object.tag, mask);
        }
        line.Send(sink, context);
    }
    const TlvFinding& finding = table.finding;
    if (finding.fault == TlvFault::None) {
        return;
    }
    line.Indent(0);
    line.PutNumber(fieldNo);
    line.Put(" malformed at byte ");
    line.PutNumber(finding.at);
    line.Put(": ");
    line.Put(TlvFaultText(finding.fault));
    line.Send(sink, context);
    line.Indent(0);
    line.PutNumber(fieldNo);
    line.Put(" raw from byte ");
    line.PutNumber(finding.rawFrom);
    if (mask) {
        line.Put(": (");
        line.PutNumber(length - finding.rawFrom);
        line.Put(" bytes not shown while card data is masked)");
    } else {
        line.Put(": ");
        PutHex(&line, bytes + finding.rawFrom, length - finding.rawFrom, 0, false);
    }
    line.Send(sink, context);
}
