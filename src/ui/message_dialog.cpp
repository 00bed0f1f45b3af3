#include "ui/message_dialog.h"

#include <cstring>

#include "conform/findings.h"
#include "diag/error_log.h"
#include "ui/collect_fields.h"
#include "ui/dialog_scroll.h"
#include "ui/dialog_template.h"
#include "ui/field_rows.h"
#include "ui/message_data_file.h"
#include "ui/tlv_box_form.h"
#include "vksoc/port/send_msg.h"

namespace ui {

namespace {

// Each row the request's findings are about shows the first of them.
void MarkFindings(DialogHost& dialog, const Exchange& exchange) {
    if (exchange.findings == nullptr) {
        return;
    }
    const conform::Findings& findings = *exchange.findings;
    for (int i = 0; i < findings.count(); ++i) {
        const int field = findings.at(i).field;
        if (field < 0 || findings.FirstAbout(field) != i) {
            continue;
        }
        char text[256];
        const std::string_view finding = findings.Text(i);
        const size_t length = finding.size() < sizeof text - 1 ? finding.size() : sizeof text - 1;
        std::memcpy(text, finding.data(), length);
        text[length] = '\0';
        dialog.MarkField(EDIT_ID_BASE + field, text);
    }
}

intptr_t InitDialog(DialogHost& dialog, Exchange& exchange) {
    int y = 10;
    CreateFieldRows(dialog, *exchange.message, y);
    MarkFindings(dialog, exchange);
    CreateButton(dialog, "Respond", 10, y, IDOK);
    CreateButton(dialog, "&Read", 110, y, READ_BUTTON_ID);
    CreateButton(dialog, "&Save", 210, y, SAVE_BUTTON_ID);
    CreateButton(dialog, "&Cancel", 310, y, IDCANCEL);
    // Creation order is tab order: the boxes top to bottom, then the buttons;
    // the focus starts on the tab stop after Respond, which is "&Read".
    int next = dialog.NextTabStop(IDOK);
    if (next != 0) {
        dialog.SetFocus(next);
    }
    dialog.SetScrollPos(0, true);
    dialog.SetScrollRange(0, y - 10, false);
    return 0;
}

intptr_t Respond(DialogHost& dialog, Exchange& exchange) {
    if (CollectFields(dialog, *exchange.message) == 0) {
        return 1;
    }
    if (SendMsgWithin(exchange.port, exchange.message, exchange.sendWaitMs) < 0) {
        dialog.ShowMessageBox("Could not Send Response", MB_NOICON);
        WriteErrorLog(exchange.peer);
        exchange.sendFailed = true;
        // Requests already queued on a connection that is gone must not
        // each raise another box: the loop ends it once the dialog is over.
        if (SendLostConnection()) {
            exchange.endConnection = true;
        }
        return 0;
    }
    exchange.responded = true;
    dialog.EndDialog(1);
    return 1;
}

}  // namespace

intptr_t MsgDlgProc(DialogHost& dialog, unsigned message, uintptr_t wParam, intptr_t /*lParam*/,
                    void* context) {
    Exchange& exchange = *static_cast<Exchange*>(context);
    switch (message) {
        case WM_INITDIALOG:
            return InitDialog(dialog, exchange);
        case WM_VSCROLL:
            HandleScroll(dialog, wParam);
            return 0;
        case WM_COMMAND:
            if (HighWord(wParam) == EN_CHANGE) {
                char text[FIELD_VALUE_SIZE];
                const int id = static_cast<int>(LowWord(wParam));
                dialog.GetItemText(id, text, sizeof text);
                ShowChipDataTip(dialog, id, text);
                return 0;
            }
            switch (static_cast<int>(LowWord(wParam))) {
                case IDOK:
                    return Respond(dialog, exchange);
                case IDCANCEL:
                    dialog.EndDialog(1);
                    return 1;
                case READ_BUTTON_ID:
                    exchange.lastFile = ReadMessageFile(dialog, *exchange.message);
                    return 1;
                case SAVE_BUTTON_ID:
                    exchange.lastFile = SaveMessageFile(dialog, *exchange.message);
                    return 1;
                default:
                    return 0;
            }
        default:
            return 0;
    }
}

int RunMessageDialog(UiHost& host, Exchange& exchange) {
    return RunFramedDialog(host, MsgDlgProc, &exchange);
}

}  // namespace ui
