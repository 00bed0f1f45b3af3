#include "vksoc/codec/tlv_text.h"

#include "diag/error_state.h"
#include "diag/message_fields.h"
#include "vksoc/codec/hex_value.h"

namespace {

// No field is longer than a message.
constexpr int32_t MAX_FIELD = MESSAGE_BUFFER_SIZE;

bool Decode(std::string_view hex, unsigned char* bytes, TlvTable* table) {
    const auto length = static_cast<int32_t>(hex.size());
    if (length / 2 > MAX_FIELD) {
        return false;
    }
    const int32_t n = HexToBytes(hex.data(), length, bytes);
    if (n < 0) {
        return false;
    }
    DecodeTlv(bytes, n, table);
    return true;
}

}  // namespace

int32_t TlvObjectText(std::string_view fieldHex, const TlvPath& path, char* out, int32_t room) {
    unsigned char bytes[MAX_FIELD];
    TlvTable table;
    if (!Decode(fieldHex, bytes, &table)) {
        return -1;
    }
    const int index = FindTlvObject(table, path);
    if (index < 0) {
        return -1;
    }
    // A constructed object's value is its children's bytes as received.
    const TlvObject& object = table.objects[index];
    if (2 * object.length > room) {
        return -1;
    }
    return BytesToHex(object.value, object.length, out);
}

TlvEdit EditTlvText(std::string_view fieldHex, const TlvPath& path,
                    const std::string_view* valueHex, char* out, int32_t room, int32_t* length) {
    unsigned char bytes[MAX_FIELD];
    TlvTable table;
    if (!Decode(fieldHex, bytes, &table) || table.finding.fault != TlvFault::None) {
        return TlvEdit::Malformed;
    }
    TlvEdit edit;
    unsigned char value[MAX_FIELD];
    if (valueHex != nullptr) {
        const auto hexLength = static_cast<int32_t>(valueHex->size());
        const int32_t n =
            hexLength / 2 > MAX_FIELD ? -1 : HexToBytes(valueHex->data(), hexLength, value);
        if (n < 0) {
            return TlvEdit::BadValue;
        }
        edit = SetTlvObject(&table, path, value, n);
    } else {
        edit = RemoveTlvObject(&table, path);
    }
    if (edit != TlvEdit::Done) {
        return edit;
    }
    // A field that does not fit is the caller's to report: it leaves no error.
    unsigned char encoded[MAX_FIELD];
    const ErrorState saved = SaveError();
    const int32_t n = EncodeTlv(table, encoded, room / 2 < MAX_FIELD ? room / 2 : MAX_FIELD);
    RestoreError(saved);
    if (n < 0) {
        return TlvEdit::NoRoom;
    }
    *length = BytesToHex(encoded, n, out);
    return TlvEdit::Done;
}
