#pragma once

#include <cstdio>

#include "diag/message_fields.h"

// Traffic dumps, appended to the daily log file (prefix LOG_FILE_PFX, default
// "EVT"). Each is switched on per direction by its environment variable
// (DUMP_SEND_BYTES, DUMP_RECV_BYTES, DUMP_SEND_FLDS, DUMP_RECV_FLDS) whose
// value begins with Y or y, read at every call. Dumps never report a failure
// and never touch the error state: a file that cannot be opened is skipped.

// direction: 'S' sent, anything else received. shown, when given, holds the
// `length` bytes the character column shows instead of data (card data
// masked); where a byte of shown differs from data, the hexadecimal column
// shows "**" instead of the byte, so that it spells no masked character.
// peer, when given, is named at the end of the dump's first line ("from
// 127.0.0.1:54321", or "to" for a send): one of several connections.
void DumpBytes(const unsigned char* data, int length, char direction,
               const unsigned char* shown = nullptr, const char* peer = nullptr);
// Whether DumpBytes in that direction writes anything now.
bool DumpBytesOn(char direction);
// What a dump prints beside a field: text[n] for field n (null for none).
struct FieldNotes {
    const char* text[MESSAGE_SLOTS];
};

// iso8583: non-zero for an ISO 8583 message (lists MessageId, fields 2-128),
// 0 for ZTR (fields 2-64). With DUMP_MASK_PAN on, an ISO 8583 message's card
// data is masked (diag/card_mask.h).
// peer as for DumpBytes. tpdu, when given, is the 5-byte TPDU the message
// came or goes with, shown in hexadecimal before its fields.
// detail, when given, may write a field itself (its line and what it holds,
// such as chip data's objects; `mask` says whether card data is to be
// masked) and returns whether it did; context is passed to it.
// notes, when given: each field's note follows its value on its line, after
// "  <- " (a received request's findings).
using FieldDetail = bool (*)(const void* context, int n, const FieldSlot& slot, bool mask,
                             FILE* file);
void DumpFields(int iso8583, char direction, const MessageFields* fields,
                const char* peer = nullptr, const unsigned char* tpdu = nullptr,
                FieldDetail detail = nullptr, const void* context = nullptr,
                const FieldNotes* notes = nullptr);
// Lists slots 0 to last that are present into fileName, under title.
void PrintFields(const char* fileName, const char* title, const MessageFields* fields, int last);

void InitLogFilePrefix();
// Forgets the prefix so that the next dump reads LOG_FILE_PFX again (tests).
void ResetLogFilePrefix();
