#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "ui/script/script_value.h"

// The path of a script's "read" or "save" line. Its fixed beginning (the
// text before its first live value) is the script author's; the text of a
// box (${N}, ${N:FROM:COUNT}) is the peer's, and a peer's bytes must never
// choose a file outside the folder the author named.

namespace ui {

// ExpandScriptValue with each box's text made safe in a path
// (BoxText::SafeInAPath).
size_t ExpandScriptPath(const ScriptValue& value, ValueSource& source, char* out, size_t room);

// The folder the fixed beginning names: that text up to and including its
// last '/' or '\'; empty for the working directory.
std::string_view FixedFolder(const ScriptValue& value);

// False when the expanded path of a value that holds a box's text leaves its
// FixedFolder: beyond the folder ('/' and '\' both separate), more ".." than
// folders entered, or, with no fixed folder, a path that starts at a root
// ('/', '\', "\\server") or a drive ("C:"). A path without a box's text is
// the author's alone, and is always true.
bool PathStaysInItsFolder(const ScriptValue& value, std::string_view path);

// True when the expanded path may be used. Otherwise the path is refused as
// a failed read or save is told: a record in the error log, and a line on
// standard error naming the script's file and line; the caller cancels the
// message.
bool UseScriptPath(const std::string& script, int line, const char* command,
                   const ScriptValue& value, const char* path);

}  // namespace ui
