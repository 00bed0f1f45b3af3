#pragma once

#include <string>

// Loadable modules that ship beside the program (the desk's GUI lives in one,
// so that a responder running a script never maps the toolkit).

namespace plat {

// Loads fileName from the folder of the running program. Returns null with
// the system's reason in error when it cannot be loaded.
void* LoadModuleBesideProgram(const char* fileName, std::string& error);
// The address of an exported symbol, or null.
void* ModuleSymbol(void* module, const char* name);

}  // namespace plat
