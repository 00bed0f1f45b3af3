#pragma once

#include <cstdio>

// Reads the configuration file in pieces of at most 255 characters, like a
// 256-byte line buffer would: a longer line is handed out in pieces, each
// treated as a line of its own. A carriage return before a line feed belongs
// to the line end and is dropped.
inline constexpr int LINE_SIZE = 256;

// Bounds of a configuration file: no real one comes near them, and a file
// past them (a device, a runaway generator) is refused instead of being
// read for ever.
inline constexpr long CONFIG_MAX_LINE = 65536;     // characters of one line
inline constexpr long CONFIG_MAX_FILE = 1L << 20;  // bytes of the whole file

enum class LineLimit { None, LineTooLong, FileTooLarge };

class LineReader {
  public:
    explicit LineReader(FILE* file) : file_(file) {}

    // Fills line (NUL-terminated, the line feed kept when it was read).
    // Returns false when nothing was left to read, or when the file passed
    // one of its bounds (limit() then tells which; nothing more is read).
    bool Read(char (&line)[LINE_SIZE]);

    // The file line the last piece came from, counting from 1.
    int lineNumber() const { return lineNumber_; }
    // The last piece ended at 255 characters with the line going on.
    bool lastWasCut() const { return lastWasCut_; }
    // The last piece held a NUL byte; the text after it is not seen.
    bool lastHadNul() const { return lastHadNul_; }
    LineLimit limit() const { return limit_; }
    // The file line being read when a bound was passed.
    int limitLine() const { return nextLine_; }

  private:
    int Peek();
    int Next();

    FILE* file_;
    unsigned char buffer_[8192];
    size_t position_ = 0;
    size_t end_ = 0;
    int nextLine_ = 1;
    int lineNumber_ = 0;
    bool lastWasCut_ = false;
    bool lastHadNul_ = false;
    long consumed_ = 0;   // bytes of the file taken so far
    long lineChars_ = 0;  // characters of the current file line so far
    LineLimit limit_ = LineLimit::None;
};
