// A temporary folder that lives as long as the object, and helpers for the
// files tests read and write.
#pragma once

#include <filesystem>
#include <string>

namespace svtest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    // The folder as text ending in '/'.
    std::string Slash() const { return path_.string() + "/"; }

private:
    std::filesystem::path path_;
};

std::string ReadFileBytes(const std::filesystem::path& p);
void WriteFileBytes(const std::filesystem::path& p, const std::string& bytes);

}  // namespace svtest
