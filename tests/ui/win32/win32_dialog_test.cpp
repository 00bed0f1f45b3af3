// The message dialog on the real dialog manager, under the Win32 host: the
// template in the local heap, the controls the procedure creates, message
// boxes and the common file dialogs, each answered by the test.

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "conform/findings.h"
#include "os_lowio.h"
#include "ui/dialog_fixture.h"
#include "ui/dialog_template.h"
#include "ui/win32/win32_host.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/open_port.h"
#include "vksoc/port/port.h"
#include "vksoc/port/recv_msg.h"

// After every header of ours: the system's macros share names with the
// dialog logic's constants (see win32_host.cpp).
#include <windows.h>

namespace {

constexpr int FILE_NAME_EDIT = 0x480;   // edt1 of the file dialog's template
constexpr int FILE_NAME_COMBO = 0x47C;  // cmb13, where the file name is a combo box
constexpr int BOX_TEXT = 0xFFFF;        // the static control of a message box

struct Box {
    std::string title;
    std::string text;
};

// What the hooks see and do; the dialogs run on this thread only.
std::function<void(HWND)> drive;
// The message dialog this thread shows. Found by the hook, never by its
// title: ctest runs test programs side by side, each with its own dialog.
HWND shownDialog = nullptr;
std::vector<Box> boxes;
std::vector<std::string> fileAnswers;  // "" cancels the file dialog
int fileDialogs = 0;
std::vector<HWND> answered;  // a dialog is activated again after its own boxes
bool endedByFallback = false;

std::string TextOf(HWND window) {
    char text[512];
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ItemText(HWND dialog, int id) {
    char text[512];
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// Ends a dialog that its test left open, so that a failing test cannot hang.
void CALLBACK CancelLeftOpen(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND dialog = shownDialog;
    if (dialog != nullptr && IsWindow(dialog) && IsWindowVisible(dialog)) {
        endedByFallback = true;
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
}

void CALLBACK DriveOnce(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND dialog = shownDialog;
    auto step = std::move(drive);
    drive = nullptr;
    if (step) {
        step(dialog);
    }
}

// The dialog manager shows a modal dialog when its queue first runs empty;
// the test starts from there, through a timer of the modal loop.
LRESULT CALLBACK WatchShow(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_SHOWWINDOW && message->wParam != 0 && drive &&
        TextOf(message->hwnd) == "VELK Tester") {
        shownDialog = message->hwnd;
        SetTimer(nullptr, 0, 0, DriveOnce);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Answers message boxes (Yes where there is one, else OK) and file dialogs
// (the next of fileAnswers) as they are activated.
LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        auto window = reinterpret_cast<HWND>(wParam);
        HWND fileName = GetDlgItem(window, FILE_NAME_COMBO);
        if (fileName == nullptr) {
            fileName = GetDlgItem(window, FILE_NAME_EDIT);
        }
        if (GetDlgItem(window, BOX_TEXT) != nullptr) {
            boxes.push_back({TextOf(window), ItemText(window, BOX_TEXT)});
            PostMessageA(window, WM_COMMAND, GetDlgItem(window, IDYES) != nullptr ? IDYES : IDOK,
                         0);
        } else if (fileName != nullptr &&
                   std::find(answered.begin(), answered.end(), window) == answered.end()) {
            answered.push_back(window);
            ++fileDialogs;
            std::string answer;
            if (!fileAnswers.empty()) {
                answer = fileAnswers.front();
                fileAnswers.erase(fileAnswers.begin());
            }
            if (answer.empty()) {
                PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
            } else {
                SetWindowTextA(fileName, answer.c_str());
                PostMessageA(window, WM_COMMAND, IDOK, 0);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class Win32Dialog : public DialogFixture {
  protected:
    void SetUp() override {
        DialogFixture::SetUp();
        boxes.clear();
        fileAnswers.clear();
        fileDialogs = 0;
        answered.clear();
        showHook_ = SetWindowsHookExA(WH_CALLWNDPROC, WatchShow, nullptr, GetCurrentThreadId());
        boxHook_ = SetWindowsHookExA(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId());
    }
    void TearDown() override {
        UnhookWindowsHookEx(showHook_);
        UnhookWindowsHookEx(boxHook_);
        drive = nullptr;
    }

    // Runs the message dialog through the Win32 host; step gets the dialog
    // once it is shown. Cancel is pressed after the step when the dialog is
    // still open, unless the step leaves its ending to the dialog manager:
    // then a dialog still open 5 s later is cancelled and endedByFallback set.
    enum class After { Cancel, Wait };
    int Run(std::function<void(HWND)> step, After after = After::Cancel) {
        endedByFallback = false;
        drive = [step, after](HWND dialog) {
            step(dialog);
            if (after == After::Cancel && IsWindowVisible(dialog)) {
                SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            } else {
                SetTimer(nullptr, 0, 5000, CancelLeftOpen);
            }
        };
        unsigned char block[ui::TEMPLATE_BLOCK_SIZE];
        int size = ui::FillDialogTemplate(block);
        return ui::Win32Host().RunDialog(block, size, ui::MsgDlgProc, &exchange_);
    }

    static void Press(HWND dialog, int id) {
        SendMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(id), 0);
    }
    static void Scroll(HWND dialog, int request, int position = 0) {
        SendMessageA(dialog, WM_VSCROLL, MAKEWPARAM(request, position), 0);
    }
    static void Type(HWND dialog, int id, char character) {
        SendMessageA(GetDlgItem(dialog, id), WM_CHAR, static_cast<WPARAM>(character), 0);
    }
    static int ClientTop(HWND dialog, int id) {
        RECT rect;
        GetWindowRect(GetDlgItem(dialog, id), &rect);
        POINT corner{rect.left, rect.top};
        ScreenToClient(dialog, &corner);
        return corner.y;
    }

    HHOOK showHook_ = nullptr;
    HHOOK boxHook_ = nullptr;
};

TEST_F(Win32Dialog, TheFrameComesFromTheTemplateAndTheProcedureAddsRowsAndButtons) {
    Put(0, "0200");
    Put(3, "011000");
    Put(39, "0000");  // longer than the limit of 2: shown whole
    int result = Run([&](HWND dialog) {
        EXPECT_EQ(TextOf(dialog), "VELK Tester");
        LONG style = GetWindowLongA(dialog, GWL_STYLE);
        for (LONG bit :
             {WS_CAPTION, WS_SYSMENU, WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX, WS_VSCROLL}) {
            EXPECT_EQ(style & bit, bit) << std::hex << bit;
        }
        EXPECT_EQ(ItemText(dialog, 5), "Message Id");  // the first label of id 5
        EXPECT_EQ(ItemText(dialog, 1000), "0200");
        EXPECT_EQ(ItemText(dialog, 1003), "011000");
        EXPECT_EQ(ItemText(dialog, 1039), "0000");
        EXPECT_EQ(ItemText(dialog, 1002), "");
        EXPECT_EQ(GetDlgItem(dialog, 1005), nullptr);  // field 5 is not defined
        EXPECT_EQ(ItemText(dialog, 1), "Respond");
        EXPECT_EQ(ItemText(dialog, 200), "&Read");
        EXPECT_EQ(ItemText(dialog, 201), "&Save");
        EXPECT_EQ(ItemText(dialog, 2), "&Cancel");
        EXPECT_EQ(ClientTop(dialog, 1070), 10 + 5 * 30);
        EXPECT_EQ(ClientTop(dialog, 1), 10 + 6 * 30);
        char className[32];
        GetClassNameA(GetDlgItem(dialog, 1000), className, sizeof className);
        EXPECT_STREQ(className, "Edit");
        EXPECT_EQ(GetWindowLongA(GetDlgItem(dialog, 1000), GWL_STYLE) & ES_AUTOHSCROLL,
                  ES_AUTOHSCROLL);
    });
    EXPECT_EQ(result, 1);
}

TEST_F(Win32Dialog, TypingStopsAtTheLimitButAReceivedLongerValueStaysWhole) {
    Put(0, "0200");
    Put(39, "0000");
    Run([&](HWND dialog) {
        EXPECT_EQ(SendMessageA(GetDlgItem(dialog, 1039), EM_GETLIMITTEXT, 0, 0), 2);
        EXPECT_EQ(SendMessageA(GetDlgItem(dialog, 1000), EM_GETLIMITTEXT, 0, 0), 4);
        EXPECT_EQ(SendMessageA(GetDlgItem(dialog, 1002), EM_GETLIMITTEXT, 0, 0), 19);
        SendMessageA(GetDlgItem(dialog, 1039), EM_SETSEL, 4, 4);
        Type(dialog, 1039, '7');
        EXPECT_EQ(ItemText(dialog, 1039), "0000");

        SetDlgItemTextA(dialog, 1003, "");
        for (char c : std::string("12345678")) {
            Type(dialog, 1003, c);
        }
        EXPECT_EQ(ItemText(dialog, 1003), "123456");
    });
}

// Puts text on the clipboard as the box's window owns it.
bool PutOnClipboard(HWND owner, const std::string& text) {
    if (!OpenClipboard(owner)) {
        return false;
    }
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    bool put = false;
    if (block != nullptr) {
        std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
        GlobalUnlock(block);
        put = SetClipboardData(CF_TEXT, block) != nullptr;
        if (!put) {
            GlobalFree(block);
        }
    }
    CloseClipboard();
    return put;
}

TEST_F(Win32Dialog, ABinaryFieldsBoxTakesOnlyHexDigitsTwoAByte) {
    UseEncodedController();
    Put(0, "0200");
    Run([&](HWND dialog) {
        HWND pin = GetDlgItem(dialog, 1052);
        ASSERT_NE(pin, nullptr);
        EXPECT_EQ(SendMessageA(pin, EM_GETLIMITTEXT, 0, 0), 16);
        for (char c : std::string("0a-Z 9f")) {
            Type(dialog, 1052, c);
        }
        EXPECT_EQ(ItemText(dialog, 1052), "0A9F");
        Type(dialog, 1052, '\b');  // backspace still edits
        EXPECT_EQ(ItemText(dialog, 1052), "0A9");
        ASSERT_TRUE(PutOnClipboard(pin, "12 34-cd:ef 5678 90ab"));
        SendMessageA(pin, WM_PASTE, 0, 0);
        EXPECT_EQ(ItemText(dialog, 1052), "0A91234CDEF56789");  // cut at the limit
        // The other encodings' boxes take what is typed.
        for (char c : std::string("T 1x")) {
            Type(dialog, 1041, c);
        }
        EXPECT_EQ(ItemText(dialog, 1041), "T 1x");
    });
}

TEST_F(Win32Dialog, AnEbcdicFieldsBoxShowsItsTextAndReadsItBackAsUtf8) {
    UseEncodedController();
    Put(0, "0200");
    Put(43, "CAF\xC3\x89");
    Run([&](HWND dialog) {
        wchar_t shown[64];
        GetWindowTextW(GetDlgItem(dialog, 1043), shown, 64);
        EXPECT_EQ(std::wstring(shown), L"CAF\u00C9");
        SetWindowTextW(GetDlgItem(dialog, 1043), L"Z\u00FCRICH");
        Press(dialog, IDOK);
    });
    // Respond read the box back as UTF-8 (the port is -1: nothing is sent).
    EXPECT_EQ(Slot(43), "Z\xC3\xBCRICH");
}

TEST_F(Win32Dialog, TheTabOrderIsTheOrderOfCreationAndReadHasTheFocus) {
    Put(0, "0200");
    Run([&](HWND dialog) {
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), 200);
        std::vector<int> order;
        HWND control = GetDlgItem(dialog, 1000);
        for (int i = 0; i < 11; ++i) {
            order.push_back(GetDlgCtrlID(control));
            control = GetNextDlgTabItem(dialog, control, FALSE);
        }
        EXPECT_EQ(order,
                  (std::vector<int>{1000, 1002, 1003, 1004, 1039, 1070, 1, 200, 201, 2, 1000}));
        // The dialog manager moves the focus with the Tab key the same way.
        SendMessageA(dialog, WM_NEXTDLGCTL, 0, FALSE);
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), 201);
    });
}

TEST_F(Win32Dialog, ScrollingMovesTheControlsByThePositionsChange) {
    Put(0, "0200");
    Run([&](HWND dialog) {
        int minimum = -1;
        int maximum = -1;
        GetScrollRange(dialog, SB_VERT, &minimum, &maximum);
        EXPECT_EQ(minimum, 0);
        EXPECT_EQ(maximum, 6 * 30);
        for (int i = 0; i < 3; ++i) {
            Scroll(dialog, SB_LINEDOWN);
        }
        EXPECT_EQ(GetScrollPos(dialog, SB_VERT), 90);
        EXPECT_EQ(ClientTop(dialog, 1000), 10 - 90);
        Scroll(dialog, SB_PAGEDOWN);
        EXPECT_EQ(GetScrollPos(dialog, SB_VERT), 180);
        EXPECT_EQ(ClientTop(dialog, 1000), 10 - 180);
        Scroll(dialog, SB_THUMBTRACK, 30);  // dragging alone moves nothing
        EXPECT_EQ(ClientTop(dialog, 1000), 10 - 180);
        Scroll(dialog, SB_THUMBPOSITION, 30);
        EXPECT_EQ(GetScrollPos(dialog, SB_VERT), 30);
        EXPECT_EQ(ClientTop(dialog, 1000), 10 - 30);
        Scroll(dialog, SB_PAGEUP);
        EXPECT_EQ(GetScrollPos(dialog, SB_VERT), 0);
        EXPECT_EQ(ClientTop(dialog, 1000), 10);
    });
}

// Three lines a notch through the procedure, over a box as over the dialog;
// half notches add up.
TEST_F(Win32Dialog, TheWheelScrollsTheDialogByLines) {
    Put(0, "0200");
    Run([&](HWND dialog) {
        auto turn = [](HWND window, int delta) {
            SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), 0);
        };
        turn(GetDlgItem(dialog, 1003), -WHEEL_DELTA);
        EXPECT_EQ(GetScrollPos(dialog, SB_VERT), 90);
        EXPECT_EQ(ClientTop(dialog, 1000), 10 - 90);
        turn(dialog, WHEEL_DELTA / 2);
        EXPECT_EQ(GetScrollPos(dialog, SB_VERT), 90);
        turn(GetDlgItem(dialog, 200), WHEEL_DELTA / 2);
        EXPECT_EQ(GetScrollPos(dialog, SB_VERT), 0);
        EXPECT_EQ(ClientTop(dialog, 1000), 10);
    });
}

// Tab into a box below or above the view: the view follows, and the box
// stands wholly inside the client area.
TEST_F(Win32Dialog, TheViewFollowsTheFocusIntoBoxesOutsideIt) {
    UseZtr();
    Run([&](HWND dialog) {
        RECT client;
        GetClientRect(dialog, &client);
        auto inView = [&](int id) {
            int top = ClientTop(dialog, id);
            return top >= 0 && top + 20 <= client.bottom;
        };
        SetFocus(GetDlgItem(dialog, 1001));
        for (int id = 1002; id <= 1057; ++id) {
            SendMessageA(dialog, WM_NEXTDLGCTL, 0, FALSE);
            ASSERT_EQ(GetDlgCtrlID(GetFocus()), id);
            EXPECT_TRUE(inView(id)) << id;
        }
        EXPECT_EQ(GetScrollPos(dialog, SB_VERT), 10 + 56 * 30 + 20 - client.bottom);
        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, 1003)),
                     TRUE);
        EXPECT_TRUE(inView(1003));
        EXPECT_EQ(GetScrollPos(dialog, SB_VERT), 10 + 2 * 30);
    });
}

// The starting button shows its focus before any key is pressed.
TEST_F(Win32Dialog, TheStartingButtonShowsItsFocus) {
    Put(0, "0200");
    Run([&](HWND dialog) {
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), 200);
        EXPECT_EQ(SendMessageA(dialog, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS, 0);
    });
}

// Enter in an edit box is the dialog manager's OK command: Respond.
TEST_F(Win32Dialog, EnterInAnEditBoxResponds) {
    Put(0, "0200");
    std::string path = (root_.root() / "enter.dat").string();
    exchange_.port =
        OpenPort(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | plat::OPEN_BINARY, MODE_FILE, "C01");
    ASSERT_GE(exchange_.port, 0);
    int result = Run(
        [&](HWND dialog) {
            SetFocus(GetDlgItem(dialog, 1039));
            PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
        },
        After::Wait);
    ClosePort(exchange_.port);
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(endedByFallback);
    EXPECT_EQ(ReadFile(path).substr(0, 4), "0200");
}

TEST_F(Win32Dialog, RespondSendsTheEditedBoxesAndEndsTheDialog) {
    Put(0, "0200");
    Put(3, "011000");
    std::string path = (root_.root() / "wire.dat").string();
    exchange_.port =
        OpenPort(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | plat::OPEN_BINARY, MODE_FILE, "C01");
    ASSERT_GE(exchange_.port, 0);
    int result = Run([&](HWND dialog) {
        SetDlgItemTextA(dialog, 1000, "0210");
        SetDlgItemTextA(dialog, 1039, "00");
        Press(dialog, IDOK);
        EXPECT_FALSE(IsWindowVisible(dialog));
    });
    ClosePort(exchange_.port);
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(endedByFallback);
    EXPECT_TRUE(boxes.empty());

    int port = OpenPort(path.c_str(), O_RDONLY | plat::OPEN_BINARY, MODE_FILE, "C01");
    MessageFields sent{};
    ASSERT_GT(RecvMsg(port, &sent, -1), 0) << GetErrorText();
    auto text = [&](int n) {
        return std::string(reinterpret_cast<const char*>(sent.slots[n].data),
                           static_cast<size_t>(sent.slots[n].length));
    };
    EXPECT_EQ(text(0), "0210");
    EXPECT_EQ(text(3), "011000");
    EXPECT_EQ(text(39), "00");
    ClosePort(port);
}

TEST_F(Win32Dialog, AnEmptyMessageIdIsRefusedInABoxAndTheDialogStaysOpen) {
    Put(0, "0200");
    Run([&](HWND dialog) {
        SetDlgItemTextA(dialog, 1000, "");
        Press(dialog, IDOK);
        EXPECT_TRUE(IsWindowVisible(dialog));
    });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "VELK Tester");
    EXPECT_EQ(boxes[0].text, "Message Id is mandatory");
}

TEST_F(Win32Dialog, EscapeAndTheCloseBoxReachTheDialogAsCancel) {
    Put(0, "0200");
    // The key goes through the dialog manager's own loop. It is posted to a
    // control, not to the focus: beside the dialogs of other test programs
    // this one need not be active, and then no window has the focus.
    auto escape = [](HWND dialog) {
        PostMessageA(GetDlgItem(dialog, 200), WM_KEYDOWN, VK_ESCAPE, 0);
    };
    EXPECT_EQ(Run(escape, After::Wait), 1);
    EXPECT_FALSE(endedByFallback);
    EXPECT_EQ(
        Run([&](HWND dialog) { SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }, After::Wait),
        1);
    EXPECT_FALSE(endedByFallback);
}

TEST_F(Win32Dialog, SaveAndReadGoThroughTheFileDialogs) {
    Put(0, "0210");
    Put(3, "011000");
    Put(39, "00");
    std::string folder = root_.root().string();
    Run([&](HWND dialog) {
        // A name without extension gets ".dat".
        fileAnswers = {folder + "\\reply"};
        Press(dialog, 201);
        EXPECT_EQ(fileDialogs, 1);
        EXPECT_TRUE(std::filesystem::exists(root_.root() / "reply.dat"));

        // Saving over it asks first.
        fileAnswers = {folder + "\\reply.dat"};
        boxes.clear();
        Press(dialog, 201);
        ASSERT_FALSE(boxes.empty());
        EXPECT_NE(boxes.back().text.find("already exists"), std::string::npos) << boxes.back().text;

        SetDlgItemTextA(dialog, 1039, "05");
        SetDlgItemTextA(dialog, 1003, "");
        fileAnswers = {""};  // cancelled: nothing changes
        Press(dialog, 200);
        EXPECT_EQ(ItemText(dialog, 1039), "05");

        fileAnswers = {folder + "\\reply.dat"};
        Press(dialog, 200);
        EXPECT_EQ(ItemText(dialog, 1039), "00");
        EXPECT_EQ(ItemText(dialog, 1003), "011000");
        EXPECT_EQ(ItemText(dialog, 1000), "0210");
    });
    EXPECT_EQ(fileDialogs, 4);
}

TEST_F(Win32Dialog, TheTemplateIsRefusedWhenItDoesNotFitTheBlock) {
    unsigned char large[ui::TEMPLATE_BLOCK_SIZE + 1] = {};
    EXPECT_EQ(ui::Win32Host().RunDialog(large, sizeof large, ui::MsgDlgProc, &exchange_), -1);
}

TEST_F(Win32Dialog, ARowAFindingIsAboutReadsItInItsLabelWithoutABox) {
    Put(0, "0200");
    Put(3, "00A000");
    conform::Findings findings;
    findings.Add({conform::FindingKind::WrongType, 3, 3, 0},
                 "field 3 \"00A000\": not n (character 3)");
    exchange_.findings = &findings;
    Run([&](HWND dialog) {
        auto label = [&](int editId) {
            char text[400] = {};
            GetWindowTextA(GetWindow(GetDlgItem(dialog, editId), GW_HWNDPREV), text, sizeof text);
            return std::string(text);
        };
        EXPECT_EQ(label(1003), "! Processing Code: field 3 \"00A000\": not n (character 3)");
        EXPECT_EQ(label(1004), "Amount") << "a row without findings is as it was";
    });
    EXPECT_TRUE(boxes.empty()) << "findings raise no message box";
}

}  // namespace
