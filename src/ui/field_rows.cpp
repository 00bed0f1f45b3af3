#include "ui/field_rows.h"

#include <algorithm>
#include <cstring>

#include "ui/control_class.h"
#include "ui/responder_state.h"
#include "ui/tlv_box_form.h"
#include "vksoc/codec/value_form.h"
#include "vksoc/codec/ztr.h"
#include "vkstp/config_view.h"

namespace ui {

namespace {

constexpr uint32_t LABEL_STYLE = WS_CHILD | WS_VISIBLE;
constexpr uint32_t EDIT_STYLE = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr uint32_t BUTTON_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP;

// The image may come from another process: a name is read up to its 63rd
// character whether or not a NUL ends it.
void CopyLabel(char (&label)[64], const char* text) {
    size_t length = strnlen(text, sizeof label - 1);
    std::memcpy(label, text, length);
    label[length] = '\0';
}

}  // namespace

namespace {

// link: the controller's link record, or null for the plain link.
int ListFieldRows(FieldRow (&rows)[MAX_FIELD_ROWS], const FieldSpec* specs,
                  const LinkRecord* link) {
    int count = 0;
    if (specs != nullptr) {
        CopyLabel(rows[count].label, "Message Id");
        rows[count].editId = EDIT_ID_BASE;
        rows[count].limit = 4;
        rows[count].slot = 0;
        rows[count].encoding = ValueEncoding::Ascii;
        ++count;
        for (int n = 1; n <= MAX_FIELD_NO; ++n) {
            const FieldSpec& spec = specs[n - 1];
            if (!FieldSpecIsDefined(spec)) {
                continue;
            }
            CopyLabel(rows[count].label, spec.FIELD_NAME);
            rows[count].editId = EDIT_ID_BASE + n;
            rows[count].limit =
                BoxHoldsTlvHex(n) ? BoxLimit(n, spec.MAX_LEN) : ValueFormLimit(link, n, spec);
            rows[count].slot = n;
            rows[count].encoding = ValueEncodingOf(link, n);
            ++count;
        }
        return count;
    }
    for (int p = 0; ZtrFieldTable[p].fieldNo != 0 && count < MAX_FIELD_ROWS; ++p) {
        CopyLabel(rows[count].label, ZtrFieldTable[p].name);
        rows[count].editId = EDIT_ID_BASE + p + 1;
        rows[count].limit = ZtrFieldTable[p].maxLen;
        rows[count].slot = ZtrFieldTable[p].fieldNo;
        rows[count].encoding = ValueEncoding::Ascii;
        ++count;
    }
    return count;
}

}  // namespace

const FieldRows& CurrentFieldRows() {
    static FieldRows listed;
    static const FieldSpec* listedFor = nullptr;
    static unsigned listedGeneration = 0;
    static bool valid = false;
    if (!valid || listedFor != responderState.fieldSpecs ||
        listedGeneration != ConfigViewGeneration()) {
        listedFor = responderState.fieldSpecs;
        listedGeneration = ConfigViewGeneration();
        listed.link = listedFor != nullptr ? FindLinkExact(responderState.controllerId) : nullptr;
        listed.count = ListFieldRows(listed.rows, listedFor, listed.link);
        valid = true;
    }
    return listed;
}

int ValueTextLength(const unsigned char* value, int length) {
    length = std::clamp(length, 0, FIELD_VALUE_SIZE - 1);
    const void* nul = length > 0 ? std::memchr(value, '\0', static_cast<size_t>(length)) : nullptr;
    return nul != nullptr ? static_cast<int>(static_cast<const unsigned char*>(nul) - value)
                          : length;
}

const char* ValueText(const unsigned char* value, int length, char (&text)[FIELD_VALUE_SIZE]) {
    length = ValueTextLength(value, length);
    if (length > 0) {
        std::memcpy(text, value, static_cast<size_t>(length));
    }
    text[length] = '\0';
    return text;
}

bool CreateFieldRow(DialogHost& dialog, const char* label, const unsigned char* value, int length,
                    int editId, int limit, int x, int y) {
    char text[FIELD_VALUE_SIZE];
    ValueText(value, length, text);
    bool created = dialog.CreateControl(CLASS_STATIC, label, LABEL_STYLE, x, y, 220, 20, LABEL_ID);
    created =
        dialog.CreateControl(CLASS_EDIT, text, EDIT_STYLE, x + 225, y, 350, 20, editId) && created;
    // After the text: a received value longer than the limit is shown whole.
    dialog.LimitText(editId, limit);
    ShowChipDataTip(dialog, editId, text);
    return created;
}

bool CreateFieldRow(DialogHost& dialog, const FieldRow& row, const unsigned char* value, int length,
                    int x, int y) {
    const bool created =
        CreateFieldRow(dialog, row.label, value, length, row.editId, row.limit, x, y);
    if (row.encoding == ValueEncoding::Binary) {
        dialog.LimitToHexDigits(row.editId);
    } else if (row.encoding == ValueEncoding::Ebcdic) {
        dialog.TakeUtf8Text(row.editId);
    }
    return created;
}

void CreateFieldRows(DialogHost& dialog, const MessageFields& received, int& y) {
    const MessageFields& message = InBoxForm(received);
    const FieldRows& listed = CurrentFieldRows();
    if (dialog.RefillRows(listed, message)) {
        char text[FIELD_VALUE_SIZE];
        for (int r = 0; dialog.TakesTips() && r < listed.count; ++r) {
            const FieldSlot& slot = message.slots[listed.rows[r].slot];
            ShowChipDataTip(dialog, listed.rows[r].editId, ValueText(slot.data, slot.length, text));
        }
        y += ROW_HEIGHT * listed.count;
        return;
    }
    const FieldRow* rows = listed.rows;
    for (int r = 0; r < listed.count; ++r) {
        const FieldSlot& slot = message.slots[rows[r].slot];
        CreateFieldRow(dialog, rows[r], slot.data, slot.length, 10, y);
        y += ROW_HEIGHT;
    }
}

bool CreateButton(DialogHost& dialog, const char* text, int x, int y, int id) {
    return dialog.CreateControl(CLASS_BUTTON, text, BUTTON_STYLE, x, y, 100, 30, id);
}

}  // namespace ui
