#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include "os_module.h"

namespace plat {

void* LoadModuleBesideProgram(const char* fileName, std::string& error) {
    char program[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
    if (length <= 0) {
        error = "the program's own path is not known";
        return nullptr;
    }
    std::string path(program, static_cast<size_t>(length));
    path.erase(path.rfind('/') + 1);
    path += fileName;
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : path + " cannot be loaded";
    }
    return module;
}

void* ModuleSymbol(void* module, const char* name) {
    return dlsym(module, name);
}

}  // namespace plat
