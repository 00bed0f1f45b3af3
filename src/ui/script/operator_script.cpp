#include "ui/script/operator_script.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "ui/dialog_host.h"

// Whitespace, one rule for every line: blanks and tabs separate words, in any
// number, and are ignored at the start and at the end of a line. Only free
// text is taken as it stands: "set"'s TEXT is the rest of the line after the
// single blank that follows the field number (a value may end in blanks), and
// "read"/"save"'s PATH the rest after the command (a PATH that ends in a
// blank is refused: it is always a slip).

namespace ui {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
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

    static size_t SkipBlanks(const std::string& text, size_t pos) {
        while (pos < text.size() && IsBlank(text[pos])) {
            ++pos;
        }
        return pos;
    }
    static size_t WordEnd(const std::string& text, size_t pos) {
        while (pos < text.size() && !IsBlank(text[pos])) {
            ++pos;
        }
        return pos;
    }

    bool Rule(const std::string& text, size_t pos) {
        ScriptRule rule{};
        rule.line = line;
        if (!Conditions(text, pos, rule.conditions)) {
            return false;
        }
        if (rule.conditions.empty()) {
            return Fail("\"on\" needs a condition, such as \"on 0=0200\" or \"on *\"");
        }
        script.rules.push_back(std::move(rule));
        return true;
    }

    // The conditions of an "on" or "expect" line from pos to its end.
    bool Conditions(const std::string& text, size_t pos, std::vector<ScriptCondition>& conditions) {
        // Where the TEXT of the last unquoted "=" condition began: an old
        // "on 41=TERM 001" would otherwise change its meaning silently.
        size_t unquotedTextStart = std::string::npos;
        std::string unquotedHead;
        for (pos = SkipBlanks(text, pos); pos < text.size(); pos = SkipBlanks(text, pos)) {
            size_t start = pos;
            ScriptCondition condition;
            std::string why;
            if (!ParseCondition(text, pos, condition, why)) {
                size_t end = WordEnd(text, start);
                std::string message = "\"";
                message.append(text, start, end - start);
                if (unquotedTextStart != std::string::npos) {
                    message +=
                        "\" is not a condition; a TEXT that holds a blank is written in "
                        "double quotes: ";
                    message += unquotedHead;
                    message += '"';
                    message.append(text, unquotedTextStart, end - unquotedTextStart);
                    message += '"';
                    return Fail(message);
                }
                message += "\" is not a condition: ";
                message += why;
                return Fail(message);
            }
            unquotedTextStart = std::string::npos;
            bool textForm =
                condition.kind != ScriptCondition::Always && condition.kind < ScriptCondition::Less;
            if (textForm) {
                size_t value = text.find('=', start) + 1;
                size_t quote = value < pos && text[value] == '*' ? value + 1 : value;
                if (quote >= pos || text[quote] != '"') {
                    unquotedTextStart = value;
                    unquotedHead = text.substr(start, value - start);
                }
            }
            conditions.push_back(std::move(condition));
        }
        return true;
    }

    bool Value(const std::string& text, ScriptValue& value) {
        std::string why;
        if (!ParseScriptValue(text, value, why)) {
            return Fail(why);
        }
        return true;
    }

    bool Action(const std::string& command, const std::string& text, size_t pos) {
        if (script.rules.empty()) {
            return Fail("\"" + command + "\" comes before the first \"on\"");
        }
        ScriptAction action{};
        action.line = line;
        pos = SkipBlanks(text, pos);
        size_t wordEnd = WordEnd(text, pos);
        std::string word = text.substr(pos, wordEnd - pos);
        bool nothingAfterWord = SkipBlanks(text, wordEnd) == text.size();
        if (command == "set" || command == "clear") {
            action.kind = command == "set" ? ScriptAction::Set : ScriptAction::Clear;
            if (!ParseFieldOrObject(word, action.field, action.hasObject, action.object)) {
                return Fail("\"" + command +
                            "\" needs a field number from 0 to 128, or N.PATH for a data object "
                            "of chip data (55.91)");
            }
            if (action.kind == ScriptAction::Set) {
                std::string value = wordEnd < text.size() ? text.substr(wordEnd + 1) : "";
                if (!Value(value, action.value)) {
                    return false;
                }
            } else if (!nothingAfterWord) {
                return Fail("\"clear\" takes a field number only");
            }
        } else if (command == "read" || command == "save") {
            action.kind = command == "read" ? ScriptAction::Read : ScriptAction::Save;
            std::string file = text.substr(pos);
            if (file.empty()) {
                return Fail("\"" + command + "\" needs a file path");
            }
            if (IsBlank(file.back())) {
                return Fail("the path of \"" + command +
                            "\" ends in a blank; remove it (a file name never ends in one)");
            }
            if (file.size() > static_cast<size_t>(FILE_NAME_SIZE - 1)) {
                return Fail("the path of \"" + command + "\" is longer than " +
                            std::to_string(FILE_NAME_SIZE - 1) + " characters");
            }
            if (!Value(file, action.value)) {
                return false;
            }
        } else if (command == "expect") {
            action.kind = ScriptAction::Expect;
            if (!Conditions(text, pos, action.conditions)) {
                return false;
            }
            if (action.conditions.empty()) {
                return Fail(
                    "\"expect\" needs a condition, such as \"expect 41!=\" or \"expect valid\"");
            }
            size_t last = text.find_last_not_of(" \t");
            action.value.written = text.substr(pos, last + 1 - pos);
        } else if (command == "delay") {
            action.kind = ScriptAction::Delay;
            int64_t ms = 0;
            if (!ParseDecimal(word, ms) || ms > MAX_DELAY_MS || !nothingAfterWord) {
                return Fail("\"delay\" needs milliseconds from 0 to " +
                            std::to_string(MAX_DELAY_MS));
            }
            action.delayMs = static_cast<int>(ms);
        } else {
            static const struct {
                const char* name;
                ScriptAction::Kind kind;
            } bare[] = {{"respond", ScriptAction::Respond},
                        {"cancel", ScriptAction::Cancel},
                        {"ask", ScriptAction::Ask},
                        {"close", ScriptAction::Close},
                        {"silence", ScriptAction::Silence}};
            bool known = false;
            for (const auto& b : bare) {
                if (command == b.name) {
                    action.kind = b.kind;
                    known = true;
                }
            }
            if (!known) {
                return Fail("unknown command \"" + command + "\"");
            }
            if (!word.empty()) {
                return Fail("\"" + command + "\" takes nothing after it");
            }
        }
        script.rules.back().actions.push_back(std::move(action));
        return true;
    }

    bool Line(std::string text) {
        ++line;
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        size_t start = SkipBlanks(text, 0);
        if (start == text.size() || text[start] == '#') {
            return true;
        }
        size_t end = WordEnd(text, start);
        std::string command = text.substr(start, end - start);
        if (command == "on") {
            return Rule(text, end);
        }
        return Action(command, text, end);
    }
};

}  // namespace

bool ParseOperatorScript(const std::string& path, const std::string& text, OperatorScript& script,
                         std::string& error) {
    script.path = path;
    script.rules.clear();
    Parser parser{path, script, error};
    std::istringstream lines(text.rfind("\xEF\xBB\xBF", 0) == 0 ? text.substr(3) : text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!parser.Line(line)) {
            return false;
        }
    }
    return true;
}

bool LoadOperatorScript(const std::string& path, OperatorScript& script, std::string& error) {
    std::error_code failure;
    if (!std::filesystem::is_regular_file(path, failure)) {
        error = "Operator script " + path + " cannot be read" +
                (std::filesystem::is_directory(path, failure) ? " (it is a directory)"
                 : std::filesystem::exists(path, failure)     ? " (it is not a regular file)"
                                                              : "");
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::string text;
    if (in) {
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (!in && !in.eof()) {
        error = "Operator script " + path + " cannot be read";
        return false;
    }
    return ParseOperatorScript(path, text, script, error);
}

}  // namespace ui
