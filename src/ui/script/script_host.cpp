#include "ui/script/script_host.h"

#include <cstdio>
#include <cstring>

#include "ui/field_rows.h"
#include "ui/script/script_dialog.h"

namespace ui {

namespace {

// "ask" shows the message at the desk with what the rule typed so far: the
// desk's dialog runs the same procedure and then receives those texts.
const ScriptDialog* askTexts = nullptr;
DialogProc askProcedure = nullptr;

intptr_t AskProc(DialogHost& dialog, unsigned message, uintptr_t wParam, intptr_t lParam) {
    intptr_t result = askProcedure(dialog, message, wParam, lParam);
    if (message == WM_INITDIALOG && askTexts != nullptr) {
        for (int i = 0; i < askTexts->boxCount(); ++i) {
            int id = askTexts->boxId(i);
            dialog.SetItemText(id, askTexts->BoxText(id));
        }
    }
    return result;
}

const ScriptRule* FindRule(const OperatorScript& script, const ScriptDialog& dialog) {
    for (const ScriptRule& rule : script.rules) {
        if (rule.any) {
            return &rule;
        }
        const char* text = dialog.BoxText(EDIT_ID_BASE + rule.field);
        if (text != nullptr && rule.text == text) {
            return &rule;
        }
    }
    return nullptr;
}

void Command(ScriptDialog& dialog, DialogProc procedure, int id) {
    procedure(dialog, WM_COMMAND, MakeWParam(static_cast<unsigned>(id), 0), 0);
}

}  // namespace

void ScriptHost::ShowMessageBox(const char* text, unsigned) {
    std::fprintf(stderr, "VELK Tester: %s\n", text);
    std::fflush(stderr);
}

int ScriptHost::RunDialog(const unsigned char* dialogTemplate, int templateSize,
                          DialogProc procedure) {
    ScriptDialog dialog;
    procedure(dialog, WM_INITDIALOG, 0, 0);
    const ScriptRule* rule = FindRule(script_, dialog);
    if (rule == nullptr) {
        Command(dialog, procedure, IDCANCEL);
        return dialog.result();
    }
    for (const ScriptAction& action : rule->actions) {
        if (dialog.ended()) {
            break;
        }
        switch (action.kind) {
            case ScriptAction::Set:
                dialog.Type(EDIT_ID_BASE + action.field, action.text.c_str());
                break;
            case ScriptAction::Clear:
                dialog.Type(EDIT_ID_BASE + action.field, "");
                break;
            case ScriptAction::Read:
                dialog.AnswerFileDialog(action.text.c_str());
                Command(dialog, procedure, READ_BUTTON_ID);
                break;
            case ScriptAction::Save:
                dialog.AnswerFileDialog(action.text.c_str());
                Command(dialog, procedure, SAVE_BUTTON_ID);
                break;
            case ScriptAction::Respond:
                Command(dialog, procedure, IDOK);
                break;
            case ScriptAction::Cancel:
                Command(dialog, procedure, IDCANCEL);
                break;
            case ScriptAction::Ask: {
                UiHost* desk = openDesk_ != nullptr ? openDesk_() : nullptr;
                if (desk == nullptr) {
                    std::fprintf(stderr,
                                 "VELK Tester: \"ask\" (%s line %d) needs a display; the message "
                                 "is cancelled\n",
                                 script_.path.c_str(), action.line);
                    Command(dialog, procedure, IDCANCEL);
                    break;
                }
                askTexts = &dialog;
                askProcedure = procedure;
                int result = desk->RunDialog(dialogTemplate, templateSize, AskProc);
                askTexts = nullptr;
                return result;
            }
        }
    }
    if (!dialog.ended()) {
        Command(dialog, procedure, IDCANCEL);
    }
    return dialog.result();
}

}  // namespace ui
