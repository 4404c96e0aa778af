#include "Common/CommandLineUtils.h"
#include "platform/gtl_status.h"
#include "platform/kes_feature.h"
#include "platform/kes_version.h"
#include "platform/str_convert.h"
#include "platform/sys_env.h"
#include "platform/sys_file.h"
#include "platform/sys_reg.h"

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

TEST(Status, ThrowStatusAtRecordsTheLocation) {
    try {
        ThrowStatusAt(KesError::internal(L"CommandLine::Assign", "app/VitascanCmd", 481),
                      "app/VitascanCmd", 481);
    } catch (const gtl::status_exception& e) {
        EXPECT_EQ(e.get_status().line(), 481u);
        EXPECT_EQ(e.get_status().file(), "app/VitascanCmd");
        const std::wstring text = gtl::status::detail::as_wstring(e.get_status());
        EXPECT_NE(text.find(L"CommandLine::Assign"), std::wstring::npos);
        EXPECT_NE(text.find(L":481)"), std::wstring::npos);
        EXPECT_STREQ(e.what(), str::encode_utf8(text).c_str());
        return;
    }
    FAIL() << "nothing thrown";
}

TEST(Status, SystemMessagesEndWithoutALineBreak) {
    const auto message = KESErrMsg(ERROR_PATH_NOT_FOUND);
    ASSERT_TRUE(message.has_value());
    ASSERT_FALSE(message->empty());
    EXPECT_NE(message->back(), '\n');
    EXPECT_NE(message->back(), '\r');
}

TEST(CommandLine, SlashStartsANamedOptionWhoseNameEndsAtTheFirstColon) {
    std::vector<std::wstring> positional;
    std::vector<sys::env::NamedOption> named;
    sys::env::SplitCmdLineArguments({L"C:\\VitascanCmd.exe", L"RunServer", L"/pipename:p:1",
                                     L"-out:x", L"/RunServer", L"/out:C:\\a b\\r.vitascan", L"/"},
                                    positional, named);
    EXPECT_EQ(positional, (std::vector<std::wstring>{L"RunServer", L"-out:x"}));
    ASSERT_EQ(named.size(), 4u);
    EXPECT_EQ(named[0], (sys::env::NamedOption{L"pipename", L"p:1"}));
    EXPECT_EQ(named[1], (sys::env::NamedOption{L"RunServer", L""}));
    EXPECT_EQ(named[2], (sys::env::NamedOption{L"out", L"C:\\a b\\r.vitascan"}));
    EXPECT_EQ(named[3], (sys::env::NamedOption{L"", L""}));
}

TEST(Resources, StringsAndVersionComeFromTheExecutable) {
    EXPECT_EQ(str::load_wstring(26536), L"Listing files and folders");
    EXPECT_EQ(str::load_wstring(1), L"");
    EXPECT_EQ(str::as_wstring(kes::version::Current().number), L"" VITASCAN_EXPECTED_VERSION);
    EXPECT_EQ(kes::version::CmdLineBanner(L"VitascanCmd"),
              L"VitascanCmd version " VITASCAN_EXPECTED_VERSION);
}

TEST(Environment, InternalBuildSwitchIsExactlyOne) {
    for (const auto& [value, expected] : std::vector<std::pair<const wchar_t*, bool>>{
             {L"1", true}, {L"0", false}, {L"11", false}, {L" 1", false}, {L"true", false}}) {
        ::SetEnvironmentVariableW(L"KES_ANALYTICS_INTERNAL", value);
        EXPECT_EQ(kes::feature::IsAnalyticsAllowedForInternalBuilds(), expected) << value;
    }
    ::SetEnvironmentVariableW(L"KES_ANALYTICS_INTERNAL", nullptr);
    EXPECT_FALSE(kes::feature::IsAnalyticsAllowedForInternalBuilds());
}

TEST(Files, FoldersAndPaths) {
    std::wstring temp;
    ASSERT_TRUE(sys::file::GetTempDirectory(temp).ok());
    EXPECT_EQ(temp.back(), L'\\');
    EXPECT_TRUE(sys::file::IsDirectory(temp));
    EXPECT_TRUE(sys::file::Exists(temp));
    EXPECT_FALSE(sys::file::Exists(temp + L"no such file 7d1c"));

    std::wstring programData;
    ASSERT_TRUE(sys::file::GetKnownFolderPath(FOLDERID_ProgramData, programData).ok());
    EXPECT_NE(programData.back(), L'\\');
    EXPECT_TRUE(sys::file::IsDirectory(programData));

    EXPECT_EQ(sys::reg::ConcatenatePath(L"Software", L"KORVEL-AB"), L"Software\\KORVEL-AB");
    EXPECT_EQ(sys::reg::ConcatenatePath(L"Software\\", L"\\KORVEL-AB"), L"Software\\KORVEL-AB");
}

} // namespace
