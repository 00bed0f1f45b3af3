#include "vkstp/line_reader.h"

int LineReader::Peek() {
    if (position_ == end_) {
        end_ = std::fread(buffer_, 1, sizeof buffer_, file_);
        position_ = 0;
        if (end_ == 0) {
            return EOF;
        }
    }
    return buffer_[position_];
}

int LineReader::Next() {
    int c = Peek();
    if (c != EOF) {
        ++position_;
        ++consumed_;
        lineChars_ = c == '\n' ? 0 : lineChars_ + 1;
        if (consumed_ > CONFIG_MAX_FILE) {
            limit_ = LineLimit::FileTooLarge;
        } else if (lineChars_ > CONFIG_MAX_LINE) {
            limit_ = LineLimit::LineTooLong;
        }
    }
    return c;
}

bool LineReader::Read(char (&line)[LINE_SIZE]) {
    if (limit_ != LineLimit::None) {
        return false;
    }
    int length = 0;
    lastWasCut_ = false;
    lastHadNul_ = false;
    int startLine = nextLine_;
    while (length < LINE_SIZE - 1) {
        int c = Next();
        if (c == EOF || limit_ != LineLimit::None) {
            break;
        }
        if (c == '\r' && Peek() == '\n') {
            c = Next();
        }
        if (c == '\0') {
            lastHadNul_ = true;
        }
        line[length++] = static_cast<char>(c);
        if (c == '\n') {
            ++nextLine_;
            break;
        }
    }
    line[length] = '\0';
    if (limit_ != LineLimit::None) {
        line[0] = '\0';
        return false;
    }
    if (length == LINE_SIZE - 1 && line[length - 1] != '\n' && Peek() != EOF) {
        lastWasCut_ = true;
    }
    if (length == 0) {
        return false;  // lineNumber() stays at the last line read
    }
    lineNumber_ = startLine;
    return true;
}
