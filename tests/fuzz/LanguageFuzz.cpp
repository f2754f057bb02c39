// Language files: the header scan of the language list, the message
// section, and entries of a window section looked up in order.
#include <string>

#include "FuzzSupport.h"
#include "base/Language.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = svfuzz::WriteTempFile("fuzz.lng", svfuzz::AsText(data, size));
    sv::TLanguage language;
    language.SetFiles({path});
    language.ListLanguages();
    if (!language.LoadLanguage(0)) return 0;
    for (const int n : {1, 2, 12, 13, 99, 100}) language.GetMessage(n);
    for (const int section : {1, 2, 7}) {
        if (!language.SeekSection(section)) continue;
        for (int n = 0; n < 8; ++n) language.GetText(n);
    }
    sv::FormatMessage(language.GetMessage(3), "value");
    return 0;
}
