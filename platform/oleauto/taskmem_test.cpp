#include "platform/oleauto/taskmem.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(TaskMemory, ReallocKeepsContentAndFreesOnZero)
{
    void* empty = CoTaskMemAlloc(0);
    EXPECT_NE(empty, nullptr) << "a zero-byte block is still a block the receiver frees";
    CoTaskMemFree(empty);

    char* block = static_cast<char*>(CoTaskMemRealloc(nullptr, 4));
    ASSERT_NE(block, nullptr);
    std::memcpy(block, "abcd", 4);
    block = static_cast<char*>(CoTaskMemRealloc(block, 4096));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::memcmp(block, "abcd", 4), 0);
    EXPECT_EQ(CoTaskMemRealloc(block, 0), nullptr);
    CoTaskMemFree(nullptr);
}

} // namespace
