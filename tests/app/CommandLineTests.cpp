#include "app/CommandLine.h"
#include "platform/gtl_status.h"

#include <gtest/gtest.h>

namespace {

std::uint32_t FailingLine(const std::vector<std::wstring>& positional,
                          const std::vector<sys::env::NamedOption>& named) {
    CommandLine commandLine;
    try {
        commandLine.Assign(positional, named);
    } catch (const gtl::status_exception& e) {
        EXPECT_EQ(e.get_status().file(), "app/VitascanCmd");
        return e.get_status().line();
    }
    return 0;
}

TEST(CommandLineAssign, AcceptsTheFourWordsAndLetTheLastValueWin) {
    CommandLine commandLine;
    commandLine.Assign({L"Offline", L"RunServer", L"RunServer"},
                       {{L"pipename", L"a"}, {L"out", L"x.vitascan"}, {L"pipename", L"b"}});
    EXPECT_TRUE(commandLine.runServer);
    EXPECT_EQ(commandLine.offline, 1);
    EXPECT_EQ(commandLine.pipeName, L"b");
    EXPECT_EQ(commandLine.outputFile, L"x.vitascan");

    CommandLine none;
    none.Assign({}, {});
    EXPECT_FALSE(none.runServer);
    EXPECT_EQ(none.offline, 0);
}

TEST(CommandLineAssign, RejectsOtherWordsPositionalsFirst) {
    EXPECT_EQ(FailingLine({L"runserver"}, {}), 481u);
    EXPECT_EQ(FailingLine({L"RunServer "}, {}), 481u);
    EXPECT_EQ(FailingLine({L"RunServer"}, {{L"Out", L"x"}}), 501u);
    EXPECT_EQ(FailingLine({L"RunServer"}, {{L"RunServer", L""}}), 501u);
    // An unknown positional argument is found before any option is looked at.
    EXPECT_EQ(FailingLine({L"Offline", L"bogus"}, {{L"bogus", L"1"}}), 481u);
}

} // namespace
