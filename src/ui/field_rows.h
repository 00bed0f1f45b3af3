#pragma once

#include "ui/dialog_host.h"
#include "vkstp/link_record.h"

// The rows of the message dialog: one label and one edit box per field of the
// current format, 30 pixels apart.

namespace ui {

inline constexpr int ROW_HEIGHT = 30;
inline constexpr int EDIT_ID_BASE = 1000;
inline constexpr int LABEL_ID = 5;
inline constexpr int READ_BUTTON_ID = 200;
inline constexpr int SAVE_BUTTON_ID = 201;

struct FieldRow {
    char label[64];
    int editId;
    int limit;  // in characters of the value form: two a byte for BINARY
    int slot;   // the field number whose slot the box shows
    // How the slot's value lies on the wire; ASCII for the Message Id and
    // every ZTR field.
    ValueEncoding encoding;
};

inline constexpr int MAX_FIELD_ROWS = 129;
// Room for one value as text: a field holds at most a whole message.
inline constexpr int FIELD_VALUE_SIZE = 4097;

// How much of a slot's value a box shows: its bytes up to the first NUL, at
// most FIELD_VALUE_SIZE - 1 of them; a negative length shows nothing.
int ValueTextLength(const unsigned char* value, int length);
// A slot's value as a box shows it, copied into text with a NUL. Returns text.
const char* ValueText(const unsigned char* value, int length, char (&text)[FIELD_VALUE_SIZE]);

struct FieldRows {
    FieldRow rows[MAX_FIELD_ROWS];
    int count;
    // The controller's link record, null for the plain link and for ZTR.
    const LinkRecord* link;
};

// The rows of the current format, top to bottom: "Message Id" and every
// defined field for an ISO 8583 controller, the named ZTR fields otherwise.
// They depend on the controller alone, which is fixed for the life of the
// process, so they are listed once per controller and kept.
const FieldRows& CurrentFieldRows();

bool CreateFieldRow(DialogHost& dialog, const char* label, const unsigned char* value, int length,
                    int editId, int limit, int x, int y);
// The same for a listed row, whose encoding may limit what can be typed.
bool CreateFieldRow(DialogHost& dialog, const FieldRow& row, const unsigned char* value, int length,
                    int x, int y);
// Creates the rows from y on, showing message's values; y advances by 30 for
// every row, also one whose controls could not be created.
void CreateFieldRows(DialogHost& dialog, const MessageFields& message, int& y);
bool CreateButton(DialogHost& dialog, const char* text, int x, int y, int id);

}  // namespace ui
