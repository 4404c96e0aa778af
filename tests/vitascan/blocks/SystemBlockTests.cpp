#include "vitascan/blocks/SystemBlock.h"

#include "tests/TestFiles.h"
#include "vitascan/Probes.h"

#include <regex>
#include <set>
#include <tuple>

#include <gtest/gtest.h>

namespace {

using vitascan::SystemBlock;
using namespace vitascan::system_block;
using vitascan::WmiRow;

// Facts of every section, chosen so that each rule of the text shows.
Facts EverySection() {
    Facts facts;
    facts.wmi = WmiFacts{{{{L"CSName", L"PC"}, {L"OSLanguage", L"1033"}}},
                         {{{L"Name", L"cpu"}, {L"SystemName", L"PC"}}},
                         {{{L"Name", L"PC"}, {L"Model", L"m&m"}}, {{L"UserName", L"me"}}}};
    facts.installerVersion = L"5.0";
    facts.dotNetVersions = {L"4.8&1", L"", L"2.0-\u00e9"};
    facts.monitors = {{1024, 768, L"Screen <1>", L"Card", true}, {800, 600, L"", L"", false}};
    facts.locale = Locale{1033, L"English", std::nullopt, L".", L",", L";"};
    General general{};
    general.environment = {L"=C:=C:\\", L"Path=lower", L"PATH=C:\\a=b", L"TMP=", L"TEMP=C:\\t&"};
    general.time = L"09:05:07";
    general.date = L"04/12/2026";
    general.timeZone = L"UTC";
    general.system.dwNumberOfProcessors = 4;
    general.system.dwProcessorType = 8664;
    general.system.wProcessorArchitecture = 9;
    general.system.wProcessorLevel = 6;
    general.system.wProcessorRevision = 1;
    // 64 KiB short of 8 GiB: the size text is rounded to 8 MiB first.
    general.memory.ullTotalPhys = 8589869056;
    general.memory.ullTotalPageFile = 1536;
    general.memory.ullAvailPageFile = 0x8000000000000000;
    facts.general = general;
    return facts;
}

TEST(SystemBlock, RendersEverySectionFromItsFacts) {
    EXPECT_EQ(
        Render(EverySection(), false),
        L"<system>\r\n  <wmi>\r\n"
        L"    <Win32_OperatingSystem CSName=\"PC\" OSLanguage=\"1033\"/>\r\n"
        L"    <Win32_Processor Name=\"cpu\" SystemName=\"PC\"/>\r\n"
        L"    <Win32_ComputerSystem Model=\"m&amp;m\" Name=\"PC\"/>\r\n"
        L"    <Win32_ComputerSystem UserName=\"me\"/>\r\n"
        L"  </wmi>\r\n"
        L"  <windowsinstaller version=\"5.0\"/>\r\n"
        L"  <dotnet>\r\n"
        L"    <instance version=\"4.8&amp;1\" description=\"Microsoft .NET Framework "
        L"4.8&amp;1\"/>\r\n"
        L"    <instance version=\"2.0-&#233;\" "
        L"description=\"Microsoft .NET Framework 2.0-&#233;\"/>\r\n"
        L"  </dotnet>\r\n"
        L"  <monitors>\r\n"
        L"    <monitor width=\"1024\" height=\"768\" monitordesc=\"Screen &lt;1&gt;\" "
        L"graphicscarddesc=\"Card\" primary=\"yes\"/>\r\n"
        L"    <monitor width=\"800\" height=\"600\" monitordesc=\"\" graphicscarddesc=\"\" "
        L"primary=\"no\"/>\r\n"
        L"  </monitors>\r\n"
        L"  <locale>\r\n"
        L"    <user_locale LCID=\"1033\" LOCALE_SENGLANGUAGE=\"English\" decimalsep=\".\" "
        L"thousandssep=\",\" listsep=\";\"/>\r\n"
        L"  </locale>\r\n"
        L"  <ie version=\"less than 4\"/>\r\n"
        L"  <environment>\r\n"
        L"    <var name=\"PATH\" value=\"C:\\a\"/>\r\n"
        L"    <var name=\"TMP\" value=\"\"/>\r\n"
        L"    <var name=\"TEMP\" value=\"C:\\t&amp;\"/>\r\n"
        L"  </environment>\r\n"
        L"  <time time=\"09:05:07\" date=\"04/12/2026\" tz=\"UTC\"/>\r\n"
        L"  <processors count=\"4\" type=\"8664\" architecture=\"9\" level=\"6\" "
        L"revision=\"1\"/>\r\n"
        L"  <memory rambytes=\"8589869056\" ram=\"8 GB\" pagesizebytes=\"1536\" "
        L"pagesize=\"2 KB\" pageavailbytes=\"-9223372036854775808\" pageavail=\"8388608 TB\"/>\r\n"
        L"</system>\r\n");
}

TEST(SystemBlock, LeavesOutPersonalDataAndSectionsNotAskedFor) {
    WmiRow system, processor, computer;
    for (const wchar_t* name : {L"CSName", L"Organization", L"RegisteredUser", L"SerialNumber",
                                L"Description", L"OSLanguage"})
        system[name] = L"x";
    for (const wchar_t* name : {L"SystemName", L"Name"})
        processor[name] = L"x";
    for (const wchar_t* name :
         {L"Caption", L"DNSHostName", L"Domain", L"Name", L"PrimaryOwnerContact",
          L"PrimaryOwnerName", L"SupportContactDescription", L"UserName", L"Workgroup", L"Model"})
        computer[name] = L"x";
    Facts facts = EverySection();
    facts.wmi = WmiFacts{{system}, {processor}, {computer}};
    const std::wstring lean = Render(facts, true);
    // A processor's name is no one's; a computer's name is personal.
    EXPECT_EQ(lean.rfind(L"<system>\r\n  <wmi>\r\n    <Win32_OperatingSystem OSLanguage=\"x\"/>\r\n"
                         L"    <Win32_Processor Name=\"x\"/>\r\n"
                         L"    <Win32_ComputerSystem Model=\"x\"/>\r\n  </wmi>\r\n",
                         0),
              0u);
    EXPECT_EQ(lean.find(L"<environment>"), std::wstring::npos);
    EXPECT_NE(lean.find(L"  <ie "), std::wstring::npos);
    // No WMI rows leave three empty lines; no section at all leaves the bare element.
    Facts noRows;
    noRows.wmi.emplace();
    EXPECT_EQ(Render(noRows, true),
              L"<system>\r\n  <wmi>\r\n\r\n\r\n\r\n  </wmi>\r\n</system>\r\n");
    EXPECT_EQ(Render({}, false), L"<system>\r\n</system>\r\n");
}

// The machine read once: each probe answers with what the platform says.
TEST(SystemBlock, ProbesTheSectionsTheMaskSelects) {
    EXPECT_FALSE(Probe(0x800 | 0x1).general); // other blocks' bits select nothing
    const Facts facts = Probe(SystemBlock::kAllSections);
    ASSERT_TRUE(facts.wmi && facts.dotNetVersions && facts.monitors && facts.locale &&
                facts.general);
    ASSERT_EQ(facts.wmi->operatingSystems.size(), 1u);
    EXPECT_FALSE(facts.wmi->operatingSystems[0].at(L"OSLanguageLanguage").empty());
    EXPECT_TRUE(facts.wmi->operatingSystems[0].count(L"LocaleCountry"));
    EXPECT_EQ(facts.installerVersion,
              vitascan::FileVersion(vitascan::GetEnvironmentText(L"SystemRoot") +
                                    L"\\system32\\msi.dll"));
    // Wine shows one virtual primary monitor of 1024x768 without a display.
    ASSERT_EQ(facts.monitors->size(), 1u);
    const Monitor& monitor = facts.monitors->at(0);
    EXPECT_EQ(std::make_tuple(monitor.width, monitor.height, monitor.primary),
              std::make_tuple(1024, 768, true));
    EXPECT_EQ(facts.locale->lcid, ::GetUserDefaultLCID());
    EXPECT_TRUE(facts.locale->language);
    const General& general = *facts.general;
    EXPECT_TRUE(std::regex_match(general.time + L" " + general.date,
                                 std::wregex(LR"(\d\d:\d\d:\d\d \d\d/\d\d/\d{4})")));
    EXPECT_NE(std::find(general.environment.begin(), general.environment.end(),
                        L"PATH=" + vitascan::GetEnvironmentText(L"PATH")),
              general.environment.end());
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    ASSERT_TRUE(::GlobalMemoryStatusEx(&memory));
    EXPECT_EQ(general.memory.ullTotalPhys, memory.ullTotalPhys);
    EXPECT_GT(general.system.dwNumberOfProcessors, 0u);
}

TEST(SystemBlock, DotNetVersionsByAProbeFileOrByTheFolderName) {
    // Version folders ("v" and a digit, a file too) by a probe file or by their name.
    testing_support::ScratchFolder root(L"framework");
    root.MakeFolder(L"v1.2.3");
    root.MakeFolder(L"vendor");
    root.MakeFolder(L"v");
    root.WriteFile(L"v9", "a file qualifies as well");
    root.WriteFile(L"other4\\x.txt", "");
    const std::wstring msi = vitascan::GetEnvironmentText(L"SystemRoot") + L"\\system32\\msi.dll";
    const std::wstring wpf = root.MakeFolder(L"v3.5\\Windows Presentation Foundation");
    ASSERT_TRUE(::CopyFileW(msi.c_str(), (wpf + L"NPWPF.dll").c_str(), FALSE));
    const std::vector<std::wstring> versions = ProbeDotNetVersions(root.path());
    // The platform lists the entries in its own order.
    EXPECT_EQ(std::multiset<std::wstring>(versions.begin(), versions.end()),
              (std::multiset<std::wstring>{L"1.2.3", L"9", *vitascan::FileVersion(msi)}));
}

} // namespace
