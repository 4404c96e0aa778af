#include "platform/sys_env.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, SlashStartsANamedOptionWhoseNameEndsAtTheFirstColon) {
    std::vector<std::wstring> positional;
    std::vector<sys::env::NamedOption> named;
    sys::env::SplitCmdLineArguments({L"C:\\VitascanCmd.exe", L"RunServer", L"/pipename:p:1",
                                     L"-out:x", L"/RunServer", L"/out:C:\\a b\\r.vitascan", L"/"},
                                    positional, named);
    EXPECT_EQ(positional, (std::vector<std::wstring>{L"RunServer", L"-out:x"}));
    EXPECT_EQ(named, (std::vector<sys::env::NamedOption>{{L"pipename", L"p:1"},
                                                         {L"RunServer", L""},
                                                         {L"out", L"C:\\a b\\r.vitascan"},
                                                         {L"", L""}}));
}

} // namespace
