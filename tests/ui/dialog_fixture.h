#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "config_text.h"
#include "diag/error_log.h"
#include "diag/error_state.h"
#include "encoded_controller.h"
#include "fake_dialog_host.h"
#include "scoped_env.h"
#include "temp_root.h"
#include "ui/collect_fields.h"
#include "ui/exchange.h"
#include "ui/field_rows.h"
#include "ui/message_dialog.h"
#include "ui/responder_state.h"
#include "vkstp/config_reader.h"
#include "vkstp/config_view.h"

// A responder state over a loaded configuration: controller C01 defines
// fields 2 (LL, 19), 3 (6), 4 (12), 39 (2) and 70 (3).
class DialogFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        root_.WriteConfig(
            "<CONTROLLER_PARAMS_LIST>\n<CONTROLLER_PARAMS>\n<CONTROLLER_ID>C01\n"
            "<FIELD_SPEC_LIST>\n" +
            FieldText(2, "Primary Account Number", 19, 2) + FieldText(3, "Processing Code", 6, 0) +
            FieldText(4, "Amount", 12, 0) + FieldText(39, "Response Code", 2, 0) +
            FieldText(70, "Network Code", 3, 0) +
            "</FIELD_SPEC_LIST>\n</CONTROLLER_PARAMS>\n</CONTROLLER_PARAMS_LIST>\n");
        ::testing::internal::CaptureStdout();
        ASSERT_EQ(LoadConfiguration(), 0);
        ::testing::internal::GetCapturedStdout();
        ClearError();
        ResetErrorFilePrefix();
        UseIso8583();
    }

    void UseIso8583() {
        std::memset(&responderState, 0, sizeof responderState);
        std::strcpy(responderState.controllerId, "C01");
        responderState.fieldSpecs = FindControllerExact("C01");
        exchange_ = ui::Exchange{};
        exchange_.message = &responderState.message;
    }
    // Loads a configuration with C01 and the encoded controller E01
    // (encoded_controller.h), and answers as E01.
    void UseEncodedController() {
        root_.WriteConfig(ControllerListText(ControllerText("C01", FieldText(3, "P", 6, 0)) +
                                             EncodedControllerText()));
        ::testing::internal::CaptureStdout();
        ASSERT_EQ(LoadConfiguration(), 0);
        ::testing::internal::GetCapturedStdout();
        std::memset(&responderState, 0, sizeof responderState);
        std::strcpy(responderState.controllerId, ENCODED_CONTROLLER);
        responderState.fieldSpecs = FindControllerExact(ENCODED_CONTROLLER);
        exchange_ = ui::Exchange{};
        exchange_.message = &responderState.message;
    }
    void UseZtr() {
        std::memset(&responderState, 0, sizeof responderState);
        std::strcpy(responderState.controllerId, "ZTR");
        exchange_ = ui::Exchange{};
        exchange_.message = &responderState.message;
    }
    void Put(int n, const std::string& value) {
        values_[n] = value;
        responderState.message.slots[n] =
            FieldSlot{reinterpret_cast<const unsigned char*>(values_[n].data()),
                      static_cast<int32_t>(values_[n].size())};
    }

    intptr_t Init() { return ui::MsgDlgProc(host_, ui::WM_INITDIALOG, 0, 0, &exchange_); }
    intptr_t Press(int id) {
        return ui::MsgDlgProc(host_, ui::WM_COMMAND, ui::MakeWParam(static_cast<unsigned>(id), 0),
                              0, &exchange_);
    }
    intptr_t Scroll(unsigned code, unsigned position = 0) {
        return ui::MsgDlgProc(host_, ui::WM_VSCROLL, ui::MakeWParam(code, position), 0, &exchange_);
    }
    void Type(int n, const std::string& text) { host_.Find(1000 + n)->text = text; }
    std::string Box(int n) { return host_.Find(1000 + n)->text; }
    std::string Slot(int n) const {
        const FieldSlot& slot = responderState.message.slots[n];
        return std::string(reinterpret_cast<const char*>(slot.data),
                           static_cast<size_t>(slot.length));
    }
    std::string Log() const { return ReadFile(root_.log() / LogName()); }
    static std::string LogName();

    TempRoot root_;
    ScopedEnv prefix_{"ERROR_FILE_PFX", "DLG"};
    ScopedEnv header_{"HEADER_LENGTH", std::nullopt};
    FakeDialogHost host_;
    // The request in hand: its port is -1 (no connection) unless a test
    // opens one.
    ui::Exchange exchange_;
    std::string values_[129];
};
