// Shared pieces of the fuzz targets: a private temporary folder for the
// parsers that read files, and dialogs that answer nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Interaction.h"

// Every target defines this; libFuzzer or the corpus driver calls it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace svfuzz {

// A folder of this process under the system's temp folder, removed at exit.
const std::string& TempFolder();

// Writes `bytes` to `name` in the temp folder and returns the path.
std::string WriteTempFile(const std::string& name, std::string_view bytes);

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Declines every question and cancels every choice.
class QuietDialogs final : public sv::IUserDialogs {
public:
    bool AskYesNo(std::string_view, sv::MessageIcon) override { return false; }
    void ShowMessage(std::string_view, sv::MessageIcon) override {}
    std::optional<int> ChooseFromList(std::string_view, const std::vector<std::string>&, int) override {
        return std::nullopt;
    }
    std::optional<std::string> AskText(std::string_view, const std::vector<std::string>&, std::string_view) override {
        return std::nullopt;
    }
    std::optional<std::string> PickFile(std::string_view, std::string_view) override { return std::nullopt; }
};

}  // namespace svfuzz
