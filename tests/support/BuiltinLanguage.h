// The program's own language files, written to a temporary folder and with
// Russian loaded as the process's language, for the tests of windows and of
// the code behind them. Only test programs that link the app library use it.
#pragma once

#include "app/LanguageFiles.h"
#include "base/Language.h"
#include "support/TempDir.h"

namespace svtest {

class BuiltinLanguage {
public:
    BuiltinLanguage() {
        sv::EnsureBuiltinLanguageFiles(dir_.Slash());
        language_.SetFiles(sv::BuildLanguageFileList(dir_.Slash()));
        language_.LoadLanguage(0);
        sv::SetGlobalLanguage(&language_);
    }
    ~BuiltinLanguage() { sv::SetGlobalLanguage(nullptr); }
    BuiltinLanguage(const BuiltinLanguage&) = delete;
    BuiltinLanguage& operator=(const BuiltinLanguage&) = delete;

    sv::TLanguage& Language() { return language_; }

private:
    TempDir dir_;
    sv::TLanguage language_;
};

}  // namespace svtest
