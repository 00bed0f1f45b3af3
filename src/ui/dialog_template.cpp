#include "ui/dialog_template.h"

#include <cstring>

namespace ui {

namespace {

// The platform's DLGTEMPLATE header, packed as it lies in memory.
void PutWord(unsigned char* at, uint16_t value) {
    std::memcpy(at, &value, sizeof value);
}
void PutLong(unsigned char* at, uint32_t value) {
    std::memcpy(at, &value, sizeof value);
}

}  // namespace

int CopyToWide(uint16_t* destination, const char* text) {
    int units = 0;
    do {
        auto signedByte = static_cast<signed char>(text[units]);
        destination[units] = static_cast<uint16_t>(static_cast<int16_t>(signedByte));
    } while (text[units++] != '\0');
    return units;
}

int RoundUpTo4(int value) {
    return (value + 3) & ~3;
}

int FillDialogTemplate(unsigned char (&block)[TEMPLATE_BLOCK_SIZE]) {
    std::memset(block, 0, sizeof block);
    PutLong(block + 0, DIALOG_STYLE);
    PutLong(block + 4, 0);   // extended style
    PutWord(block + 8, 0);   // no control items
    PutWord(block + 10, 0);  // x
    PutWord(block + 12, 0);  // y
    PutWord(block + 14, DIALOG_WIDTH_DU);
    PutWord(block + 16, DIALOG_HEIGHT_DU);
    int position = 18;
    PutWord(block + position, 0);  // no menu
    position += 2;
    PutWord(block + position, 0);  // the dialog manager's own class
    position += 2;
    uint16_t title[16];
    int units = CopyToWide(title, DIALOG_TITLE);
    std::memcpy(block + position, title, static_cast<size_t>(units) * 2);
    position += units * 2;
    // A first control item would begin at RoundUpTo4(position); none follows,
    // so the template ends with its title.
    return position;
}

int RunFramedDialog(UiHost& host, DialogProc procedure, void* context) {
    unsigned char block[TEMPLATE_BLOCK_SIZE];
    int size = FillDialogTemplate(block);
    return host.RunDialog(block, size, procedure, context);
}

}  // namespace ui
