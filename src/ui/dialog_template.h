#pragma once

#include <cstddef>
#include <cstdint>

#include "ui/dialog_host.h"

// The dialog's frame as an in-memory template in the platform's layout: a
// header of 18 bytes, an empty menu and class entry, and the title in 16-bit
// characters, 46 bytes in a 118-byte block. The template holds no controls;
// the dialog procedure creates them.

namespace ui {

inline constexpr int TEMPLATE_BLOCK_SIZE = 118;
inline constexpr int TEMPLATE_SIZE = 46;
inline constexpr uint32_t DIALOG_STYLE = 0x00EF0000;  // caption, system menu, sizable,
                                                      // min/max boxes, vertical scroll bar
inline constexpr int DIALOG_WIDTH_DU = 282;
inline constexpr int DIALOG_HEIGHT_DU = 164;

// Copies each character, sign-extended, into a 16-bit unit, the NUL included;
// returns the units written.
int CopyToWide(uint16_t* destination, const char* text);
int RoundUpTo4(int value);

// Fills block with the template; returns its size (46).
int FillDialogTemplate(unsigned char (&block)[TEMPLATE_BLOCK_SIZE]);

// Builds the template and runs the dialog modally through the host, context
// handed to the procedure. Returns the dialog's end result (-1: it could not
// be created; nothing is reported).
int RunFramedDialog(UiHost& host, DialogProc procedure, void* context);

}  // namespace ui
