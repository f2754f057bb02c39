// Shared helpers of the metadata tests.
#pragma once

#include <string>

#include "support/TempDir.h"

namespace svtest {

// A file of tests/data/metadata.
inline std::string MetadataTestFile(const std::string& name) {
    return ReadFileBytes(std::string(SV_METADATA_TEST_DATA) + "/" + name);
}

}  // namespace svtest
