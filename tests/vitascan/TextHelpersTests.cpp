#include "vitascan/TextHelpers.h"

#include <gtest/gtest.h>

namespace {

using vitascan::EndsWith;

// A file named just "debug" has its content embedded like "app.debug".
TEST(EndsWith, TheWholeTextIsItsOwnSuffixAndCaseCounts) {
    EXPECT_TRUE(EndsWith(L"debug", L"debug"));
    EXPECT_TRUE(EndsWith(L"app.log", L".log"));
    EXPECT_FALSE(EndsWith(L"app.LOG", L".log"));
    EXPECT_FALSE(EndsWith(L"og", L".log"));
}

} // namespace
