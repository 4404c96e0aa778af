#include "platform/gtl_status.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

TEST(Status, DisplayTextAddsTheLocationWhenKnown) {
    EXPECT_EQ(gtl::status::detail::as_wstring(gtl::status()), L"");
    EXPECT_EQ(gtl::status::detail::as_wstring(gtl::status::error(L"broken")), L"broken");
    EXPECT_EQ(gtl::status::detail::as_wstring(gtl::status::error(L"broken", "Common/x", 12)),
              L"broken (Common/x:12)");
}

TEST(Status, SystemMessagesEndWithoutALineBreak) {
    const auto message = KESErrMsg(ERROR_PATH_NOT_FOUND);
    ASSERT_TRUE(message.has_value());
    ASSERT_FALSE(message->empty());
    EXPECT_EQ(message->find_last_not_of("\r\n"), message->size() - 1);
}

} // namespace
