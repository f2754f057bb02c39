#include <gtest/gtest.h>

#include "app/SingleInstance.h"
#include "support/TempDir.h"

using namespace sv;

TEST(SingleInstance, OnlyTheFirstHolderRunsAndTheLockEndsWithIt) {
    svtest::TempDir dir;
    const std::string file = dir.Slash() + "run/sornaval.lock";  // the folder is made on demand
    auto first = std::make_unique<SingleInstanceLock>(file);
    EXPECT_TRUE(first->Acquired());
    {
        SingleInstanceLock second(file);
        EXPECT_FALSE(second.Acquired());
    }
    first.reset();
    SingleInstanceLock third(file);
    EXPECT_TRUE(third.Acquired());
}
