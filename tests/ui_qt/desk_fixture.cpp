#include "desk_fixture.h"

#include <QScrollBar>
#include <cstring>

#include "config_text.h"
#include "diag/error_log.h"
#include "diag/error_state.h"
#include "encoded_controller.h"
#include "ui/dialog_template.h"
#include "ui/message_dialog.h"
#include "ui/qt/dialog_frame.h"
#include "ui/qt/qt_ui_host.h"
#include "ui/responder_state.h"
#include "vkstp/config_reader.h"
#include "vkstp/config_view.h"

std::vector<DeskFixture::Call> DeskFixture::calls;
int DeskFixture::cancelsToIgnore = 0;
ui::Exchange DeskFixture::exchange_;

void DeskFixture::SetUp() {
    root_.WriteConfig(
        "<CONTROLLER_PARAMS_LIST>\n<CONTROLLER_PARAMS>\n<CONTROLLER_ID>C01\n<FIELD_SPEC_LIST>\n" +
        FieldText(2, "Primary Account Number", 19, 2) + FieldText(3, "Processing Code", 6, 0) +
        FieldText(4, "Amount", 12, 0) + FieldText(39, "Response Code", 2, 0) +
        "</FIELD_SPEC_LIST>\n</CONTROLLER_PARAMS>\n</CONTROLLER_PARAMS_LIST>\n");
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(LoadConfiguration(), 0);
    ::testing::internal::GetCapturedStdout();
    ClearError();
    ResetErrorFilePrefix();
    std::memset(&responderState, 0, sizeof responderState);
    std::strcpy(responderState.controllerId, "C01");
    responderState.fieldSpecs = FindControllerExact("C01");
    exchange_ = ui::Exchange{};
    exchange_.message = &responderState.message;
    calls.clear();
    cancelsToIgnore = 0;
    watchdog_ = std::make_unique<ModalWatchdog>();
}

void DeskFixture::TearDown() {
    watchdog_.reset();
}

void DeskFixture::UseZtr() {
    std::memset(&responderState, 0, sizeof responderState);
    std::strcpy(responderState.controllerId, "ZTR");
    exchange_ = ui::Exchange{};
    exchange_.message = &responderState.message;
}

void DeskFixture::UseEncodedController() {
    root_.WriteConfig(ControllerListText(EncodedControllerText()));
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(LoadConfiguration(), 0);
    ::testing::internal::GetCapturedStdout();
    std::memset(&responderState, 0, sizeof responderState);
    std::strcpy(responderState.controllerId, ENCODED_CONTROLLER);
    responderState.fieldSpecs = FindControllerExact(ENCODED_CONTROLLER);
    exchange_ = ui::Exchange{};
    exchange_.message = &responderState.message;
}

void DeskFixture::Put(int n, std::string value) {
    values_[n] = std::move(value);
    responderState.message.slots[n] =
        FieldSlot{reinterpret_cast<const unsigned char*>(values_[n].data()),
                  static_cast<int32_t>(values_[n].size())};
}

std::unique_ptr<ui::QtDialogHost> DeskFixture::Open() {
    unsigned char block[ui::TEMPLATE_BLOCK_SIZE] = {};
    ui::DialogFrame frame{};
    EXPECT_TRUE(ui::ReadDialogFrame(block, ui::FillDialogTemplate(block), frame));
    auto dialog = std::make_unique<ui::QtDialogHost>(frame, RecordingProc, &exchange_);
    RecordingProc(*dialog, ui::WM_INITDIALOG, 0, 0, &exchange_);
    dialog->show();
    return dialog;
}

int DeskFixture::RunDialog() {
    ui::QtUiHost host;
    unsigned char block[ui::TEMPLATE_BLOCK_SIZE] = {};
    return host.RunDialog(block, ui::FillDialogTemplate(block), RecordingProc, &exchange_);
}

ui::LimitedLineEdit* DeskFixture::Box(ui::QtDialogHost& dialog, int id) {
    return qobject_cast<ui::LimitedLineEdit*>(dialog.Item(id));
}

QPushButton* DeskFixture::Button(ui::QtDialogHost& dialog, int id) {
    return qobject_cast<QPushButton*>(dialog.Item(id));
}

QRect DeskFixture::Place(ui::QtDialogHost& dialog, int id) {
    QWidget* control = dialog.Item(id);
    return QRect(control->mapTo(&dialog, QPoint(0, 0)), control->size());
}

intptr_t DeskFixture::RecordingProc(ui::DialogHost& dialog, unsigned message, uintptr_t wParam,
                                    intptr_t lParam, void* context) {
    calls.push_back(Call{message, wParam});
    if (message == ui::WM_COMMAND && ui::LowWord(wParam) == ui::IDCANCEL && cancelsToIgnore > 0) {
        --cancelsToIgnore;
        return 0;
    }
    return ui::MsgDlgProc(dialog, message, wParam, lParam, context);
}

std::vector<uintptr_t> DeskFixture::ScrollRequests() {
    std::vector<uintptr_t> requests;
    for (const Call& call : calls) {
        if (call.message == ui::WM_VSCROLL) {
            requests.push_back(call.wParam);
        }
    }
    return requests;
}
