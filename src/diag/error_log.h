#pragma once

// Appends one record for the current error state to the daily error log
// (prefix ERROR_FILE_PFX, default "EVT"), or a short form to standard error
// when the file cannot be opened or the record cannot be written to it (a
// full file system), then clears the state.
void WriteErrorLog();

// The prefix is read once per process; tests that change ERROR_FILE_PFX
// forget it with this.
void ResetErrorFilePrefix();
