#pragma once

// Appends one record for the current error state to the daily error log
// (prefix ERROR_FILE_PFX, default "EVT"), or a short form to standard error
// when the file cannot be opened or the record cannot be written to it (a
// full file system), then clears the state.
void WriteErrorLog();
// The same for one of several connections: peer ("127.0.0.1:54321") is
// named on a line of its own after the process id, and in the short form.
// A null peer writes the record above.
void WriteErrorLog(const char* peer);

// The prefix is read once per process; tests that change ERROR_FILE_PFX
// forget it with this.
void ResetErrorFilePrefix();
