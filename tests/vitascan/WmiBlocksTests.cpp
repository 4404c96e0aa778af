#include "vitascan/blocks/ProcessBlock.h"
#include "vitascan/blocks/SystemBlock.h"

#include "platform/str_convert.h"
#include "vitascan/MarkupHelpers.h"
#include "vitascan/Report.h"

#include "tests/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>

namespace {

using vitascan::SystemBlock;
using vitascan::WmiRow;
namespace sb = vitascan::system_block;

// The text's lines without their CR LF; asserts that every line ends with CR LF.
std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text does not end with CR LF";
    return lines;
}

bool Matches(const std::wstring& text, const wchar_t* pattern) {
    return std::regex_match(text, std::wregex(pattern));
}

bool HasAttribute(const std::wstring& text, const std::wstring& name) {
    return text.find(L" " + name + L"=\"") != std::wstring::npos;
}

TEST(SystemBlockLocale, NamesTheLanguageAndLocaleIdentifiers) {
    WmiRow row = {{L"OSLanguage", L"1031"}, {L"Locale", L"0409"}};
    sb::AddLocaleNames(row);
    EXPECT_EQ(row.at(L"OSLanguageLanguage"), L"German");
    EXPECT_EQ(row.at(L"OSLanguageCountry"), L"Germany");
    EXPECT_EQ(row.at(L"LocaleLanguage"), L"English");
    EXPECT_EQ(row.at(L"LocaleCountry"), L"United States");

    // Only the low 16 bits name the locale.
    row = {{L"OSLanguage", std::to_wstring(0x50409)}};
    sb::AddLocaleNames(row);
    EXPECT_EQ(row.at(L"OSLanguageLanguage"), L"English");
    EXPECT_EQ(row.count(L"LocaleLanguage"), 0u); // no "Locale", no names for it
}

TEST(SystemBlockLocale, ValuesThatAreNotNumbersKeepTheRowWellFormed) {
    for (const wchar_t* bad : {L"", L"en-US", L" 1033", L"99999999999"}) {
        WmiRow row = {{L"OSLanguage", bad}};
        sb::AddLocaleNames(row);
        EXPECT_EQ(row, (WmiRow{{L"OSLanguage", bad}})) << str::as_cstring(bad);
    }
    // A locale that is not hexadecimal still gets its (looked-up) names, never a failure.
    WmiRow row = {{L"Locale", L"zz<"}};
    sb::AddLocaleNames(row);
    EXPECT_EQ(row.count(L"LocaleLanguage"), 1u);
    EXPECT_EQ(row.count(L"LocaleCountry"), 1u);
    std::wstring out;
    sb::AppendWmiSection(out, {row}, {}, {}, false);
    EXPECT_NE(out.find(L"Locale=\"zz&lt;\""), std::wstring::npos);
}

TEST(SystemBlockWmi, PersonalDataIsLeftOutButDerivedNamesStay) {
    const std::vector<std::wstring> osPii = {L"CSName", L"Organization", L"RegisteredUser",
                                             L"SerialNumber", L"Description"};
    const std::vector<std::wstring> csPii = {L"Caption",
                                             L"DNSHostName",
                                             L"Domain",
                                             L"Name",
                                             L"PrimaryOwnerContact",
                                             L"PrimaryOwnerName",
                                             L"SupportContactDescription",
                                             L"UserName",
                                             L"Workgroup"};
    WmiRow os = {{L"OSLanguage", L"1033"}, {L"Locale", L"0409"}, {L"Version", L"6.1"}};
    for (const auto& name : osPii)
        os[name] = L"secret";
    const WmiRow cpu = {{L"SystemName", L"secret"}, {L"Name", L"Xeon"}};
    WmiRow cs = {{L"Model", L"Wine"}};
    for (const auto& name : csPii)
        cs[name] = L"secret";

    std::wstring out;
    sb::AppendWmiSection(out, {os}, {cpu}, {cs}, true);
    EXPECT_EQ(out, L"  <wmi>\r\n"
                   L"    <Win32_OperatingSystem Locale=\"0409\" LocaleCountry=\"United States\" "
                   L"LocaleLanguage=\"English\" OSLanguage=\"1033\" OSLanguageCountry=\"United "
                   L"States\" OSLanguageLanguage=\"English\" Version=\"6.1\"/>\r\n"
                   // "Name" is personal for the computer only, not for the processor.
                   L"    <Win32_Processor Name=\"Xeon\"/>\r\n"
                   L"    <Win32_ComputerSystem Model=\"Wine\"/>\r\n"
                   L"  </wmi>\r\n");

    std::wstring everything;
    sb::AppendWmiSection(everything, {os}, {cpu}, {cs}, false);
    for (const auto& name : osPii)
        EXPECT_TRUE(HasAttribute(Lines(everything)[1], name)) << str::as_cstring(name);
    EXPECT_TRUE(HasAttribute(Lines(everything)[2], L"SystemName"));
    for (const auto& name : csPii)
        EXPECT_TRUE(HasAttribute(Lines(everything)[3], name)) << str::as_cstring(name);

    std::wstring none;
    sb::AppendWmiSection(none, {}, {}, {}, true);
    EXPECT_EQ(none, L"  <wmi>\r\n\r\n\r\n\r\n  </wmi>\r\n");
}

TEST(SystemBlockWmi, ThisMachineWithoutPersonalData) {
    const std::wstring xml = SystemBlock(true, SystemBlock::kAllSections).GetXml();
    for (const wchar_t* name :
         {L"CSName", L"Organization", L"RegisteredUser", L"SerialNumber", L"SystemName",
          L"DNSHostName", L"Domain", L"UserName", L"Workgroup", L"PrimaryOwnerName"})
        EXPECT_FALSE(HasAttribute(xml, name)) << str::as_cstring(name);
    EXPECT_EQ(xml.find(L"<environment>"), std::wstring::npos);
    EXPECT_TRUE(HasAttribute(xml, L"OSLanguageLanguage"));
    EXPECT_TRUE(HasAttribute(xml, L"LocaleCountry"));
    // Without the flag the same machine shows them.
    const std::wstring full = SystemBlock(false, SystemBlock::kAllSections).GetXml();
    EXPECT_TRUE(HasAttribute(full, L"CSName"));
    EXPECT_NE(full.find(L"  <environment>\r\n"), std::wstring::npos);
}

TEST(SystemBlockEnvironment, ExactNamesAndValuesCutAtTheirFirstEquals) {
    const wchar_t block[] = L"=C:=C:\\work\0Path=C:\\lower\0PATH=C:\\a=b\0OTHER=1\0"
                            L"TEMP=C:\\t&<x>\0TMP\0Temp=no\0TMP2=no\0";
    std::wstring out;
    sb::AppendEnvironmentSection(out, block);
    EXPECT_EQ(out, L"  <environment>\r\n"
                   L"    <var name=\"PATH\" value=\"C:\\a\"/>\r\n"
                   L"    <var name=\"TEMP\" value=\"C:\\t&amp;&lt;x&gt;\"/>\r\n"
                   L"    <var name=\"TMP\" value=\"\"/>\r\n"
                   L"  </environment>\r\n");
    out.clear();
    sb::AppendEnvironmentSection(out, nullptr);
    EXPECT_EQ(out, L"  <environment>\r\n  </environment>\r\n");
}

TEST(SystemBlockGeneral, MemoryRoundsPhysicalSizeOnlyAndMonitorLineEscapes) {
    MEMORYSTATUSEX memory = {};
    memory.ullTotalPhys = 8589869056ull; // 64 KiB short of 8 GiB
    memory.ullTotalPageFile = 12582913;
    memory.ullAvailPageFile = 819;
    EXPECT_EQ(sb::MemoryLine(memory),
              L"  <memory rambytes=\"8589869056\" ram=\"8 GB\" pagesizebytes=\"12582913\" "
              L"pagesize=\"12 MB\" pageavailbytes=\"819\" pageavail=\"819 B\"/>\r\n");

    EXPECT_EQ(
        sb::MonitorLine(1920, 1200, L"Dell \"U2412M\"", L"R&D <card>", false),
        L"    <monitor width=\"1920\" height=\"1200\" monitordesc=\"Dell &quot;U2412M&quot;\" "
        L"graphicscarddesc=\"R&amp;D &lt;card&gt;\" primary=\"no\"/>\r\n");
    EXPECT_EQ(sb::MonitorLine(-1, 0, L"", L"", true),
              L"    <monitor width=\"-1\" height=\"0\" monitordesc=\"\" graphicscarddesc=\"\" "
              L"primary=\"yes\"/>\r\n");
}

TEST(SystemBlockGeneral, TimeAndLocaleTextHelpers) {
    EXPECT_EQ(sb::FormatLocalTime(86400ll * 400, L"%Y"), L"1971");
    EXPECT_EQ(sb::FormatLocalTime(86400ll * 400, L""), L"");
    EXPECT_EQ(sb::FormatLocalTime(86400ll * 400, std::wstring(200, L'x').c_str()), L"");

    EXPECT_EQ(sb::GetLocaleText(1033, LOCALE_SENGLANGUAGE), L"English");
    EXPECT_EQ(sb::GetLocaleText(1033, 0xFFFF), std::nullopt);
}

TEST(SystemBlockDotNet, VersionFoldersWithProbeFilesOrTheirName) {
    testing_support::ScratchFolder framework(L"dotnet");
    EXPECT_EQ(([&] {
                  std::wstring out;
                  sb::AppendDotNetSection(out, framework.path());
                  return out;
              }()),
              L"  <dotnet>\r\n  </dotnet>\r\n");

    framework.MakeFolder(L"v1.2.3");
    framework.MakeFolder(L"vendor");
    framework.MakeFolder(L"v");
    framework.WriteFile(L"v9", "a file qualifies as well");
    framework.WriteFile(L"other4\\x.txt", "");
    // The third probe file gives the version when the first two are missing.
    const std::wstring msi = vitascan::GetEnvironmentText(L"SystemRoot") + L"\\system32\\msi.dll";
    std::wstring msiVersion;
    ASSERT_EQ(vitascan::GetFileVersionText(msi, msiVersion), 0u);
    framework.MakeFolder(L"v3.5\\Windows Presentation Foundation");
    ASSERT_TRUE(::CopyFileW(
        msi.c_str(),
        (framework.path() + L"v3.5\\Windows Presentation Foundation\\NPWPF.dll").c_str(), FALSE));

    std::wstring out;
    sb::AppendDotNetSection(out, framework.path());
    std::vector<std::wstring> lines = Lines(out);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines.front(), L"  <dotnet>");
    EXPECT_EQ(lines.back(), L"  </dotnet>");
    // The platform lists the entries in its own order.
    const std::set<std::wstring> instances(lines.begin() + 1, lines.end() - 1);
    EXPECT_EQ(
        instances,
        (std::set<std::wstring>{
            L"    <instance version=\"1.2.3\" description=\"Microsoft .NET Framework 1.2.3\"/>",
            L"    <instance version=\"9\" description=\"Microsoft .NET Framework 9\"/>",
            L"    <instance version=\"" + msiVersion +
                L"\" description=\"Microsoft .NET "
                L"Framework " +
                msiVersion + L"\"/>"}));
}

// Each section bit alone gives the frame and that section only.
TEST(SystemBlock, EachSectionBitAlone) {
    EXPECT_EQ(SystemBlock(false, 0x800 | 0x1).GetXml(), L"<system>\r\n</system>\r\n");

    auto inner = [](std::uint32_t bit) {
        std::vector<std::wstring> lines = Lines(SystemBlock(false, bit).GetXml());
        EXPECT_GE(lines.size(), 2u);
        EXPECT_EQ(lines.front(), L"<system>");
        EXPECT_EQ(lines.back(), L"</system>");
        return std::vector<std::wstring>(lines.begin() + 1, lines.end() - 1);
    };

    std::vector<std::wstring> lines = inner(SystemBlock::kWmi);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], L"  <wmi>");
    EXPECT_TRUE(Matches(lines[1], LR"(    <Win32_OperatingSystem .* OSLanguageLanguage=".+/>)"));
    EXPECT_TRUE(Matches(lines[2], LR"(    <Win32_Processor .*/>)"));
    EXPECT_TRUE(Matches(lines[3], LR"(    <Win32_ComputerSystem .*/>)"));
    EXPECT_EQ(lines[4], L"  </wmi>");

    std::wstring msiVersion;
    vitascan::GetFileVersionText(
        vitascan::GetEnvironmentText(L"SystemRoot") + L"\\system32\\msi.dll", msiVersion);
    ASSERT_FALSE(msiVersion.empty());
    EXPECT_EQ(inner(SystemBlock::kWindowsInstaller),
              std::vector<std::wstring>{L"  <windowsinstaller version=\"" + msiVersion + L"\"/>"});

    lines = inner(SystemBlock::kDotNet);
    EXPECT_EQ(lines.front(), L"  <dotnet>");
    EXPECT_EQ(lines.back(), L"  </dotnet>");

    // Wine shows one virtual primary monitor of 1024x768 without a display.
    lines = inner(SystemBlock::kMonitors);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], L"  <monitors>");
    EXPECT_TRUE(Matches(lines[1], LR"(    <monitor width="1024" height="768" monitordesc="[^"]*" )"
                                  LR"(graphicscarddesc="[^"]*" primary="yes"/>)"));
    EXPECT_EQ(lines[2], L"  </monitors>");

    lines = inner(SystemBlock::kLocale);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(Matches(lines[1], LR"(    <user_locale LCID="\d+" LOCALE_SENGLANGUAGE="[^"]+" )"
                                  LR"(LOCALE_SENGCOUNTRY="[^"]+" decimalsep="[^"]{0,18}" )"
                                  LR"(thousandssep="[^"]{0,18}" listsep="[^"]{0,18}"/>)"));

    lines = inner(SystemBlock::kGeneral);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_TRUE(Matches(lines[0], LR"(  <ie version="[^"]+"/>)"));
    EXPECT_EQ(lines[1], L"  <environment>");
    const size_t end = std::find(lines.begin(), lines.end(), L"  </environment>") - lines.begin();
    ASSERT_EQ(end, lines.size() - 4);
    for (size_t i = 2; i < end; ++i)
        EXPECT_TRUE(Matches(lines[i], LR"re(    <var name="(TMP|TEMP|PATH)" value="[^"]*"/>)re"));
    EXPECT_TRUE(Matches(lines[end + 1],
                        LR"(  <time time="\d\d:\d\d:\d\d" date="\d\d/\d\d/\d{4}" tz="[^"]*"/>)"));
    EXPECT_TRUE(Matches(lines[end + 2], LR"(  <processors count="[1-9]\d*" type="\d+" )"
                                        LR"(architecture="\d+" level="\d+" revision="\d+"/>)"));
    EXPECT_TRUE(Matches(lines[end + 3], LR"(  <memory rambytes="[1-9]\d*" ram="\d+ [KMGT]?B" )"
                                        LR"(pagesizebytes="\d+" pagesize="\d+ [KMGT]?B" )"
                                        LR"(pageavailbytes="\d+" pageavail="\d+ [KMGT]?B"/>)"));
}

TEST(ProcessBlock, OneLinePerProcessIncludingThisOne) {
    vitascan::ProcessBlock block;
    EXPECT_EQ(block.GetDescription(), L"Listing running processes");
    const std::vector<std::wstring> lines = Lines(block.GetXml());
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], L"<processes>");
    EXPECT_EQ(lines[1], L"  <wmi>");
    EXPECT_EQ(lines[lines.size() - 2], L"  </wmi>");
    EXPECT_EQ(lines.back(), L"</processes>");
    const std::wstring self = L" ProcessID=\"" + std::to_wstring(::GetCurrentProcessId()) + L"\"";
    int selfLines = 0;
    for (size_t i = 2; i + 2 < lines.size(); ++i) {
        EXPECT_TRUE(Matches(lines[i], LR"(    <Win32_Process( \w+="[^"]*")+/>)"));
        if (lines[i].find(self) != std::wstring::npos) {
            ++selfLines;
            // Present although it may be empty; the pattern above admits no raw quote.
            EXPECT_TRUE(HasAttribute(lines[i], L"CommandLine"));
            EXPECT_NE(lines[i].find(L"Name=\"wmi_tests.exe\""), std::wstring::npos);
        }
    }
    EXPECT_EQ(selfLines, 1);
}

TEST(ReportSteps, BothBlocksAtTheirPlaceWithTheFlag) {
    vitascan::Report pii(SystemBlock::kGeneral, true);
    ASSERT_TRUE(pii.HasNextStep());
    EXPECT_EQ(pii.GetNextStepDesc(), L"Collecting system information");
    EXPECT_FALSE(pii.ProcessNextStep());
    EXPECT_EQ(pii.GetDocument().find(L"<environment>"), std::wstring::npos);

    vitascan::Report plain(SystemBlock::kGeneral | 0x800, false);
    EXPECT_TRUE(plain.ProcessNextStep());
    EXPECT_EQ(plain.GetNextStepDesc(), L"Listing running processes");
    EXPECT_FALSE(plain.ProcessNextStep());
    const std::wstring document = plain.GetDocument();
    const size_t system = document.find(L"<system>\r\n");
    EXPECT_NE(document.find(L"  <environment>\r\n", system), std::wstring::npos);
    EXPECT_LT(system, document.find(L"<processes>\r\n"));

    EXPECT_FALSE(vitascan::Report(0x1 | 0x4 | 0x40000, false).HasNextStep());
}

} // namespace
