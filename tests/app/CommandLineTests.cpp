#include "app/CommandLine.h"

#include <tuple>

#include <gtest/gtest.h>

namespace {

// Repeats are allowed; the offline flag the service gets is 1; the last named value wins.
TEST(CommandLine, RepeatsAreAllowedAndTheLastNamedValueWins) {
    app::CommandLine line;
    line.Assign({L"Offline", L"RunServer", L"Offline"},
                {{L"pipename", L"a"}, {L"out", L"o"}, {L"pipename", L"b"}});
    EXPECT_EQ(std::tie(line.runServer, line.offline, line.pipeName, line.outputFile),
              std::make_tuple(true, 1, std::wstring(L"b"), std::wstring(L"o")));
}

} // namespace
