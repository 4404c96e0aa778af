#include "vitascan/Probes.h"

#include "tests/TestFiles.h"

#include <gtest/gtest.h>

namespace {

using vitascan::GetFileVersionText;

TEST(FileVersion, ReadsTheVersionResourceOnly) {
    EXPECT_EQ(vitascan::ExecutableVersion(), L"" VITASCAN_EXPECTED_VERSION);
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring version = L"stale";
    EXPECT_EQ(GetFileVersionText(self, version), 0u);
    EXPECT_EQ(version, L"" VITASCAN_EXPECTED_VERSION);
    testing_support::ScratchFolder folder;
    for (const std::wstring& path :
         {folder.WriteFile(L"plain.dll", "not a program"), folder.path() + L"missing.exe"}) {
        EXPECT_NE(GetFileVersionText(path, version), 0u);
        EXPECT_EQ(version, L"");
        EXPECT_FALSE(vitascan::FileVersion(path));
    }
}

} // namespace
