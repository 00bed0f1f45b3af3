#include "app/command_line.h"

char* NextToken(char*& cursor) {
    while (*cursor == ' ' || *cursor == '\t') {
        ++cursor;
    }
    if (*cursor == '\0') {
        return nullptr;
    }
    char* token = cursor;
    while (*cursor != '\0' && *cursor != ' ' && *cursor != '\t') {
        ++cursor;
    }
    if (*cursor != '\0') {
        *cursor++ = '\0';
    }
    return token;
}
