#include "ui/script/operator_script.h"

#include <fstream>
#include <sstream>

namespace ui {

namespace {

constexpr int MAX_SCRIPT_FIELD = 128;

// A field number: decimal digits only, 0 to 128.
bool ParseField(const std::string& text, int& field) {
    if (text.empty() || text.size() > 3) {
        return false;
    }
    field = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        field = field * 10 + (c - '0');
    }
    return field <= MAX_SCRIPT_FIELD;
}

struct Parser {
    const std::string& path;
    OperatorScript& script;
    std::string& error;
    int line = 0;

    bool Fail(const std::string& what) {
        error = "Operator script " + path + " line " + std::to_string(line) + ": " + what;
        return false;
    }

    bool Rule(const std::string& rest) {
        ScriptRule rule{};
        rule.line = line;
        if (rest == "*") {
            rule.any = true;
        } else {
            size_t equals = rest.find('=');
            if (equals == std::string::npos || !ParseField(rest.substr(0, equals), rule.field)) {
                return Fail("expected \"on N=TEXT\" or \"on *\"");
            }
            rule.text = rest.substr(equals + 1);
        }
        script.rules.push_back(std::move(rule));
        return true;
    }

    bool Action(const std::string& command, const std::string& rest, bool hasRest) {
        if (script.rules.empty()) {
            return Fail("\"" + command + "\" comes before the first \"on\"");
        }
        ScriptAction action{};
        action.line = line;
        if (command == "set" || command == "clear") {
            action.kind = command == "set" ? ScriptAction::Set : ScriptAction::Clear;
            size_t blank = rest.find(' ');
            std::string number = rest.substr(0, blank);
            if (!ParseField(number, action.field)) {
                return Fail("\"" + command + "\" needs a field number from 0 to 128");
            }
            if (action.kind == ScriptAction::Set && blank != std::string::npos) {
                action.text = rest.substr(blank + 1);
            } else if (blank != std::string::npos) {
                return Fail("\"clear\" takes a field number only");
            }
        } else if (command == "read" || command == "save") {
            action.kind = command == "read" ? ScriptAction::Read : ScriptAction::Save;
            if (rest.empty()) {
                return Fail("\"" + command + "\" needs a file path");
            }
            action.text = rest;
        } else if (command == "respond" || command == "cancel" || command == "ask") {
            if (hasRest && !rest.empty()) {
                return Fail("\"" + command + "\" takes nothing after it");
            }
            action.kind = command == "respond"  ? ScriptAction::Respond
                          : command == "cancel" ? ScriptAction::Cancel
                                                : ScriptAction::Ask;
        } else {
            return Fail("unknown command \"" + command + "\"");
        }
        script.rules.back().actions.push_back(std::move(action));
        return true;
    }

    bool Line(std::string text) {
        ++line;
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        size_t start = text.find_first_not_of(" \t");
        if (start == std::string::npos || text[start] == '#') {
            return true;
        }
        text.erase(0, start);
        size_t blank = text.find(' ');
        std::string command = text.substr(0, blank);
        bool hasRest = blank != std::string::npos;
        std::string rest = hasRest ? text.substr(blank + 1) : std::string();
        if (command == "on") {
            return Rule(rest);
        }
        return Action(command, rest, hasRest);
    }
};

}  // namespace

bool ParseOperatorScript(const std::string& path, const std::string& text, OperatorScript& script,
                         std::string& error) {
    script.path = path;
    script.rules.clear();
    Parser parser{path, script, error};
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!parser.Line(line)) {
            return false;
        }
    }
    return true;
}

bool LoadOperatorScript(const std::string& path, OperatorScript& script, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "Operator script " + path + " cannot be read";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParseOperatorScript(path, text.str(), script, error);
}

}  // namespace ui
