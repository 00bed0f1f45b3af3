#pragma once

// The command line's tokens: blanks and tabs in any number separate them; a
// token cannot contain either. There is no quoting.

// Skips blanks and tabs at *cursor and returns the token that follows, ended
// by a NUL written over the blank or tab after it; *cursor moves past it.
// Returns null when the text ends before a token.
char* NextToken(char*& cursor);
