#include "platform/str_convert.h"
#include "vitascan/MarkupHelpers.h"
#include "vitascan/Report.h"
#include "vitascan/TextFile.h"

#include "tests/TestFiles.h"

#include <gtest/gtest.h>

namespace {

using vitascan::Report;

// A block that counts how often its fragment is asked for.
class CountingBlock : public vitascan::IBlock {
public:
    CountingBlock(std::wstring name, int* calls) : name_(std::move(name)), calls_(calls) {}
    std::wstring GetDescription() override { return L"step " + name_; }
    std::wstring GetXml() override {
        ++*calls_;
        return L"<" + name_ + L"/>\n";
    }

private:
    std::wstring name_;
    int* calls_;
};

const std::wstring kHead = L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<vitascan version='" +
                           vitascan::ShortVersion(L"" VITASCAN_EXPECTED_VERSION) +
                           L"' versionDisplay='" VITASCAN_EXPECTED_VERSION L"'>\r\n";

TEST(ShortVersion, TakesMajorAndMinor) {
    EXPECT_EQ(vitascan::ShortVersion(L"1.2.3.4"), L"1.2");
    EXPECT_EQ(vitascan::ShortVersion(L"7.1"), L"7.1");
    EXPECT_EQ(vitascan::ShortVersion(L"10.2.0.15"), L"10.2");
    EXPECT_EQ(vitascan::ShortVersion(L""), L".");
    EXPECT_EQ(vitascan::ShortVersion(L"7"), L"7.7");
}

TEST(Document, EmptyReportHoldsRootAndGroupsOnly) {
    Report report;
    EXPECT_FALSE(report.HasNextStep());
    EXPECT_EQ(report.GetProgressPct(), 100);
    EXPECT_EQ(report.GetDocument(), kHead + L"</vitascan>\r\n");
}

TEST(Document, GroupMarkupPrecedesBlockFragmentsWhateverTheOrder) {
    int calls = 0;
    Report report;
    report.AppendStep(std::make_unique<CountingBlock>(L"one", &calls));
    report.Reset();
    report.ProcessNextStep();
    report.StartGroup(L"late");
    report.EndGroup();
    EXPECT_EQ(report.GetDocument(), kHead + L"<late />\r\n<one/>\n</vitascan>\r\n");
}

TEST(Steps, RunOnceEachWithTruncatedProgress) {
    int calls[3] = {};
    Report report;
    for (int i = 0; i < 3; ++i)
        report.AppendStep(std::make_unique<CountingBlock>(L"b" + std::to_wstring(i), &calls[i]));
    report.Reset();
    EXPECT_EQ(report.GetProgressPct(), 0);
    EXPECT_EQ(report.GetNextStepDesc(), L"step b0");
    EXPECT_TRUE(report.ProcessNextStep());
    EXPECT_EQ(report.GetProgressPct(), 33);
    EXPECT_EQ(report.GetNextStepDesc(), L"step b1");
    EXPECT_TRUE(report.ProcessNextStep());
    EXPECT_EQ(report.GetProgressPct(), 66);
    EXPECT_FALSE(report.ProcessNextStep());
    EXPECT_EQ(report.GetProgressPct(), 100);
    EXPECT_FALSE(report.HasNextStep());
    EXPECT_EQ(calls[0] + calls[1] + calls[2], 3);
    EXPECT_EQ(report.GetDocument(), kHead + L"<b0/>\n<b1/>\n<b2/>\n</vitascan>\r\n");

    // Reset starts over without the fragments but keeps the steps and the group markup.
    report.StartGroup(L"kept");
    report.EndGroup();
    report.Reset();
    EXPECT_EQ(report.GetProgressPct(), 0);
    EXPECT_EQ(report.GetDocument(), kHead + L"<kept />\r\n</vitascan>\r\n");
}

TEST(Steps, UnknownMaskBitsSelectNothing) {
    Report report(0x1 | 0x4 | 0x40 | 0x10000000, false);
    EXPECT_FALSE(report.HasNextStep());
}

// The node the path's components lead to, or null.
const vitascan::FolderNode* FindNode(const vitascan::FolderNode& root, const std::wstring& path) {
    const vitascan::FolderNode* node = &root;
    for (const std::wstring& component : str::split(path, L"\\")) {
        if (component.empty())
            continue;
        const vitascan::FolderNode* next = nullptr;
        for (const auto& child : node->children)
            if (vitascan::EqualsIgnoringAsciiCase(child->name, component))
                next = child.get();
        if (next == nullptr)
            return nullptr;
        node = next;
    }
    return node;
}

TEST(Reset, SeedsTheTreeWithTheDriversFolderOnly) {
    Report report;
    vitascan::AddPath(report.GetFolderTree(), L"C:\\stale\\");
    report.Reset();
    const std::wstring drivers =
        vitascan::GetEnvironmentText(L"SystemRoot") + L"\\system32\\drivers\\";
    ASSERT_EQ(report.GetFolderTree().children.size(), 1u);
    EXPECT_EQ(FindNode(report.GetFolderTree(), L"C:\\stale\\"), nullptr);
    const vitascan::FolderNode* node = FindNode(report.GetFolderTree(), drivers);
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(vitascan::EqualsIgnoringAsciiCase(node->path, drivers));
    EXPECT_FALSE(node->files.empty());   // the folder is listed, not only named
    EXPECT_TRUE(node->children.empty()); // and not recursively

    // Without SystemRoot the folder is the relative system32\drivers under the root.
    const std::wstring saved = vitascan::GetEnvironmentText(L"SystemRoot");
    ::SetEnvironmentVariableW(L"SystemRoot", nullptr);
    report.Reset();
    ::SetEnvironmentVariableW(L"SystemRoot", saved.c_str());
    ASSERT_EQ(report.GetFolderTree().children.size(), 1u);
    EXPECT_EQ(report.GetFolderTree().children[0]->path, L"system32\\");
    ASSERT_NE(FindNode(report.GetFolderTree(), L"system32\\drivers"), nullptr);
}

TEST(SaveTextFile, WritesEachLineFeedAsCrLfAndNarrowsToBytes) {
    testing_support::ScratchFolder folder;
    const std::wstring path = folder.path() + L"out.vitascan";
    std::wstring document = L"<a>\r\n  <b/>\n\u00e9\u4e2dz\r\n";
    std::erase(document, L'\r'); // what every caller does first
    ASSERT_EQ(vitascan::SaveTextFile(path, document), 1);
    // The character above 0xFF is a "?" and nothing after it is lost.
    EXPECT_EQ(testing_support::ReadBytes(path), "<a>\r\n  <b/>\r\n\xE9?z\r\n");

    const std::wstring big(200000, L'x');
    ASSERT_EQ(vitascan::SaveTextFile(path, big + L"\u4e2d" + big), 1);
    EXPECT_EQ(testing_support::ReadBytes(path),
              std::string(200000, 'x') + "?" + std::string(200000, 'x'));
}

TEST(SaveTextFile, MissingFolderFailsWithTheSystemsReason) {
    testing_support::ScratchFolder folder;
    ::SetLastError(0);
    EXPECT_EQ(vitascan::SaveTextFile(folder.path() + L"no such folder\\x.vitascan", L"x"), 0);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

} // namespace
