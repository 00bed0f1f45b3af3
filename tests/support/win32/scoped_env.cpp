#include "scoped_env.h"

#include <cstdlib>

namespace {
// _putenv_s with an empty value removes the variable; the runtime's copy and
// the process environment (which started programs inherit) both change.
void Put(const std::string& name, const std::optional<std::string>& value) {
    _putenv_s(name.c_str(), value ? value->c_str() : "");
}
}  // namespace

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) {
        previous_ = old;
    }
    Put(name_, value);
}

ScopedEnv::~ScopedEnv() {
    Put(name_, previous_);
}
