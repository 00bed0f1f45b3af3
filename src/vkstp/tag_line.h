#pragma once

// Splits one line into its tag and value. The tag is the text strictly
// between the first "<" and the first ">", with a-z turned to A-Z; the value
// is everything after that ">" up to the line feed, unchanged. A line without
// both brackets in that order has an empty tag (comments, blank lines).
// tag and value are 256-byte buffers; the line is at most 255 characters.
void SplitTagLine(const char* line, char* tag, char* value);
