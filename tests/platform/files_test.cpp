#include "platform/files.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace tsunagi {
namespace {

TEST(Files, OneInstanceAtATime) {
    TempFolder folder;
    std::string lock = folder.file("tsunagi.lock");
    {
        SingleInstanceLock first(lock);
        ASSERT_TRUE(first.acquired());
        SingleInstanceLock second(lock);
        EXPECT_FALSE(second.acquired());
    }
    SingleInstanceLock again(lock);
    EXPECT_TRUE(again.acquired());
}

}  // namespace
}  // namespace tsunagi
