#include "vitascan/Report.h"

#include "tests/vitascan/blocks/BlockFixtures.h"
#include "vitascan/Probes.h"

#include <gtest/gtest.h>

namespace {

using block_fixtures::FindFolder;
using vitascan::Report;

// A block that counts how often its fragment is asked for.
struct CountingBlock : vitascan::IBlock {
    CountingBlock(std::wstring name, int* calls) : name(std::move(name)), calls(calls) {}
    std::wstring GetDescription() override { return L"step " + name; }
    std::wstring GetXml() override { return ++*calls, L"<" + name + L"/>\n"; }
    std::wstring name;
    int* calls;
};

const std::wstring kHead = L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<vitascan version='" +
                           vitascan::ShortVersion(L"" VITASCAN_EXPECTED_VERSION) +
                           L"' versionDisplay='" VITASCAN_EXPECTED_VERSION L"'>\r\n";
const std::wstring kTail = L"</vitascan>\r\n";

TEST(ShortVersion, TakesMajorAndMinor) {
    for (const auto& [version, shortVersion] : std::vector<std::pair<std::wstring, std::wstring>>{
             {L"1.2.3.4", L"1.2"}, {L"", L"."}, {L"7", L"7.7"}})
        EXPECT_EQ(vitascan::ShortVersion(version), shortVersion);
}

TEST(GroupMarkup, NestingIndentationDataPointsAndSiblings) {
    Report r;
    r.EndGroup(); // nothing open: no effect
    r.StartGroup(L"a");
    r.SetDataPoint(L"first", L"1<2");
    r.StartGroup(L"b");
    r.StartGroup(L"c");
    r.EndGroup();
    r.StartGroup(L"c");
    r.SetDataPoint(L"n<", L"&\"'\t\u00e9");
    r.EndGroup();
    r.EndGroup();
    r.SetDataPoint(L"late", L"2");
    r.EndGroup();
    r.EndGroup();
    EXPECT_EQ(
        r.GetDocument(),
        kHead +
            L"<a first=\"1&lt;2\">\r\n  <b>\r\n    <c />\r\n"
            L"    <c n<=\"&amp;&quot;&apos;&#009;&#233;\" />\r\n  </b>\r\n late=\"2\"</a>\r\n" +
            kTail);
}

TEST(Steps, RunOnceEachInOrderWithTruncatedProgressAfterTheGroups) {
    Report empty;
    EXPECT_FALSE(empty.HasNextStep());
    EXPECT_EQ(empty.GetProgressPct(), 100);
    EXPECT_EQ(empty.GetDocument(), kHead + kTail);

    int calls[3] = {};
    Report report;
    for (int i = 0; i < 3; ++i)
        report.AppendStep(std::make_unique<CountingBlock>(L"b" + std::to_wstring(i), &calls[i]));
    report.Reset();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(report.GetProgressPct(), i * 100 / 3);
        EXPECT_EQ(report.GetNextStepDesc(), L"step b" + std::to_wstring(i));
        EXPECT_EQ(report.ProcessNextStep(), i < 2);
        EXPECT_EQ(calls[i], 1);
    }
    EXPECT_EQ(report.GetProgressPct(), 100);
    EXPECT_FALSE(report.HasNextStep());
    // Group markup comes first whenever it was written.
    report.StartGroup(L"late");
    report.EndGroup();
    EXPECT_EQ(report.GetDocument(), kHead + L"<late />\r\n<b0/>\n<b1/>\n<b2/>\n" + kTail);

    // Reset starts over without the fragments but keeps the steps and the group markup.
    report.Reset();
    EXPECT_EQ(report.GetProgressPct(), 0);
    EXPECT_EQ(report.GetDocument(), kHead + L"<late />\r\n" + kTail);
    EXPECT_FALSE(Report(0x1 | 0x4 | 0x40 | 0x40000 | 0x10000000, false).HasNextStep());
}

// The names of the elements directly inside the system block's element.
std::vector<std::wstring> SystemSections(const std::wstring& document) {
    std::vector<std::wstring> names;
    for (size_t at = document.find(L"\n  <"); at != std::wstring::npos;
         at = document.find(L"\n  <", at + 1))
        if (document[at + 4] != L'/')
            names.push_back(
                document.substr(at + 4, document.find_first_of(L" />", at + 4) - at - 4));
    return names;
}

TEST(Steps, EachSystemSectionBitSelectsItsOwnSectionAlone) {
    for (const auto& [bit, sections] :
         std::vector<std::pair<std::uint32_t, std::vector<std::wstring>>>{
             {0x1000, {L"wmi"}},
             {0x2000, {L"windowsinstaller"}},
             {0x4000, {L"dotnet"}},
             {0x8000, {L"monitors"}},
             {0x10000, {L"locale"}},
             {0x20000, {L"ie", L"environment", L"time", L"processors", L"memory"}}}) {
        Report report(bit, false);
        ASSERT_TRUE(report.HasNextStep());
        EXPECT_FALSE(report.ProcessNextStep()) << bit; // the system block is the one step
        EXPECT_EQ(SystemSections(report.GetDocument()), sections) << bit;
    }
}

TEST(Reset, SeedsTheTreeWithTheDriversFolderOnly) {
    Report report;
    vitascan::AddPath(report.GetFolderTree(), L"Q:\\stale\\"); // another drive
    report.Reset();
    const std::wstring drivers =
        vitascan::GetEnvironmentText(L"SystemRoot") + L"\\system32\\drivers\\";
    ASSERT_EQ(report.GetFolderTree().children.size(), 1u);
    const vitascan::FolderNode* node = FindFolder(report.GetFolderTree(), drivers);
    ASSERT_NE(node, nullptr);
    EXPECT_FALSE(node->files.empty());   // the folder is listed, not only named
    EXPECT_TRUE(node->children.empty()); // and not recursively
}

} // namespace
