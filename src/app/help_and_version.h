#pragma once

#include <cstdio>

// "velk-tester --help" (or -h) and "velk-tester --version": only these exact
// words, as the first argument, ask; anything else is a controller
// identifier, checked as always.

bool AsksForHelpOrVersion(const char* firstArgument);

// Writes the usage (the arguments, the environment variables that matter,
// where the documentation is) or the version line to out, for a first
// argument that asks for one.
void WriteHelpOrVersion(const char* firstArgument, std::FILE* out);
