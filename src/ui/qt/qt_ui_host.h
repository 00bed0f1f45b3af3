#pragma once

#include "ui/dialog_host.h"

// The desk's user interface on Qt Widgets; needs the QApplication.

namespace ui {

class QtUiHost : public UiHost {
  public:
    void ShowMessageBox(const char* text, unsigned icon) override;
    // Returns -1 without showing anything for a template it cannot read.
    int RunDialog(const unsigned char* dialogTemplate, int templateSize, DialogProc procedure,
                  void* context) override;
};

}  // namespace ui
