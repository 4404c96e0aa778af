#include "platform/gtl_status.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

TEST(Status, DisplayTextAddsTheLocationWhenKnown) {
    EXPECT_EQ(gtl::status::detail::as_wstring(gtl::status()), L"");
    EXPECT_EQ(gtl::status::detail::as_wstring(gtl::status::error(L"broken")), L"broken");
    EXPECT_EQ(gtl::status::detail::as_wstring(gtl::status::error(L"broken", "Common/x", 12)),
              L"broken (Common/x:12)");
    EXPECT_TRUE(gtl::status().ok());
    EXPECT_TRUE(gtl::status::error(L"").failed());
}

TEST(Status, CopiesAreIndependentAndCompareByValue) {
    gtl::status a = gtl::status::error(L"m", "f", 1);
    gtl::status b = a;
    b.set_location("g", 2);
    EXPECT_EQ(a.file(), "f");
    EXPECT_EQ(b.line(), 2u);
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a == gtl::status::error(L"m", "f", 1));
    EXPECT_TRUE(gtl::status() == gtl::status());
    EXPECT_FALSE(gtl::status() == a);
}

TEST(Status, SystemMessagesEndWithoutALineBreak) {
    const auto message = KESErrMsg(ERROR_PATH_NOT_FOUND);
    ASSERT_TRUE(message.has_value());
    ASSERT_FALSE(message->empty());
    EXPECT_NE(message->back(), '\n');
    EXPECT_NE(message->back(), '\r');
}

} // namespace
