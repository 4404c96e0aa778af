#include "platform/sys_file.h"
#include "platform/sys_reg.h"

#include "tests/TestFiles.h"

#include <gtest/gtest.h>

namespace {

TEST(Files, FoldersFilesAndMissingPaths) {
    std::wstring temp;
    ASSERT_TRUE(sys::file::GetTempDirectory(temp).ok());
    EXPECT_EQ(temp.back(), L'\\');
    EXPECT_TRUE(sys::file::IsDirectory(temp));

    testing_support::ScratchFolder folder;
    const std::wstring file = folder.WriteFile(L"plain.txt", "x");
    EXPECT_TRUE(sys::file::Exists(file));
    EXPECT_FALSE(sys::file::IsDirectory(file)); // a file is not a folder
    EXPECT_FALSE(sys::file::Exists(folder.path() + L"missing"));
    EXPECT_FALSE(sys::file::IsDirectory(folder.path() + L"missing"));

    std::wstring programData;
    ASSERT_TRUE(sys::file::GetKnownFolderPath(FOLDERID_ProgramData, programData).ok());
    EXPECT_NE(programData.back(), L'\\');
    EXPECT_TRUE(sys::file::IsDirectory(programData));
}

TEST(RegistryPaths, JoinWithOneBackslash) {
    EXPECT_EQ(sys::reg::ConcatenatePath(L"Software", L"KORVEL-AB"), L"Software\\KORVEL-AB");
    EXPECT_EQ(sys::reg::ConcatenatePath(L"Software\\", L"\\KORVEL-AB"), L"Software\\KORVEL-AB");
}

} // namespace
