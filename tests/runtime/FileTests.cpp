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
    // A folder the system does not know is named in the error.
    const KNOWNFOLDERID unknown = {0x12345678, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};
    const gtl::status missing = sys::file::GetKnownFolderPath(unknown, programData);
    EXPECT_EQ(missing.message().rfind(
                  L"Cannot find the known folder {12345678-9ABC-DEF0-0102-030405060708}: ", 0),
              0u)
        << missing.message();
}

TEST(RegistryPaths, JoinWithOneBackslash) {
    EXPECT_EQ(sys::reg::ConcatenatePath(L"Software", L"KORVEL-AB"), L"Software\\KORVEL-AB");
    EXPECT_EQ(sys::reg::ConcatenatePath(L"Software\\", L"\\KORVEL-AB"), L"Software\\KORVEL-AB");
}

} // namespace
