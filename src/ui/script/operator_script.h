#pragma once

#include <string>
#include <vector>

#include "ui/script/script_condition.h"
#include "ui/script/script_value.h"

// The operator script: rules that answer each received message without a
// person. A rule starts with "on COND [COND ...]" (applies when every
// condition holds for the edit boxes as the dialog opened) and runs its lines
// up to the next "on".

namespace ui {

struct ScriptAction {
    enum Kind { Set, Clear, Read, Save, Respond, Cancel, Ask, Delay, Close, Silence, Expect };
    Kind kind;
    int field;          // Set, Clear
    bool hasObject;     // Set, Clear: "set N.PATH HEX", "clear N.PATH"
    TlvPath object;     // ... the data object of field N
    ScriptValue value;  // Set: the text; Read, Save: the path; Expect: written, the conditions
    // Expect: what the request must hold (the grammar of "on"); checked on
    // the request as it arrived when the rule is chosen, a failure being a
    // finding of the request; the rule goes on either way.
    std::vector<ScriptCondition> conditions;
    int delayMs;  // Delay
    int line;
};

struct ScriptRule {
    std::vector<ScriptCondition> conditions;
    std::vector<ScriptAction> actions;
    int line;
};

struct OperatorScript {
    std::string path;
    std::vector<ScriptRule> rules;
};

inline constexpr int MAX_SCRIPT_FIELD = 128;
inline constexpr int MAX_DELAY_MS = 600000;

// Reads and checks a script (a regular file; a UTF-8 byte-order mark at its
// start is skipped). On failure returns false with a message naming the file
// and the line in error.
bool LoadOperatorScript(const std::string& path, OperatorScript& script, std::string& error);
// The same from text already in memory (path names it in messages).
bool ParseOperatorScript(const std::string& path, const std::string& text, OperatorScript& script,
                         std::string& error);

}  // namespace ui
