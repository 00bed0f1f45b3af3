#include "ui/win32/win32_host.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "ui/control_class.h"
#include "ui/dialog_scroll.h"
#include "ui/dialog_template.h"

// Hazard: the system headers define WM_INITDIALOG, IDOK, WS_CHILD, SB_LINEUP
// and more as macros, names that ui/dialog_host.h declares as constants.
// They come after every header of ours, and below this line only the
// system's names are used.
#include <windows.h>
// commdlg.h needs the declarations of windows.h before it.
#include <commctrl.h>
#include <commdlg.h>

namespace ui {

namespace {

HINSTANCE instanceHandle = nullptr;

constexpr int FILE_NAME_CAPACITY = 260;

// The version-4 layout of the file dialog's request (without the fields
// that Windows 2000 added): 76 bytes on 32-bit Windows, where the program
// was born; the same members with 64-bit pointers on 64-bit Windows.
// (OPENFILENAME_SIZE_VERSION_400A, written so that the compiler can check it.)
constexpr DWORD REQUEST_SIZE_VERSION_4 = offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR);
static_assert(REQUEST_SIZE_VERSION_4 == (sizeof(void*) == 4 ? 76 : 136));

// An edit box keeps the wheel to itself even when it has nothing to scroll;
// in the message dialog the wheel scrolls the dialog, over a box too.
constexpr const char* EDIT_PROCEDURE = "VelkEditProcedure";

// Set on a box that takes only hexadecimal digits (LimitToHexDigits).
constexpr const char* HEX_DIGITS = "VelkHexDigits";
// Set on a box whose program text is UTF-8 (TakeUtf8Text).
constexpr const char* UTF8_TEXT = "VelkUtf8Text";

// A box's text is kept in UTF-16; the program's UTF-8 goes in and comes out
// through it. The box's procedure is an ANSI one (the subclass): characters
// outside the system code page are lost, which an EBCDIC value's Latin-1
// letters are not.
void SetUtf8Text(HWND box, const char* text) {
    wchar_t wide[4097];
    int count = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, 4097);
    if (count <= 0) {
        wide[0] = L'\0';
    }
    ::SetWindowTextW(box, wide);
}

int GetUtf8Text(HWND box, char* buffer, int room) {
    buffer[0] = '\0';
    if (room <= 1) {
        return 0;  // a size of 0 would ask for the size instead
    }
    wchar_t wide[4097];
    const int count = ::GetWindowTextW(box, wide, 4097);
    int k = count > 0
                ? ::WideCharToMultiByte(CP_UTF8, 0, wide, count, buffer, room - 1, nullptr, nullptr)
                : 0;
    // Too long for the room: as many whole characters as fit.
    for (int cut = count; k == 0 && cut > 1;) {
        --cut;
        k = ::WideCharToMultiByte(CP_UTF8, 0, wide, cut, buffer, room - 1, nullptr, nullptr);
    }
    buffer[k] = '\0';
    return k;
}

// A typed character as a hexadecimal box takes it: a digit or an upper-case
// letter A to F, or 0 for none.
char HexDigitOf(unsigned character) {
    if ((character >= '0' && character <= '9') || (character >= 'A' && character <= 'F')) {
        return static_cast<char>(character);
    }
    if (character >= 'a' && character <= 'f') {
        return static_cast<char>(character - 'a' + 'A');
    }
    return 0;
}

// Pastes the hexadecimal digits of the clipboard's text in place of the
// selection; the edit control's own replacement keeps to its limit.
void PasteHexDigits(HWND box) {
    if (!::IsClipboardFormatAvailable(CF_TEXT) || !::OpenClipboard(box)) {
        return;
    }
    char digits[4097];
    size_t count = 0;
    if (HANDLE data = ::GetClipboardData(CF_TEXT)) {
        if (const auto* text = static_cast<const char*>(::GlobalLock(data))) {
            for (; *text != '\0' && count + 1 < sizeof digits; ++text) {
                if (char digit = HexDigitOf(static_cast<unsigned char>(*text))) {
                    digits[count++] = digit;
                }
            }
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    digits[count] = '\0';
    ::SendMessageA(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(digits));
}

LRESULT CALLBACK EditPassingWheel(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    auto previous = reinterpret_cast<WNDPROC>(::GetPropA(box, EDIT_PROCEDURE));
    if (message == WM_MOUSEWHEEL) {
        return ::SendMessageA(::GetParent(box), message, wParam, lParam);
    }
    if (::GetPropA(box, HEX_DIGITS) != nullptr) {
        // Control characters (backspace, the clipboard keys) keep their work.
        if (message == WM_CHAR && wParam >= 0x20) {
            const char digit = HexDigitOf(static_cast<unsigned>(wParam));
            if (digit == 0) {
                ::MessageBeep(MB_OK);
                return 0;
            }
            wParam = static_cast<WPARAM>(digit);
        } else if (message == WM_PASTE) {
            PasteHexDigits(box);
            return 0;
        }
    }
    if (message == WM_NCDESTROY) {
        ::RemovePropA(box, HEX_DIGITS);
        ::RemovePropA(box, UTF8_TEXT);
        ::RemovePropA(box, EDIT_PROCEDURE);
        ::SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    }
    return ::CallWindowProcA(previous, box, message, wParam, lParam);
}

// One running dialog as its procedure sees it.
class Win32Dialog final : public DialogHost {
  public:
    Win32Dialog(HWND window, DialogProc dialogProcedure, void* context)
        : window_(window), procedure_(dialogProcedure), context_(context) {}

    // Hands a message of the dialog logic to the procedure, with the context.
    intptr_t Call(unsigned message, uintptr_t wParam, intptr_t lParam) {
        return procedure_(*this, message, wParam, lParam, context_);
    }

    bool CreateControl(const char* className, const char* text, uint32_t style, int x, int y,
                       int width, int height, int id) override {
        HWND control = ::CreateWindowExA(0, className, text, style, x, y, width, height, window_,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                         instanceHandle, nullptr);
        if (control != nullptr && ClassOfName(className) == ControlClass::Edit) {
            LONG_PTR previous = ::GetWindowLongPtrA(control, GWLP_WNDPROC);
            ::SetPropA(control, EDIT_PROCEDURE, reinterpret_cast<HANDLE>(previous));
            ::SetWindowLongPtrA(control, GWLP_WNDPROC,
                                reinterpret_cast<LONG_PTR>(EditPassingWheel));
        }
        return control != nullptr;
    }

    void LimitText(int id, int limit) override {
        ::SendMessageA(::GetDlgItem(window_, id), EM_LIMITTEXT, static_cast<WPARAM>(limit), 0);
    }

    void LimitToHexDigits(int id) override {
        ::SetPropA(::GetDlgItem(window_, id), HEX_DIGITS, reinterpret_cast<HANDLE>(1));
    }

    void TakeUtf8Text(int id) override {
        HWND box = ::GetDlgItem(window_, id);
        char text[4097];
        ::GetWindowTextA(box, text, sizeof text);
        ::SetPropA(box, UTF8_TEXT, reinterpret_cast<HANDLE>(1));
        SetUtf8Text(box, text);
    }

    int GetItemText(int id, char* buffer, int room) override {
        HWND box = ::GetDlgItem(window_, id);
        if (room > 0 && box != nullptr && ::GetPropA(box, UTF8_TEXT) != nullptr) {
            return GetUtf8Text(box, buffer, room);
        }
        return static_cast<int>(::GetDlgItemTextA(window_, id, buffer, room));
    }

    void SetItemText(int id, const char* text) override {
        HWND box = ::GetDlgItem(window_, id);
        if (box != nullptr && ::GetPropA(box, UTF8_TEXT) != nullptr) {
            SetUtf8Text(box, text);
            return;
        }
        ::SetDlgItemTextA(window_, id, text);
    }

    // A tooltip of the common controls: the dialog manager has none of its
    // own. One tooltip window serves every box; the texts are kept here,
    // where it reads them.
    void SetItemTip(int id, const char* text) override {
        HWND box = ::GetDlgItem(window_, id);
        if (box == nullptr) {
            return;
        }
        if (tips_ == nullptr) {
            INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
            ::InitCommonControlsEx(&classes);
            tips_ = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                      WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                                      instanceHandle, nullptr);
            if (tips_ == nullptr) {
                return;
            }
            // Lines break at '\n' only; a line wider than this wraps.
            ::SendMessageA(tips_, TTM_SETMAXTIPWIDTH, 0, 800);
        }
        std::string& kept = tipTexts_[id];
        const bool known = !kept.empty();
        kept = text;
        TOOLINFOA tool{};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(box);
        tool.lpszText = kept.data();
        if (kept.empty()) {
            ::SendMessageA(tips_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        } else {
            ::SendMessageA(tips_, known ? TTM_UPDATETIPTEXTA : TTM_ADDTOOLA, 0,
                           reinterpret_cast<LPARAM>(&tool));
        }
    }
    bool TakesTips() const override { return true; }

    // The dialog manager has no tooltip of its own: the row's label (made
    // just before its box, so the window before it) reads "! NAME: FINDING",
    // as much of it as its rectangle shows.
    void MarkField(int editId, const char* finding) override {
        HWND edit = ::GetDlgItem(window_, editId);
        HWND label = edit != nullptr ? ::GetWindow(edit, GW_HWNDPREV) : nullptr;
        if (label == nullptr) {
            return;
        }
        char name[64] = {};
        ::GetWindowTextA(label, name, static_cast<int>(sizeof name));
        char text[384];
        std::snprintf(text, sizeof text, "! %s: %s", name, finding);
        ::SetWindowTextA(label, text);
    }

    int NextTabStop(int id) override {
        HWND next = ::GetNextDlgTabItem(window_, ::GetDlgItem(window_, id), FALSE);
        return next != nullptr ? ::GetDlgCtrlID(next) : 0;
    }

    void SetFocus(int id) override { ::SetFocus(::GetDlgItem(window_, id)); }

    void GetScrollRange(int* minimum, int* maximum) override {
        ::GetScrollRange(window_, SB_VERT, minimum, maximum);
    }

    int GetScrollPos() override { return ::GetScrollPos(window_, SB_VERT); }

    void SetScrollPos(int position, bool redraw) override {
        ::SetScrollPos(window_, SB_VERT, position, redraw ? TRUE : FALSE);
    }

    void SetScrollRange(int minimum, int maximum, bool redraw) override {
        ::SetScrollRange(window_, SB_VERT, minimum, maximum, redraw ? TRUE : FALSE);
    }

    void ScrollContents(int dy) override { ::ScrollWindow(window_, 0, dy, nullptr, nullptr); }

    void ShowMessageBox(const char* text, unsigned icon) override {
        ::MessageBoxA(nullptr, text, DIALOG_TITLE, MB_OK | icon);
    }

    void EndDialog(int result) override { ::EndDialog(window_, result); }

    // The wheel scrolls by lines, through the procedure.
    void Wheel(int delta) {
        int lines = WheelLines(wheelRest_, delta);
        for (int line = 0; line < (lines < 0 ? -lines : lines); ++line) {
            Call(WM_VSCROLL, MakeWParam(lines > 0 ? SB_LINEUP : SB_LINEDOWN, 0), 0);
        }
    }

    // An edit box that got the focus outside the view is brought into it.
    void ShowFocusedBox(HWND box) {
        RECT place;
        RECT client;
        if (!::GetWindowRect(box, &place) || !::GetClientRect(window_, &client)) {
            return;
        }
        ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&place), 2);
        int minimum = 0;
        int maximum = 0;
        GetScrollRange(&minimum, &maximum);
        int position = GetScrollPos();
        // The controls have moved up by the position.
        int next = PositionShowing(position, minimum, maximum, place.top + position,
                                   place.bottom + position, client.bottom);
        if (next != position) {
            Call(WM_VSCROLL, MakeWParam(SB_THUMBPOSITION, static_cast<unsigned>(next)), 0);
        }
    }

    bool ChooseFile(char* fileName, bool forSave) override {
        // One filter entry: description, NUL, pattern, NUL, and the NUL that
        // ends the list.
        char filter[32];
        std::snprintf(filter, sizeof filter, "Message Data%c*.dat%c%c", '\0', '\0', '\0');
        fileName[0] = '\0';
        OPENFILENAMEA request{};
        request.lStructSize = REQUEST_SIZE_VERSION_4;
        request.lpstrFilter = filter;
        request.lpstrFile = fileName;
        request.nMaxFile = FILE_NAME_CAPACITY;
        request.lpstrDefExt = "dat";
        if (forSave) {
            request.Flags = OFN_OVERWRITEPROMPT | OFN_CREATEPROMPT | OFN_EXPLORER | OFN_LONGNAMES;
            return ::GetSaveFileNameA(&request) != FALSE;
        }
        request.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_LONGNAMES;
        return ::GetOpenFileNameA(&request) != FALSE;
    }

  private:
    HWND window_;
    DialogProc procedure_;
    void* context_;
    int wheelRest_ = 0;
    HWND tips_ = nullptr;  // owned by the dialog: destroyed with it
    std::map<int, std::string> tipTexts_;
};

// What a dialog starts with: the dialog manager hands its address to
// WM_INITDIALOG as the initialisation value.
struct DialogStart {
    DialogProc procedure;
    void* context;
};

// The dialog manager's procedure for every dialog of this host: it keeps a
// Win32Dialog in the window's user data from WM_INITDIALOG to WM_NCDESTROY
// and hands the three messages of the dialog logic to its procedure.
INT_PTR CALLBACK DialogManagerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* dialog = reinterpret_cast<Win32Dialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            const auto* start = reinterpret_cast<const DialogStart*>(lParam);
            if (start == nullptr || start->procedure == nullptr) {
                return TRUE;
            }
            dialog = new Win32Dialog(window, start->procedure, start->context);
            ::SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
            // The procedure's own initialisation value is 0, as ever.
            return static_cast<INT_PTR>(dialog->Call(message, wParam, 0));
        }
        case WM_COMMAND:
            if (HIWORD(wParam) == EN_SETFOCUS && dialog != nullptr) {
                dialog->ShowFocusedBox(reinterpret_cast<HWND>(lParam));
            }
            break;
        case WM_VSCROLL:
            break;
        case WM_MOUSEWHEEL:
            if (dialog == nullptr) {
                return FALSE;
            }
            dialog->Wheel(GET_WHEEL_DELTA_WPARAM(wParam));
            return TRUE;
        case WM_SHOWWINDOW:
            // The dialog manager hides the focus until a key is pressed; the
            // person should see at once which button has it.
            if (wParam != FALSE) {
                ::SendMessageA(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
            }
            return FALSE;
        case WM_NCDESTROY:
            ::SetWindowLongPtrA(window, DWLP_USER, 0);
            delete dialog;
            return FALSE;
        default:
            return FALSE;
    }
    if (dialog == nullptr) {
        return FALSE;
    }
    return static_cast<INT_PTR>(dialog->Call(message, wParam, lParam));
}

class Win32UiHost final : public UiHost {
  public:
    void ShowMessageBox(const char* text, unsigned icon) override {
        ::MessageBoxA(nullptr, text, DIALOG_TITLE, MB_OK | icon);
    }

    // The template goes into a fixed block of the local heap, as large as
    // the dialog manager may read for a template with one control item.
    int RunDialog(const unsigned char* dialogTemplate, int templateSize, DialogProc procedure,
                  void* context) override {
        if (templateSize <= 0 || templateSize > TEMPLATE_BLOCK_SIZE) {
            return -1;
        }
        HLOCAL block = ::LocalAlloc(LMEM_FIXED, TEMPLATE_BLOCK_SIZE);
        if (block == nullptr) {
            return -1;
        }
        auto* bytes = static_cast<unsigned char*>(::LocalLock(block));
        std::memset(bytes, 0, TEMPLATE_BLOCK_SIZE);
        std::memcpy(bytes, dialogTemplate, static_cast<size_t>(templateSize));
        DialogStart start{procedure, context};
        INT_PTR result =
            ::DialogBoxIndirectParamA(instanceHandle, reinterpret_cast<LPCDLGTEMPLATEA>(bytes),
                                      nullptr, DialogManagerProc, reinterpret_cast<LPARAM>(&start));
        ::LocalUnlock(block);
        ::LocalFree(block);
        return static_cast<int>(result);
    }
};

}  // namespace

void SetWin32Instance(void* instance) {
    instanceHandle = static_cast<HINSTANCE>(instance);
}

UiHost& Win32Host() {
    static Win32UiHost host;
    if (instanceHandle == nullptr) {
        instanceHandle = ::GetModuleHandleA(nullptr);
    }
    return host;
}

void AttachParentConsoleForErrors() {
    HANDLE current = ::GetStdHandle(STD_ERROR_HANDLE);
    if (current != nullptr && current != INVALID_HANDLE_VALUE) {
        return;
    }
    if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::FILE* reopened = std::freopen("CONOUT$", "w", stderr);
        (void)reopened;
    }
}

}  // namespace ui
