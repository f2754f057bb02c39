#include "support/Messages.h"

#include <cstdio>

#include "base/BuiltinMessages.h"
#include "base/Language.h"
#include "support/TempDir.h"

namespace svtest {

std::string RussianMessageSection() {
    std::string text = "#R\n";
    for (int i = 0; i < 100; ++i) {
        char num[16];
        std::snprintf(num, sizeof num, ";%02d:", i);
        text += num;
        text += sv::kRussianMessages[static_cast<std::size_t>(i)];
        text += "\n";
    }
    return text;
}

void UseRussianMessages() {
    static TempDir dir;
    static sv::TLanguage language;
    static bool ready = false;
    if (!ready) {
        WriteFileBytes(dir.Path() / "ru.lng", ";LANG:Russian\n" + RussianMessageSection());
        language.SetFiles({(dir.Path() / "ru.lng").string()});
        language.LoadLanguage(0);
        ready = true;
    }
    sv::SetGlobalLanguage(&language);
}

}  // namespace svtest
