#pragma once

// The window classes of the dialog's controls, by the names the platform
// gives them. The platform compares class names without regard to case.

namespace ui {

inline constexpr const char* CLASS_STATIC = "STATIC";
inline constexpr const char* CLASS_EDIT = "EDIT";
inline constexpr const char* CLASS_BUTTON = "BUTTON";

enum class ControlClass { Static, Edit, Button, Other };

constexpr ControlClass ClassOfName(const char* className) {
    auto same = [](const char* name, const char* upper) {
        for (; *upper != '\0'; ++name, ++upper) {
            char c = *name;
            if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) != *upper) {
                return false;
            }
        }
        return *name == '\0';
    };
    if (className == nullptr) {
        return ControlClass::Other;
    }
    if (same(className, CLASS_STATIC)) {
        return ControlClass::Static;
    }
    if (same(className, CLASS_EDIT)) {
        return ControlClass::Edit;
    }
    return same(className, CLASS_BUTTON) ? ControlClass::Button : ControlClass::Other;
}

static_assert(ClassOfName("Edit") == ControlClass::Edit);
static_assert(ClassOfName("EDITS") == ControlClass::Other);

}  // namespace ui
