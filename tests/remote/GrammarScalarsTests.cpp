#include "tests/GrammarText.h"

#include <climits>
#include <gtest/gtest.h>

namespace {

using testing_support::Decode;
using testing_support::Encode;

TEST(ScalarCodecs, NumbersBooleansAndTexts) {
    EXPECT_EQ(Encode<unsigned int>(4294967295u), "4294967295");
    EXPECT_EQ(Encode<int>(-7), "-7");
    EXPECT_EQ(Decode<int>("-2147483648"), INT_MIN);
    EXPECT_THROW(Decode<unsigned int>("-1"), gtl::status_exception);
    EXPECT_THROW(Decode<unsigned int>(""), gtl::status_exception);
    EXPECT_EQ(Encode(true), "t");
    EXPECT_EQ(Encode(false), "f");
    EXPECT_TRUE(Decode<bool>("t"));
    for (const char* notTrue : {"f", "T", "true", "1", "", "tt"})
        EXPECT_FALSE(Decode<bool>(notTrue)) << notTrue;
    EXPECT_EQ(Encode(std::wstring(L"\u4e2d\U0001F600")), "\xE4\xB8\xAD\xF0\x9F\x98\x80");
    EXPECT_EQ(Decode<std::wstring>("\xE4\xB8\xAD\xF0\x9F\x98\x80"), L"\u4e2d\U0001F600");
    EXPECT_EQ(Decode<std::string>("raw\xFF"), "raw\xFF");
}

} // namespace
