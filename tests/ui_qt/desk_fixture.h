#pragma once

#include <gtest/gtest.h>

#include <QPushButton>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "modal_steps.h"
#include "scoped_env.h"
#include "temp_root.h"
#include "ui/dialog_host.h"
#include "ui/exchange.h"
#include "ui/qt/limited_line_edit.h"
#include "ui/qt/qt_dialog_host.h"

// The responder's state over a loaded configuration, for the real message
// dialog procedure: controller C01 defines fields 2 (two length digits, 19),
// 3 (6), 4 (12) and 39 (2), so the dialog has the rows 1000, 1002, 1003, 1004
// and 1039 and its buttons at y = 160. Every dialog procedure call is
// recorded.
class DeskFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    void UseZtr();
    // Loads a configuration with the encoded controller E01
    // (encoded_controller.h) and answers as E01.
    void UseEncodedController();
    // Sets slot n of the received message.
    void Put(int n, std::string value);

    // A dialog as RunDialog builds it, initialised and shown but not run: its
    // own modal loop is not needed to press its buttons.
    std::unique_ptr<ui::QtDialogHost> Open();
    // The message dialog run by the desk's host until it ends.
    static int RunDialog();

    static ui::LimitedLineEdit* Box(ui::QtDialogHost& dialog, int id);
    static QPushButton* Button(ui::QtDialogHost& dialog, int id);
    // The control's rectangle in the dialog's client area.
    static QRect Place(ui::QtDialogHost& dialog, int id);

    // The dialog procedure the tests run: records, then hands the call to the
    // message dialog's procedure. While cancelsToIgnore is above 0, a Cancel
    // command is only recorded and counted down.
    static intptr_t RecordingProc(ui::DialogHost& dialog, unsigned message, uintptr_t wParam,
                                  intptr_t lParam, void* context);
    struct Call {
        unsigned message;
        uintptr_t wParam;
    };
    static std::vector<Call> calls;
    static int cancelsToIgnore;
    // The request the dialogs answer: port -1 (none) unless a test opens one.
    static ui::Exchange exchange_;
    static std::vector<uintptr_t> ScrollRequests();

    TempRoot root_;
    ScopedEnv prefix_{"ERROR_FILE_PFX", "QTD"};
    ScopedEnv header_{"HEADER_LENGTH", std::nullopt};
    std::string values_[129];
    std::unique_ptr<ModalWatchdog> watchdog_;
};
