#pragma once

#include <filesystem>
#include <string>

// A fresh directory laid out like an installation: root/data, root/log and
// root/work, with the working directory moved into root/work for the life of
// the object, so that "../data/velk.cfg" and "../log/" resolve inside it.
class TempRoot {
  public:
    TempRoot();
    ~TempRoot();
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path log() const { return root_ / "log"; }
    std::filesystem::path data() const { return root_ / "data"; }

    // Writes root/data/velk.cfg.
    void WriteConfig(const std::string& text) const;
    // Every file in root/log, one after the other, as text.
    std::string LogText() const;

  private:
    std::filesystem::path root_;
    std::filesystem::path previous_;
};

std::string ReadFile(const std::filesystem::path& path);
// A text file the program wrote (a log, a dump): lines end with "\n" here,
// also where the system ends them with CR LF.
std::string ReadText(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
