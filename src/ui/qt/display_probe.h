#pragma once

#include <string>

// Qt ends the process when no platform plugin of the list starts, for
// example when DISPLAY names an X server that does not answer. The desk
// host asks the toolkit itself first, in a child process that may end as it
// likes.

namespace ui {

// Starts the toolkit's platform in a child process, with this process's
// environment, and reports whether it started within the deadline. False,
// with the reason in why, when it did not: the toolkit's own first complaint,
// or the deadline. Call before the first QApplication of this process, while
// no other thread runs.
bool DisplayAnswers(std::string& why, int deadlineMilliseconds = 10000);

}  // namespace ui
