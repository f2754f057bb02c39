#include "FuzzSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace svfuzz {

const std::string& TempFolder() {
    // Never destroyed, so that the exit handler that removes it can name it.
    static const std::string* folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "sornaval-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        return new std::string(pattern + "/");
    }();
    static const bool removeAtExit = std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(*folder, ec);
    }) == 0;
    (void)removeAtExit;
    return *folder;
}

std::string WriteTempFile(const std::string& name, std::string_view bytes) {
    const std::string path = TempFolder() + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

}  // namespace svfuzz
