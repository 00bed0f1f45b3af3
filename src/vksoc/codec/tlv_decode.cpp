#include "vksoc/codec/tlv.h"

const char* TlvFaultText(TlvFault fault) {
    switch (fault) {
        case TlvFault::None:
            return "";
        case TlvFault::TagCutShort:
            return "tag cut short";
        case TlvFault::TagTooLong:
            return "tag longer than 4 bytes";
        case TlvFault::LengthMissing:
            return "length cut short";
        case TlvFault::LengthTooLong:
            return "long-form length of 5 or more bytes";
        case TlvFault::IndefiniteLength:
            return "indefinite length";
        case TlvFault::LengthPastEnd:
            return "length past the field's end";
        case TlvFault::ChildrenOverrun:
            return "children overrun their constructed object";
        case TlvFault::TooManyObjects:
            return "more than 128 objects";
        case TlvFault::TooDeep:
            return "constructed objects nested more than 8 deep";
    }
    return "";
}

namespace {

// The constructed objects open around the cursor: where each ends, and its
// index in the table.
struct Open {
    int32_t end;
    int16_t index;
};

class Decoder {
  public:
    Decoder(const unsigned char* bytes, int32_t length, TlvTable* table)
        : bytes_(bytes), length_(length), table_(table) {}

    // `position_` never passes the end of the innermost open object, which
    // never passes the field's end: each byte is checked against `limit`
    // before it is read.
    bool Run() {
        while (true) {
            while (depth_ > 0 && position_ == open_[depth_ - 1].end) {
                --depth_;
            }
            if (position_ >= length_) {
                return true;
            }
            if (!TakeObject()) {
                return false;
            }
        }
    }

  private:
    int32_t Limit() const { return depth_ > 0 ? open_[depth_ - 1].end : length_; }

    // Inside a constructed object, anything that runs past its end is its
    // children overrunning it, whatever the field holds after it.
    bool Fail(TlvFault fault, int32_t at, int32_t start) {
        const bool overrun = fault == TlvFault::TagCutShort || fault == TlvFault::LengthMissing ||
                             fault == TlvFault::LengthPastEnd;
        table_->finding = {overrun && depth_ > 0 ? TlvFault::ChildrenOverrun : fault, at, start};
        return false;
    }

    bool TakeObject() {
        const int32_t limit = Limit();
        const int32_t start = position_;
        if (table_->count == TLV_MAX_OBJECTS) {
            return Fail(TlvFault::TooManyObjects, start, start);
        }
        if (bytes_[position_] == 0x00) {
            while (position_ < limit && bytes_[position_] == 0x00) {
                ++position_;
            }
            Append({0, bytes_ + start, position_ - start, start, Parent(), Depth(), 0, 0});
            return true;
        }

        uint32_t tag = bytes_[position_++];
        int tagBytes = 1;
        if ((tag & 0x1Fu) == 0x1Fu) {
            unsigned char next;
            do {
                if (position_ >= limit) {
                    return Fail(TlvFault::TagCutShort, position_, start);
                }
                if (tagBytes == TLV_MAX_TAG_BYTES) {
                    return Fail(TlvFault::TagTooLong, position_, start);
                }
                next = bytes_[position_++];
                tag = tag << 8 | next;
                ++tagBytes;
            } while ((next & 0x80u) != 0);
        }

        if (position_ >= limit) {
            return Fail(TlvFault::LengthMissing, position_, start);
        }
        const int32_t lengthAt = position_;
        const unsigned char first = bytes_[position_++];
        int32_t length = first;
        int lengthBytes = 1;
        if (first == 0x80) {
            return Fail(TlvFault::IndefiniteLength, lengthAt, start);
        }
        if (first > 0x80) {
            const int following = first & 0x7F;
            if (following > 3) {
                return Fail(TlvFault::LengthTooLong, lengthAt, start);
            }
            length = 0;
            for (int i = 0; i < following; ++i) {
                if (position_ >= limit) {
                    return Fail(TlvFault::LengthMissing, position_, start);
                }
                length = length << 8 | bytes_[position_++];
            }
            lengthBytes = 1 + following;
        }
        if (length > limit - position_) {
            return Fail(TlvFault::LengthPastEnd, lengthAt, start);
        }

        const TlvObject object{tag,
                               bytes_ + position_,
                               length,
                               start,
                               Parent(),
                               Depth(),
                               static_cast<uint8_t>(tagBytes),
                               static_cast<uint8_t>(lengthBytes)};
        if (TlvIsConstructed(object)) {
            if (depth_ == TLV_MAX_DEPTH) {
                return Fail(TlvFault::TooDeep, start, start);
            }
            open_[depth_++] = {position_ + length, static_cast<int16_t>(table_->count)};
        } else {
            position_ += length;
        }
        Append(object);
        return true;
    }

    int16_t Parent() const { return depth_ > 0 ? open_[depth_ - 1].index : int16_t{-1}; }
    uint8_t Depth() const { return static_cast<uint8_t>(depth_); }
    void Append(const TlvObject& object) { table_->objects[table_->count++] = object; }

    const unsigned char* bytes_;
    int32_t length_;
    TlvTable* table_;
    int32_t position_ = 0;
    Open open_[TLV_MAX_DEPTH] = {};
    int depth_ = 0;
};

}  // namespace

bool DecodeTlv(const unsigned char* bytes, int32_t length, TlvTable* table) {
    table->count = 0;
    table->finding = {TlvFault::None, 0, 0};
    if (length <= 0) {
        return true;
    }
    return Decoder(bytes, length, table).Run();
}
