// The message texts R00..R99 that ship with the program, in the message
// section of the built-in Russian file and of the English file.
#pragma once

#include <array>
#include <string_view>

namespace sv {

extern const std::array<std::string_view, 100> kRussianMessages;
extern const std::array<std::string_view, 100> kEnglishMessages;

}  // namespace sv
