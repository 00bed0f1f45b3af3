#include "ui/script/script_path.h"

#include "diag/error_log.h"
#include "diag/error_state.h"
#include "ui/standard_error.h"

namespace ui {

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

bool HoldsBoxText(const ScriptValue& value) {
    for (const ValuePart& part : value.parts) {
        if (part.kind == ValuePart::Field || part.kind == ValuePart::Findings) {
            return true;
        }
    }
    return false;
}

}  // namespace

size_t ExpandScriptPath(const ScriptValue& value, ValueSource& source, char* out, size_t room) {
    return ExpandScriptValue(value, source, out, room, BoxText::SafeInAPath);
}

std::string_view FixedFolder(const ScriptValue& value) {
    if (value.parts.empty() || value.parts.front().kind != ValuePart::Literal) {
        return {};
    }
    std::string_view fixed = value.parts.front().text;
    size_t end = fixed.size();
    while (end > 0 && !IsSeparator(fixed[end - 1])) {
        --end;
    }
    return fixed.substr(0, end);
}

bool PathStaysInItsFolder(const ScriptValue& value, std::string_view path) {
    if (!HoldsBoxText(value)) {
        return true;
    }
    std::string_view folder = FixedFolder(value);
    if (path.substr(0, folder.size()) != folder) {
        return false;  // not this value's expansion
    }
    // A root or a drive at the start of the path is the author's when the
    // fixed text wrote it.
    size_t fixed =
        value.parts.front().kind == ValuePart::Literal ? value.parts.front().text.size() : 0;
    if ((fixed == 0 && !path.empty() && IsSeparator(path[0])) ||
        (fixed < 2 && path.size() > 1 && path[1] == ':')) {
        return false;
    }
    std::string_view rest = path.substr(folder.size());
    // Folders entered below the fixed one; ".." leaves one.
    int depth = 0;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = start;
        while (end < rest.size() && !IsSeparator(rest[end])) {
            ++end;
        }
        std::string_view segment = rest.substr(start, end - start);
        if (segment == "..") {
            if (--depth < 0) {
                return false;
            }
        } else if (!segment.empty() && segment != ".") {
            ++depth;
        }
        start = end + 1;
    }
    return true;
}

bool UseScriptPath(const std::string& script, int line, const char* command,
                   const ScriptValue& value, const char* path) {
    if (PathStaysInItsFolder(value, path)) {
        return true;
    }
    std::string_view folder = FixedFolder(value);
    if (folder.empty()) {
        folder = ".";
    }
    const int width = static_cast<int>(folder.size());
    SetError(ERR_INVALID, 0);
    ADD_ERROR_TEXT(
        "Operator script %s line %d: \"%s %s\" refused: the path leaves the folder "
        "\"%.*s\"\n",
        script.c_str(), line, command, path, width, folder.data());
    WriteErrorLog();
    SayOnStandardError(
        "operator script %s line %d: \"%s %s\" failed: the path leaves the folder \"%.*s\"; the "
        "message is cancelled",
        script.c_str(), line, command, path, width, folder.data());
    return false;
}

}  // namespace ui
