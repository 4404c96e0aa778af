#include "platform/kes_feature.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

TEST(InternalBuildSwitch, IsOnForExactlyOne) {
    for (const auto& [value, expected] : std::vector<std::pair<const wchar_t*, bool>>{
             {L"1", true}, {L"0", false}, {L"11", false}, {L" 1", false}, {nullptr, false}}) {
        ::SetEnvironmentVariableW(L"KES_ANALYTICS_INTERNAL", value);
        EXPECT_EQ(kes::feature::IsAnalyticsAllowedForInternalBuilds(), expected)
            << (value ? "set" : "unset");
    }
}

} // namespace
