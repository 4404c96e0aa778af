#include "platform/kes_analytics_events.h"

#include <gtest/gtest.h>

namespace {

TEST(EventNames, SplitAtTheFirstTwoDots) {
    using Parts = std::tuple<std::wstring, std::wstring, std::wstring>;
    Parts got; // kept between cases: every part is written, even when empty
    for (const auto& [name, parts] : std::vector<std::pair<std::wstring, Parts>>{
             {L"analytics.process.kesdata", {L"analytics", L"process", L"kesdata"}},
             {L"file.open", {L"file", L"open", L""}},
             {L"session", {L"session", L"", L""}},
             {L"a.b.c.d", {L"a", L"b", L"c.d"}},
             {L".x", {L"", L"x", L""}}}) {
        kes::analytics::legacy::UnpackEventType(name, std::get<0>(got), std::get<1>(got),
                                                std::get<2>(got));
        EXPECT_EQ(got, parts);
    }
}

} // namespace
