#include "vitascan/blocks/ProcessBlock.h"

#include "platform/str_convert.h"

#include <regex>
#include <thread>

#include <objbase.h>
#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(ProcessBlock, OneLinePerProcessIncludingThisOne) {
    const std::vector<std::wstring> lines =
        str::split(vitascan::ProcessBlock().GetXml(), L"\n");
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], L"<processes>\r");
    EXPECT_EQ(lines[1], L"  <wmi>\r");
    EXPECT_EQ(lines[lines.size() - 3], L"  </wmi>\r");
    EXPECT_EQ(lines[lines.size() - 2], L"</processes>\r");
    EXPECT_EQ(lines.back(), L"");
    const std::wstring self = L" ProcessID=\"" + std::to_wstring(::GetCurrentProcessId()) + L"\"";
    int selfLines = 0;
    for (size_t i = 2; i + 3 < lines.size(); ++i) {
        EXPECT_TRUE(std::regex_match(lines[i], std::wregex(LR"(    <Win32_Process( \w+="[^"]*")+/>\r)")));
        if (lines[i].find(self) != std::wstring::npos) {
            ++selfLines;
            EXPECT_NE(lines[i].find(L" CommandLine=\""), std::wstring::npos);
            EXPECT_NE(lines[i].find(L" Name=\"block_tests.exe\""), std::wstring::npos);
        }
    }
    EXPECT_EQ(selfLines, 1);
}

TEST(ProcessBlock, NoWmiGivesTheEmptySection) {
    std::wstring xml;
    std::thread([&] {
        if (SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
            xml = vitascan::ProcessBlock().GetXml();
            ::CoUninitialize();
        }
    }).join();
    EXPECT_EQ(xml, L"<processes>\r\n  <wmi>\r\n\r\n  </wmi>\r\n</processes>\r\n");
}

} // namespace
