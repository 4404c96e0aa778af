#include "vitascan/TextFile.h"

#include "tests/TestFiles.h"

#include <gtest/gtest.h>

namespace {

TEST(SaveTextFile, WritesEachLineFeedAsCrLfAndNarrowsToBytes) {
    testing_support::ScratchFolder folder;
    const std::wstring path = folder.path() + L"out.vitascan";
    ASSERT_EQ(textfile::SaveTextFile(path, L"<a>\n  <b/>\n\u00e9\u4e2dz\n"), 1);
    // The character above 0xFF is a "?" and nothing after it is lost.
    EXPECT_EQ(testing_support::ReadBytes(path), "<a>\r\n  <b/>\r\n\xE9?z\r\n");
    const std::wstring big(200000, L'x');
    ASSERT_EQ(textfile::SaveTextFile(path, big + L"\u4e2d" + big), 1);
    EXPECT_EQ(testing_support::ReadBytes(path),
              std::string(200000, 'x') + "?" + std::string(200000, 'x'));

    // A failed save tells what failed in the system's words, and nothing when all went well.
    const auto reason = textfile::Save(folder.path() + L"no such folder\\x.vitascan", L"x");
    ASSERT_TRUE(reason);
    EXPECT_NE(reason->find(L"not found"), std::wstring::npos) << *reason;
    EXPECT_EQ(textfile::Save(path, L"x\n"), std::nullopt);
    EXPECT_EQ(testing_support::ReadBytes(path), "x\r\n");
}

} // namespace
