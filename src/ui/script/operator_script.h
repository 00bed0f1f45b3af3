#pragma once

#include <string>
#include <vector>

// The operator script: rules that answer each received message without a
// person. A rule starts with "on N=TEXT" (applies when the edit box of field
// N holds exactly TEXT when the dialog opens) or "on *" (applies to every
// message) and runs its lines up to the next "on".

namespace ui {

struct ScriptAction {
    enum Kind { Set, Clear, Read, Save, Respond, Cancel, Ask };
    Kind kind;
    int field;         // Set, Clear
    std::string text;  // Set: the text; Read, Save: the path
    int line;
};

struct ScriptRule {
    bool any;  // "on *"
    int field;
    std::string text;
    std::vector<ScriptAction> actions;
    int line;
};

struct OperatorScript {
    std::string path;
    std::vector<ScriptRule> rules;
};

// Reads and checks a script. On failure returns false with a message naming
// the file and the line in error.
bool LoadOperatorScript(const std::string& path, OperatorScript& script, std::string& error);
// The same from text already in memory (path names it in messages).
bool ParseOperatorScript(const std::string& path, const std::string& text, OperatorScript& script,
                         std::string& error);

}  // namespace ui
