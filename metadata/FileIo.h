// The whole-file helpers moved to base/FileIo.h, where every library can use
// them; this header stays for the code that still names it here.
#pragma once

#include "base/FileIo.h"
