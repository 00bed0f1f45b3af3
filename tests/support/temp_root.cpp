#include "temp_root.h"

#include <atomic>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {
std::atomic<int> counter{0};
}

TempRoot::TempRoot() {
    root_ = fs::temp_directory_path() /
            ("velk-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(root_);
    fs::create_directories(root_ / "data");
    fs::create_directories(root_ / "log");
    fs::create_directories(root_ / "work");
    previous_ = fs::current_path();
    fs::current_path(root_ / "work");
}

TempRoot::~TempRoot() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
    fs::remove_all(root_, ignored);
}

void TempRoot::WriteConfig(const std::string& text) const {
    WriteFile(data() / "velk.cfg", text);
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string TempRoot::LogText() const {
    std::string all;
    for (const auto& entry : fs::directory_iterator(log())) {
        all += ReadText(entry.path());
    }
    return all;
}

std::string ReadText(const fs::path& path) {
    std::string text = ReadFile(path);
    size_t at = 0;
    while ((at = text.find("\r\n", at)) != std::string::npos) {
        text.erase(at, 1);
    }
    return text;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}
