#include "ui/collect_fields.h"

#include <cstdio>
#include <cstring>

#include "diag/error_log.h"
#include "diag/error_state.h"
#include "ui/field_rows.h"
#include "ui/field_text_area.h"
#include "ui/responder_state.h"
#include "ui/tlv_box_form.h"
#include "vksoc/codec/value_form.h"

FieldTextArea fieldTextArea{};

namespace ui {

namespace {

// Whether the value form a box holds can be sent as the row's field; if not,
// tells the operator which field and why (and records it). An ASCII value is
// its wire form and is taken as it is.
bool ValueFormTaken(DialogHost& dialog, const FieldRows& listed, const FieldRow& row,
                    const char* value, int length) {
    if (row.encoding == ValueEncoding::Ascii || responderState.fieldSpecs == nullptr) {
        return true;
    }
    const FieldSpec& spec = responderState.fieldSpecs[row.slot - 1];
    const ValueFormResult result = CheckValueForm(
        listed.link, row.slot, spec, reinterpret_cast<const unsigned char*>(value), length);
    // Typing stops at MAX_LEN: a longer variable value came with the request
    // or from a file, and is answered as it came, as on the plain link.
    if (result.refusal == ValueFormRefusal::None ||
        (result.refusal == ValueFormRefusal::AboveMaxLen && spec.LENGTH_BYTES > 0)) {
        return true;
    }
    char reason[160];
    DescribeValueFormRefusal(result, listed.link, row.slot, spec, reason, sizeof reason);
    char text[256];
    std::snprintf(text, sizeof text, "Field %d %s: %s", row.slot, row.label, reason);
    SetError(ERR_INVALID, 0);
    ADD_ERROR_TEXT("%s", text);
    WriteErrorLog();
    dialog.ShowMessageBox(text, MB_NOICON);
    return false;
}

}  // namespace

int CollectFields(DialogHost& dialog, MessageFields& message) {
    std::memset(&message, 0, sizeof message);
    bool iso8583 = responderState.fieldSpecs != nullptr;
    char* area = iso8583 ? fieldTextArea.iso8583 : fieldTextArea.ztr;
    int used = 0;
    const FieldRows& listed = CurrentFieldRows();
    const FieldRow* rows = listed.rows;
    const bool* withText = dialog.RowsWithText(listed);
    for (int r = 0; r < listed.count; ++r) {
        // The box copies at most room - 1 characters and a NUL, so a text that
        // does not fit is cut and the boxes after it read as empty.
        int k = withText != nullptr && !withText[r]
                    ? 0
                    : dialog.GetItemText(rows[r].editId, area + used, FIELD_TEXT_AREA_SIZE - used);
        if (k > 0 && BoxHoldsTlvHex(rows[r].slot)) {
            k = BoxTextToBytes(area + used, k);
            if (k < 0) {
                char box[96];
                std::snprintf(box, sizeof box,
                              "Field %d is chip data: type it as hexadecimal, two digits a byte",
                              rows[r].slot);
                dialog.ShowMessageBox(box, MB_NOICON);
                return 0;
            }
        }
        if (k > 0) {
            if (!ValueFormTaken(dialog, listed, rows[r], area + used, k)) {
                std::memset(&message, 0, sizeof message);
                return 0;
            }
            message.slots[rows[r].slot] =
                FieldSlot{reinterpret_cast<const unsigned char*>(area + used), k};
            used += k;
        } else if (iso8583 && rows[r].slot == 0) {
            dialog.ShowMessageBox("Message Id is mandatory", MB_NOICON);
            return 0;
        }
    }
    return 1;
}

int ShowFields(DialogHost& dialog, const MessageFields& received) {
    const MessageFields& message = InBoxForm(received);
    const FieldRows& listed = CurrentFieldRows();
    const FieldRow* rows = listed.rows;
    char text[FIELD_VALUE_SIZE];
    for (int r = 0; r < listed.count; ++r) {
        const FieldSlot& slot = message.slots[rows[r].slot];
        dialog.SetItemText(rows[r].editId, ValueText(slot.data, slot.length, text));
        ShowChipDataTip(dialog, rows[r].editId, text);
    }
    return 1;
}

}  // namespace ui
