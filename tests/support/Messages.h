// The message texts R00..R99 for tests of code that shows them.
#pragma once

#include <string>

namespace svtest {

// A language file's message section ("#R" and the entries) holding the
// built-in Russian messages.
std::string RussianMessageSection();

// Makes the built-in Russian messages the texts that LangMessage returns, for
// the rest of the test program.
void UseRussianMessages();

}  // namespace svtest
