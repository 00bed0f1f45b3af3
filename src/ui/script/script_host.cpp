#include "ui/script/script_host.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "conform/findings.h"
#include "diag/card_mask.h"
#include "diag/error_log.h"
#include "diag/error_state.h"
#include "platform/steady_clock.h"
#include "platform/stop_request.h"
#include "ui/dialog_template.h"
#include "ui/field_rows.h"
#include "ui/field_text_area.h"
#include "ui/responder_state.h"
#include "ui/script/script_path.h"
#include "ui/standard_error.h"
#include "vksoc/codec/tlv_text.h"
#include "vkstp/config_view.h"

namespace ui {

// A run that waits in a "delay" while other connections are served: what it
// needs to go on, with its boxes' texts packed back to back in the boxes'
// order (the rows are the same for every message of the controller).
struct ScriptHost::SuspendedRun {
    int port = -1;  // -1: free
    int64_t wakeTime = 0;
    Run run{};
    int used = 0;
    int16_t lengths[MAX_FIELD_ROWS] = {};
    // A message's texts fit the read-back area; twice that leaves room for
    // texts a rule typed but did not send. What does not fit is cut.
    char texts[2 * FIELD_TEXT_AREA_SIZE];
};

// What "${...}" reads: the boxes of the open dialog and the run's number.
class ScriptHost::Values : public ValueSource {
  public:
    Values(ScriptDialog& dialog, const Run& run) : dialog_(dialog), run_(run) {}
    std::string_view FieldText(int field) override { return dialog_.BoxView(EDIT_ID_BASE + field); }
    uint64_t Sequence() override { return run_.sequence; }
    std::string_view FirstFinding() override {
        const conform::Findings* findings = run_.exchange->findings;
        return findings != nullptr ? findings->First() : std::string_view();
    }

  private:
    ScriptDialog& dialog_;
    const Run& run_;
};

namespace {

// "ask" shows the message at the desk with what the rule typed so far: the
// desk's dialog runs the same procedure on the same exchange and then
// receives those texts.
struct AskContext {
    ScriptDialog& texts;
    DialogProc procedure;
    Exchange& exchange;
};

intptr_t AskProc(DialogHost& dialog, unsigned message, uintptr_t wParam, intptr_t lParam,
                 void* context) {
    AskContext& ask = *static_cast<AskContext*>(context);
    intptr_t result = ask.procedure(dialog, message, wParam, lParam, &ask.exchange);
    if (message == WM_INITDIALOG) {
        for (int i = 0; i < ask.texts.boxCount(); ++i) {
            int id = ask.texts.boxId(i);
            dialog.SetItemText(id, ask.texts.BoxText(id));
        }
    }
    return result;
}

bool Holds(const ScriptCondition& condition, ScriptDialog& dialog,
           const conform::Findings* findings) {
    if (IsFindingCondition(condition)) {
        const bool any = findings != nullptr && !findings->empty();
        return FindingConditionHolds(condition, any,
                                     any && findings->FirstAbout(condition.field) >= 0);
    }
    int id = EDIT_ID_BASE + condition.field;
    return ConditionHolds(condition, dialog.BoxView(id), dialog.HasBox(id));
}

// The first condition of the list that does not hold, or null.
const ScriptCondition* FirstFailing(const std::vector<ScriptCondition>& conditions,
                                    ScriptDialog& dialog, const conform::Findings* findings) {
    for (const ScriptCondition& condition : conditions) {
        if (!Holds(condition, dialog, findings)) {
            return &condition;
        }
    }
    return nullptr;
}

const ScriptRule* FindRule(const OperatorScript& script, ScriptDialog& dialog,
                           const conform::Findings* findings) {
    for (const ScriptRule& rule : script.rules) {
        if (FirstFailing(rule.conditions, dialog, findings) == nullptr) {
            return &rule;
        }
    }
    return nullptr;
}

// Each "expect" of the rule, on the request as it arrived: one that does not
// hold is a finding of the request, with the box's value (card data masked
// as in the logs).
void CheckExpectations(const ScriptRule& rule, ScriptDialog& dialog, conform::Findings& findings) {
    for (const ScriptAction& action : rule.actions) {
        if (action.kind != ScriptAction::Expect) {
            continue;
        }
        const ScriptCondition* failed = FirstFailing(action.conditions, dialog, &findings);
        if (failed == nullptr) {
            continue;
        }
        char text[256];
        int length = 0;
        if (IsFindingCondition(*failed)) {
            length = std::snprintf(text, sizeof text,
                                   "expect %s (line %d): the request has %d finding%s",
                                   action.value.written.c_str(), action.line, findings.total(),
                                   findings.total() == 1 ? "" : "s");
        } else {
            const int id = EDIT_ID_BASE + failed->field;
            std::string_view box = dialog.BoxView(id);
            unsigned char masked[64];
            const size_t shown = std::min(box.size(), sizeof masked);
            if (MaskPanOn() && IsCardDataField(failed->field)) {
                MaskCardField(failed->field, reinterpret_cast<const unsigned char*>(box.data()),
                              static_cast<int>(shown), masked);
            } else if (shown > 0) {
                std::memcpy(masked, box.data(), shown);
            }
            length = std::snprintf(text, sizeof text, "expect %s (line %d): field %d is %s%.*s%s",
                                   action.value.written.c_str(), action.line, failed->field,
                                   dialog.HasBox(id) && !box.empty() ? "\"" : "absent",
                                   static_cast<int>(shown), reinterpret_cast<const char*>(masked),
                                   dialog.HasBox(id) && !box.empty() ? "\"" : "");
        }
        const size_t taken =
            length < 0 ? 0 : std::min(static_cast<size_t>(length), sizeof text - 1);
        findings.Add({conform::FindingKind::ExpectFailed, failed->field, 0, action.line},
                     std::string_view(text, taken));
    }
}

}  // namespace

ScriptHost::ScriptHost(const OperatorScript& script, DeskOpener openDesk)
    : script_(script), openDesk_(openDesk), byRule_(script.rules.size() + 1) {
    int lastLine = 0;
    for (const ScriptRule& rule : script.rules) {
        for (const ScriptAction& action : rule.actions) {
            lastLine = std::max(lastLine, action.line);
        }
    }
    cutReported_.assign(static_cast<size_t>(lastLine) + 1, false);
}

ScriptHost::~ScriptHost() = default;

void ScriptHost::ShowMessageBox(const char* text, unsigned) {
    SayOnStandardError("%s", text);
}

int ScriptHost::RunDialog(const unsigned char*, int, DialogProc procedure, void* context) {
    // The kept boxes serve every message of the same layout.
    const void* layout = responderState.fieldSpecs;
    if (dialog_.boxCount() == 0 || layout != boxesFor_ ||
        boxesGeneration_ != ConfigViewGeneration()) {
        dialog_.Forget();
        boxesFor_ = layout;
        boxesGeneration_ = ConfigViewGeneration();
    } else {
        dialog_.Reopen();
    }
    Run run{nullptr, 0, ++messages_, false, false, 0, procedure, static_cast<Exchange*>(context)};
    procedure(dialog_, WM_INITDIALOG, 0, 0, run.exchange);
    conform::Findings* findings = run.exchange->findings;
    run.rule = FindRule(script_, dialog_, findings);
    if (run.rule != nullptr) {
        run.exchange->ruleLine = run.rule->line;
        if (findings != nullptr) {
            CheckExpectations(*run.rule, dialog_, *findings);
        }
    }
    if (findings != nullptr) {
        checked_ = true;
        if (!findings->empty()) {
            ++withFindings_;
        }
    }
    if (run.rule == nullptr) {
        Command(run, IDCANCEL);
        return Finish(run, Cancelled);
    }
    return Continue(run);
}

void ScriptHost::Command(Run& run, int id) {
    dialog_.KeepOpen();
    run.procedure(dialog_, WM_COMMAND, MakeWParam(static_cast<unsigned>(id), 0), 0, run.exchange);
    if (run.exchange->sendFailed) {
        run.sendFailed = true;
    }
    if (dialog_.ended()) {
        run.result = dialog_.result();
        if (id == IDOK) {
            run.responded = true;
        }
    }
}

int ScriptHost::Continue(Run& run) {
    const std::vector<ScriptAction>& actions = run.rule->actions;
    while (run.next < actions.size()) {
        const ScriptAction& action = actions[run.next++];
        switch (action.kind) {
            case ScriptAction::Set:
            case ScriptAction::Clear:
                if (action.hasObject) {
                    EditObject(run, action);
                } else if (action.kind == ScriptAction::Set) {
                    Type(run, action);
                } else {
                    dialog_.Type(EDIT_ID_BASE + action.field, "");
                }
                break;
            case ScriptAction::Read:
            case ScriptAction::Save:
                if (!FileCommand(run, action)) {
                    return EndAsCancel(run);
                }
                break;
            case ScriptAction::Respond:
                Command(run, IDOK);
                // A connection whose send failed is finished: the rest of
                // the rule would only fail on it again, or wait.
                if (run.exchange->endConnection) {
                    return EndAsCancel(run);
                }
                break;
            case ScriptAction::Cancel:
                return EndAsCancel(run);
            case ScriptAction::Silence:
                if (!run.responded) {
                    Command(run, IDCANCEL);
                }
                return Finish(run, run.responded ? Responded : Silenced);
            case ScriptAction::Close:
                SetError(ERR_CONNECTION, 0);
                ADD_ERROR_TEXT("Operator script %s line %d closed the connection\n",
                               script_.path.c_str(), action.line);
                WriteErrorLog(run.exchange->peer);
                run.exchange->endConnection = true;
                if (!run.responded) {
                    Command(run, IDCANCEL);
                }
                return Finish(run, Closed);
            case ScriptAction::Ask:
                return Ask(run, action);
            case ScriptAction::Expect:
                break;  // checked when the rule was chosen
            case ScriptAction::Delay:
                // A stop cuts the delay short: the run goes on at once and
                // its answer goes out, with one connection or several.
                if (suspendable_ && !StopRequested() && Suspend(run, action.delayMs)) {
                    return DIALOG_SUSPENDED;
                }
                SleepMilliseconds(action.delayMs);
                break;
        }
    }
    // The rule's lines are done: a dialog still open ends as by Cancel.
    return EndAsCancel(run);
}

int ScriptHost::EndAsCancel(Run& run) {
    if (!run.responded) {
        Command(run, IDCANCEL);
    }
    return Finish(run, run.responded ? Responded : Cancelled);
}

int ScriptHost::Finish(const Run& run, Outcome outcome) {
    if (run.sendFailed && outcome != Asked) {
        outcome = SendFailed;
    }
    ++outcomes_[outcome];
    size_t rule = run.rule != nullptr ? static_cast<size_t>(run.rule - script_.rules.data())
                                      : script_.rules.size();
    ++byRule_[rule];
    return run.result;
}

void ScriptHost::Type(const Run& run, const ScriptAction& action) {
    int id = EDIT_ID_BASE + action.field;
    if (!dialog_.HasBox(id)) {
        return;  // the controller does not define the field
    }
    char text[FIELD_VALUE_SIZE];
    Values values(dialog_, run);
    size_t length = ExpandScriptValue(action.value, values, text, sizeof text);
    int cutAt = 0;
    dialog_.Type(id, std::string_view(text, std::min(length, sizeof text - 1)), &cutAt);
    if (cutAt > 0 && !cutReported_[static_cast<size_t>(action.line)]) {
        cutReported_[static_cast<size_t>(action.line)] = true;
        SayOnStandardError(
            "operator script %s line %d: \"set %d\" text of %d characters cut at the field's "
            "input limit of %d (said once for this line)",
            script_.path.c_str(), action.line, action.field, static_cast<int>(length), cutAt);
    }
}

void ScriptHost::EditObject(const Run& run, const ScriptAction& action) {
    const int id = EDIT_ID_BASE + action.field;
    if (!dialog_.HasBox(id)) {
        return;
    }
    static char value[FIELD_VALUE_SIZE];
    static char before[FIELD_VALUE_SIZE];
    static char after[FIELD_VALUE_SIZE];
    std::string_view valueText;
    if (action.kind == ScriptAction::Set) {
        Values values(dialog_, run);
        const size_t length = ExpandScriptValue(action.value, values, value, sizeof value);
        valueText = std::string_view(value, std::min(length, sizeof value - 1));
    }
    const std::string_view field = dialog_.BoxView(id);
    const size_t kept = std::min(field.size(), sizeof before - 1);
    std::memcpy(before, field.data(), kept);
    int32_t length = 0;
    TlvEdit edit = EditTlvText(std::string_view(before, kept), action.object,
                               action.kind == ScriptAction::Set ? &valueText : nullptr, after,
                               static_cast<int32_t>(sizeof after - 1), &length);
    if (edit == TlvEdit::Done) {
        int cutAt = 0;
        dialog_.Type(id, std::string_view(after, static_cast<size_t>(length)), &cutAt);
        if (cutAt > 0) {
            dialog_.Type(id, std::string_view(before, kept));
            edit = TlvEdit::NoRoom;
        }
    }
    if (edit == TlvEdit::Done || (edit == TlvEdit::Absent && action.kind == ScriptAction::Clear)) {
        return;
    }
    char path[TLV_PATH_TEXT_SIZE];
    FormatTlvPath(action.object, path);
    SayOnStandardError("operator script %s line %d: \"%s %d.%s\": %s; field %d is unchanged",
                       script_.path.c_str(), action.line,
                       action.kind == ScriptAction::Set ? "set" : "clear", action.field, path,
                       TlvEditText(edit), action.field);
}

bool ScriptHost::FileCommand(Run& run, const ScriptAction& action) {
    char path[FILE_NAME_SIZE];
    Values values(dialog_, run);
    size_t length = ExpandScriptPath(action.value, values, path, sizeof path);
    const char* command = action.kind == ScriptAction::Read ? "read" : "save";
    if (length >= sizeof path) {
        SayOnStandardError(
            "operator script %s line %d: the path of \"%s\" is longer than %d characters; the "
            "message is cancelled",
            script_.path.c_str(), action.line, command, FILE_NAME_SIZE - 1);
        return false;
    }
    if (!UseScriptPath(script_.path, action.line, command, action.value, path)) {
        return false;
    }
    dialog_.AnswerFileDialog(path);
    run.exchange->lastFile = FileOutcome::None;
    Command(run, action.kind == ScriptAction::Read ? READ_BUTTON_ID : SAVE_BUTTON_ID);
    if (run.exchange->lastFile != FileOutcome::Done) {
        SayOnStandardError("operator script %s line %d: \"%s %s\" failed; the message is cancelled",
                           script_.path.c_str(), action.line, command, path);
        return false;
    }
    return true;
}

int ScriptHost::Ask(Run& run, const ScriptAction& action) {
    if (deskState_ == DeskNotTried) {
        std::string why;
        desk_ = openDesk_ != nullptr ? openDesk_(why) : nullptr;
        deskState_ = desk_ != nullptr ? DeskOpen : DeskFailed;
        if (desk_ == nullptr) {
            SayOnStandardError(
                "\"ask\" (%s line %d) needs a display%s%s; this and every later \"ask\" "
                "cancels its message",
                script_.path.c_str(), action.line, why.empty() ? "" : ": ", why.c_str());
        }
    }
    if (deskState_ == DeskFailed) {
        return EndAsCancel(run);
    }
    AskContext ask{dialog_, run.procedure, *run.exchange};
    run.result = RunFramedDialog(*desk_, AskProc, &ask);
    return Finish(run, Asked);
}

void ScriptHost::SetSuspendableDelays(bool on) {
    suspendable_ = on;
    if (on && suspended_ == nullptr) {
        suspended_ = std::make_unique<SuspendedRun[]>(MAX_SUSPENDED_RUNS);
        packing_ = std::make_unique<SuspendedRun>();
    }
}

ScriptHost::SuspendedRun* ScriptHost::FindSuspended(int port) const {
    if (suspended_ == nullptr) {
        return nullptr;
    }
    for (size_t i = 0; i < MAX_SUSPENDED_RUNS; ++i) {
        if (suspended_[i].port == port) {
            return &suspended_[i];
        }
    }
    return nullptr;
}

bool ScriptHost::Suspend(const Run& run, int delayMs) {
    int port = run.exchange->port;
    // A resumed run keeps its own place; a new one takes a free place.
    SuspendedRun* place = port >= 0 ? FindSuspended(port) : nullptr;
    if (place == nullptr) {
        place = FindSuspended(-1);
    }
    if (place == nullptr || port < 0) {
        return false;
    }
    // Packed apart first: the boxes of a resumed run still read the place.
    SuspendedRun& packed = *packing_;
    packed.used = 0;
    for (int i = 0; i < dialog_.boxCount(); ++i) {
        std::string_view text = dialog_.BoxView(dialog_.boxId(i));
        size_t take = std::min(text.size(), sizeof packed.texts - static_cast<size_t>(packed.used));
        if (take > 0) {
            std::memcpy(packed.texts + packed.used, text.data(), take);
        }
        packed.lengths[i] = static_cast<int16_t>(take);
        packed.used += static_cast<int>(take);
    }
    place->port = port;
    place->wakeTime = SteadyMilliseconds() + delayMs;
    place->run = run;
    place->run.exchange = nullptr;  // the exchange ends with this call; a resume brings one
    place->used = packed.used;
    std::memcpy(place->lengths, packed.lengths, sizeof place->lengths);
    std::memcpy(place->texts, packed.texts, static_cast<size_t>(packed.used));
    return true;
}

int64_t ScriptHost::WakeTime(int port) const {
    const SuspendedRun* place = port >= 0 ? FindSuspended(port) : nullptr;
    return place != nullptr ? place->wakeTime : -1;
}

int ScriptHost::Resume(Exchange& exchange) {
    const int port = exchange.port;
    SuspendedRun* place = port >= 0 ? FindSuspended(port) : nullptr;
    if (place == nullptr) {
        return -1;
    }
    dialog_.Reopen();
    int offset = 0;
    for (int i = 0; i < dialog_.boxCount(); ++i) {
        dialog_.RefillBox(i, place->texts + offset, place->lengths[i]);
        offset += place->lengths[i];
    }
    Run run = place->run;
    run.exchange = &exchange;
    int result = Continue(run);
    if (result != DIALOG_SUSPENDED) {
        place->port = -1;
    }
    return result;
}

void ScriptHost::Discard(int port) {
    SuspendedRun* place = port >= 0 ? FindSuspended(port) : nullptr;
    if (place != nullptr) {
        place->port = -1;
        Finish(place->run, place->run.responded ? Responded : Cancelled);
    }
}

void ScriptHost::WriteSummary() const {
    std::string line = std::to_string(messages_) +
                       " requests: " + std::to_string(outcomes_[Responded]) + " responded, " +
                       std::to_string(outcomes_[Cancelled]) + " cancelled, " +
                       std::to_string(outcomes_[Closed]) + " closed";
    if (outcomes_[Silenced] > 0) {
        line += ", " + std::to_string(outcomes_[Silenced]) + " silenced";
    }
    if (outcomes_[Asked] > 0) {
        line += ", " + std::to_string(outcomes_[Asked]) + " asked";
    }
    if (outcomes_[SendFailed] > 0) {
        line += ", " + std::to_string(outcomes_[SendFailed]) + " send failed";
    }
    if (checked_) {
        line += ", " + std::to_string(withFindings_) + " with findings";
    }
    line += "; by rule:";
    for (size_t i = 0; i < script_.rules.size(); ++i) {
        line += " line " + std::to_string(script_.rules[i].line) + " " +
                std::to_string(byRule_[i]) + ",";
    }
    line += " no rule " + std::to_string(byRule_.back());
    SayOnStandardError("%s", line.c_str());
}

}  // namespace ui
