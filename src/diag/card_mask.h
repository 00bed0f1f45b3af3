#pragma once

// Card data in what the program writes for people to read (dumps, velkctl
// output), hidden when DUMP_MASK_PAN begins with Y or y: ISO 8583 element 2
// (the primary account number), 35 (track 2 data) and 45 (track 1 data).
// Off by default, and never applied to the wire or to data files.

// The switch, read with the environment at every call like the dump switches.
bool MaskPanOn();

// Whether element n of an ISO 8583 message carries card data.
bool IsCardDataField(int n);

// Writes element n's `length` bytes, masked, to out (`length` bytes, no NUL).
// A number keeps its first 6 and last 4 characters; those between become
// '*' (a number of 10 characters or fewer keeps all of them). Track data: any
// characters before the number (a start sentinel, a format code) stay, the
// number is masked as above, the separator after it stays, and everything
// after the separator becomes '*'. Other elements are copied unchanged.
void MaskCardField(int n, const unsigned char* value, int length, unsigned char* out);
