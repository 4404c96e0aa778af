#include "platform/sys_file.h"
#include "platform/sys_reg.h"

#include "tests/TestFiles.h"

#include <vector>

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

TEST(Files, LongPathsInTheirLongFormOnly) {
    const std::wstring name(245, L'n');
    EXPECT_EQ(sys::file::LongPath(L"C:\\short\\"), L"C:\\short\\");
    // Up to 247 characters as they are, from 248 on (MAX_PATH - 12) in the long form.
    EXPECT_EQ(sys::file::LongPath(L"C:\\" + name.substr(1)), L"C:\\" + name.substr(1));
    EXPECT_EQ(sys::file::LongPath(L"C:\\" + name), L"\\\\?\\C:\\" + name);
    EXPECT_EQ(sys::file::LongPath(L"\\\\server\\" + name), L"\\\\?\\UNC\\server\\" + name);
    EXPECT_EQ(sys::file::LongPath(L"\\\\?\\C:\\" + name), L"\\\\?\\C:\\" + name);
    EXPECT_EQ(sys::file::LongPath(L"relative\\" + name), L"relative\\" + name);

    // A folder whose path passes MAX_PATH, made and removed level by level in the long form.
    testing_support::ScratchFolder folder;
    std::vector<std::wstring> levels{folder.path()};
    while (levels.back().size() < 300) {
        levels.push_back(levels.back() + std::wstring(40, L'a') + L"\\");
        ASSERT_TRUE(::CreateDirectoryW(sys::file::LongPath(levels.back()).c_str(), nullptr));
    }
    EXPECT_TRUE(sys::file::IsDirectory(levels.back()));
    EXPECT_TRUE(sys::file::Exists(levels.back()));
    while (levels.size() > 1) {
        ::RemoveDirectoryW(sys::file::LongPath(levels.back()).c_str());
        levels.pop_back();
    }
}

TEST(RegistryPaths, JoinWithOneBackslash) {
    EXPECT_EQ(sys::reg::ConcatenatePath(L"Software", L"KORVEL-AB"), L"Software\\KORVEL-AB");
    EXPECT_EQ(sys::reg::ConcatenatePath(L"Software\\", L"\\KORVEL-AB"), L"Software\\KORVEL-AB");
}

} // namespace
