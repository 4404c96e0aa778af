#include "vitascan/blocks/SystemBlock.h"

#include "tests/TestFiles.h"
#include "tests/vitascan/blocks/BlockFixtures.h"
#include "vitascan/MarkupHelpers.h"

#include <regex>
#include <set>
#include <windows.h>

#include <gtest/gtest.h>

namespace {

using vitascan::SystemBlock;

// The lines between <system> and </system>, without their CR LF.
std::vector<std::wstring> Section(bool excludePii, std::uint32_t bits) {
    const std::wstring xml = SystemBlock(excludePii, bits).GetXml();
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = xml.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(xml.substr(start, end - start));
    EXPECT_EQ(start, xml.size()) << "text does not end with CR LF";
    EXPECT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front(), L"<system>");
    EXPECT_EQ(lines.back(), L"</system>");
    return std::vector<std::wstring>(lines.begin() + 1, lines.end() - 1);
}

bool Matches(const std::wstring& text, const wchar_t* pattern) {
    return std::regex_match(text, std::wregex(pattern));
}

bool HasAttribute(const std::wstring& text, const std::wstring& name) {
    return text.find(L" " + name + L"=\"") != std::wstring::npos;
}

TEST(SystemBlock, WmiSectionWithLocaleNamesAndWithoutPersonalData) {
    EXPECT_TRUE(Section(false, 0x800 | 0x1).empty()); // other blocks' bits select nothing
    const std::vector<std::wstring> full = Section(false, SystemBlock::kWmi);
    ASSERT_EQ(full.size(), 5u);
    EXPECT_EQ(full[0], L"  <wmi>");
    EXPECT_TRUE(
        Matches(full[1], LR"(    <Win32_OperatingSystem .* OSLanguageLanguage="[^"]+".*/>)"));
    EXPECT_TRUE(HasAttribute(full[1], L"LocaleCountry"));
    EXPECT_EQ(full[4], L"  </wmi>");
    EXPECT_TRUE(HasAttribute(full[1], L"CSName"));
    EXPECT_TRUE(HasAttribute(full[3], L"UserName"));

    const std::vector<std::wstring> lean = Section(true, SystemBlock::kWmi);
    ASSERT_EQ(lean.size(), 5u);
    for (const wchar_t* name : {L"CSName", L"Organization", L"RegisteredUser", L"SerialNumber"})
        EXPECT_FALSE(HasAttribute(lean[1], name));
    EXPECT_TRUE(HasAttribute(lean[1], L"OSLanguageLanguage")); // derived names stay
    EXPECT_FALSE(HasAttribute(lean[2], L"SystemName"));
    EXPECT_TRUE(HasAttribute(lean[2], L"Name")); // personal for the computer only
    for (const wchar_t* name : {L"Caption", L"DNSHostName", L"Domain", L"Name", L"PrimaryOwnerName",
                                L"UserName", L"Workgroup"})
        EXPECT_FALSE(HasAttribute(lean[3], name));
}

TEST(SystemBlock, NoWmiGivesTheEmptySection) {
    EXPECT_EQ(block_fixtures::XmlWithoutWmi<SystemBlock>(true, SystemBlock::kWmi),
              L"<system>\r\n  <wmi>\r\n\r\n\r\n\r\n  </wmi>\r\n</system>\r\n");
}

TEST(SystemBlock, InstallerAndDotNetVersionsFromTheSystemFolder) {
    const std::wstring systemRoot = vitascan::GetEnvironmentText(L"SystemRoot");
    const std::wstring msi = systemRoot + L"\\system32\\msi.dll";
    std::wstring msiVersion;
    ASSERT_EQ(vitascan::GetFileVersionText(msi, msiVersion), 0u);
    EXPECT_EQ(Section(false, SystemBlock::kWindowsInstaller),
              std::vector<std::wstring>{L"  <windowsinstaller version=\"" + msiVersion + L"\"/>"});

    // Version folders ("v" and a digit, a file too) by a probe file or by their name.
    testing_support::ScratchFolder root(L"systemroot");
    const std::wstring framework = L"Microsoft.Net\\Framework\\";
    root.MakeFolder(framework + L"v1.2.3");
    root.MakeFolder(framework + L"vendor");
    root.MakeFolder(framework + L"v");
    root.WriteFile(framework + L"v9", "a file qualifies as well");
    root.WriteFile(framework + L"other4\\x.txt", "");
    const std::wstring wpf = framework + L"v3.5\\Windows Presentation Foundation\\";
    root.MakeFolder(wpf);
    ASSERT_TRUE(::CopyFileW(msi.c_str(), (root.path() + wpf + L"NPWPF.dll").c_str(), FALSE));
    const std::wstring folder = root.path().substr(0, root.path().size() - 1);
    ::SetEnvironmentVariableW(L"SystemRoot", folder.c_str());
    const std::vector<std::wstring> lines = Section(false, SystemBlock::kDotNet);
    ::SetEnvironmentVariableW(L"SystemRoot", systemRoot.c_str());
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines.front(), L"  <dotnet>");
    EXPECT_EQ(lines.back(), L"  </dotnet>");
    auto instance = [](const std::wstring& v) {
        return L"    <instance version=\"" + v + L"\" description=\"Microsoft .NET Framework " + v +
               L"\"/>";
    };
    // The platform lists the entries in its own order.
    EXPECT_EQ(std::set<std::wstring>(lines.begin() + 1, lines.end() - 1),
              (std::set<std::wstring>{instance(L"1.2.3"), instance(L"9"), instance(msiVersion)}));
}

TEST(SystemBlock, MonitorsAndLocaleOfThisMachine) {
    // Wine shows one virtual primary monitor of 1024x768 without a display.
    std::vector<std::wstring> lines = Section(false, SystemBlock::kMonitors);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], L"  <monitors>");
    EXPECT_TRUE(Matches(lines[1], LR"(    <monitor width="1024" height="768" monitordesc="[^"]*" )"
                                  LR"(graphicscarddesc="[^"]*" primary="yes"/>)"));
    EXPECT_EQ(lines[2], L"  </monitors>");
    // A locale line that lost its start would still be well-formed text: check its shape.
    lines = Section(false, SystemBlock::kLocale);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(Matches(lines[1], LR"(    <user_locale LCID="\d+" LOCALE_SENGLANGUAGE="[^"]+" )"
                                  LR"(LOCALE_SENGCOUNTRY="[^"]+" decimalsep="[^"]{0,18}" )"
                                  LR"(thousandssep="[^"]{0,18}" listsep="[^"]{0,18}"/>)"));
}

TEST(SystemBlock, GeneralSectionWithTheThreeVariablesCutAtTheirFirstEquals) {
    const std::wstring path = vitascan::GetEnvironmentText(L"PATH");
    const std::wstring temp = vitascan::GetEnvironmentText(L"TEMP");
    const std::wstring tmp = vitascan::GetEnvironmentText(L"TMP");
    ::SetEnvironmentVariableW(L"PATH", L"C:\\a=b");
    ::SetEnvironmentVariableW(L"TEMP", L"C:\\t&<x>");
    ::SetEnvironmentVariableW(L"TMP", L"");
    ::SetEnvironmentVariableW(L"TMP2", L"no");
    const std::vector<std::wstring> lines = Section(false, SystemBlock::kGeneral);
    const std::vector<std::wstring> lean = Section(true, SystemBlock::kGeneral);
    ::SetEnvironmentVariableW(L"PATH", path.c_str());
    ::SetEnvironmentVariableW(L"TEMP", temp.c_str());
    ::SetEnvironmentVariableW(L"TMP", tmp.c_str());
    ::SetEnvironmentVariableW(L"TMP2", nullptr);

    ASSERT_EQ(lines.size(), 9u);
    EXPECT_TRUE(Matches(lines[0], LR"(  <ie version="[^"]+"/>)"));
    EXPECT_EQ(
        std::vector<std::wstring>(lines.begin() + 1, lines.begin() + 6),
        (std::vector<std::wstring>{L"  <environment>", L"    <var name=\"PATH\" value=\"C:\\a\"/>",
                                   L"    <var name=\"TEMP\" value=\"C:\\t&amp;&lt;x&gt;\"/>",
                                   L"    <var name=\"TMP\" value=\"\"/>", L"  </environment>"}));
    EXPECT_TRUE(
        Matches(lines[6], LR"(  <time time="\d\d:\d\d:\d\d" date="\d\d/\d\d/\d{4}" tz="[^"]*"/>)"));
    EXPECT_TRUE(Matches(lines[7], LR"(  <processors count="[1-9]\d*" type="\d+" )"
                                  LR"(architecture="\d+" level="\d+" revision="\d+"/>)"));
    // Physical memory is rounded to 8 MiB, the page file is not.
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    ASSERT_TRUE(::GlobalMemoryStatusEx(&memory));
    std::wsmatch m;
    ASSERT_TRUE(
        std::regex_match(lines[8], m,
                         std::wregex(LR"re(  <memory rambytes="(\d+)" ram="([^"]+)" )re"
                                     LR"re(pagesizebytes="(\d+)" pagesize="([^"]+)" )re"
                                     LR"re(pageavailbytes="(\d+)" pageavail="([^"]+)"/>)re")));
    EXPECT_EQ(m[1].str(), std::to_wstring(memory.ullTotalPhys));
    EXPECT_EQ(m[2].str(), vitascan::FormatByteSize(memory.ullTotalPhys, 0x800000));
    EXPECT_EQ(m[4].str(), vitascan::FormatByteSize(std::stoull(m[3].str()), 0));
    EXPECT_EQ(m[6].str(), vitascan::FormatByteSize(std::stoull(m[5].str()), 0));
    // Without personal data the environment section is left out.
    EXPECT_EQ(lean.size(), lines.size() - 5);
}

} // namespace
