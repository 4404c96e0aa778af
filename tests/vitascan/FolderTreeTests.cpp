#include "vitascan/FolderTree.h"

#include "tests/TestFiles.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using vitascan::AddFile;
using vitascan::AddFolder;
using vitascan::AddPath;
using vitascan::FolderNode;

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AddPath, BuildsOneNodePerComponentAndMergesIgnoringAsciiCase) {
    FolderNode root;
    FolderNode* logs = AddPath(root, L"C:\\Data\\Logs\\");
    EXPECT_EQ(logs->name, L"Logs");
    EXPECT_EQ(logs->path, L"C:\\Data\\Logs\\");

    // Same folders in another case and with extra leading backslashes: no new nodes, the
    // first spelling stays.
    EXPECT_EQ(AddPath(root, L"\\\\c:\\DATA\\logs\\"), logs);
    ASSERT_EQ(root.children.size(), 1u);
    EXPECT_EQ(root.children[0]->name, L"C:");
    ASSERT_EQ(root.children[0]->children.size(), 1u);
    EXPECT_EQ(root.children[0]->children[0]->path, L"C:\\Data\\");

    // Only ASCII letters fold: É and é are different folders.
    AddPath(root, L"C:\\\u00c9t\u00e9\\");
    AddPath(root, L"C:\\\u00e9t\u00e9\\");
    EXPECT_EQ(root.children[0]->children.size(), 3u);
}

TEST(AddPath, TextAfterTheLastBackslashIsAFileOfTheParent) {
    FolderNode root;
    FolderNode* data = AddPath(root, L"C:\\Data\\Logs");
    EXPECT_EQ(data->path, L"C:\\Data\\");
    EXPECT_EQ(data->files, (std::vector<std::wstring>{L"Logs"}));
    EXPECT_TRUE(data->children.empty());

    // A bare name, or only backslashes, stays with the node it was given to.
    EXPECT_EQ(AddPath(root, L"readme.txt"), &root);
    EXPECT_EQ(AddPath(root, L"\\\\"), &root);
    EXPECT_EQ(root.files, (std::vector<std::wstring>{L"readme.txt", L"\\\\"}));
}

TEST(AddFile, KeepsTheFirstSpellingAndTheOrder) {
    FolderNode node;
    for (const wchar_t* name : {L"b.log", L"A.TXT", L"a.txt", L"B.LOG", L"c", L"\u00e9", L"\u00c9"})
        AddFile(node, name);
    EXPECT_EQ(node.files,
              (std::vector<std::wstring>{L"b.log", L"A.TXT", L"c", L"\u00e9", L"\u00c9"}));
}

TEST(Clear, EmptiesTheNodeSoThatNamesCanComeBack) {
    FolderNode root;
    root.name = L"kept";
    AddPath(root, L"C:\\x\\");
    AddFile(root, L"f");
    vitascan::Clear(root);
    EXPECT_TRUE(root.children.empty());
    EXPECT_TRUE(root.files.empty());
    EXPECT_EQ(root.name, L"kept");
    AddFile(root, L"F");
    EXPECT_EQ(root.files, (std::vector<std::wstring>{L"F"}));
    EXPECT_EQ(AddPath(root, L"c:\\X\\")->path, L"c:\\X\\");
}

class AddFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        scratch.WriteFile(L"top\\one.log", "1");
        scratch.WriteFile(L"top\\Two.txt", "22");
        scratch.WriteFile(L"top\\sub\\deep.xml", "333");
        scratch.WriteFile(L"top\\sub\\inner\\leaf.dll", "4444");
    }
    testing_support::ScratchFolder scratch;
};

TEST_F(AddFolderTest, ListsFilesAndOnlyWhenRecursiveTheSubfolders) {
    FolderNode flat;
    AddFolder(flat, scratch.path() + L"top\\", false);
    const FolderNode* top = AddPath(flat, scratch.path() + L"top\\");
    EXPECT_EQ(Sorted(top->files), (std::vector<std::wstring>{L"Two.txt", L"one.log"}));
    EXPECT_TRUE(top->children.empty());

    FolderNode deep;
    AddFolder(deep, scratch.path() + L"top\\", true);
    const FolderNode* sub = AddPath(deep, scratch.path() + L"top\\sub\\");
    EXPECT_EQ(sub->files, (std::vector<std::wstring>{L"deep.xml"}));
    ASSERT_EQ(sub->children.size(), 1u);
    EXPECT_EQ(sub->children[0]->files, (std::vector<std::wstring>{L"leaf.dll"}));
    EXPECT_EQ(sub->children[0]->path, scratch.path() + L"top\\sub\\inner\\");

    // Adding again merges: no duplicate files or folders.
    AddFolder(deep, scratch.path() + L"TOP\\", true);
    EXPECT_EQ(AddPath(deep, scratch.path() + L"top\\")->files.size(), 2u);
    EXPECT_EQ(AddPath(deep, scratch.path() + L"top\\")->children.size(), 1u);
}

TEST_F(AddFolderTest, PathWithoutFinalBackslashListsItsParent) {
    FolderNode root;
    AddFolder(root, scratch.path() + L"top\\sub", false);
    const FolderNode* top = AddPath(root, scratch.path() + L"top\\");
    // "sub" is taken for a file name; the parent's files are listed beside it.
    EXPECT_EQ(Sorted(top->files), (std::vector<std::wstring>{L"Two.txt", L"one.log", L"sub"}));
    EXPECT_TRUE(top->children.empty());
}

TEST_F(AddFolderTest, FolderThatCannotBeListedStaysWithoutFiles) {
    FolderNode root;
    AddFolder(root, scratch.path() + L"gone\\away\\", true);
    const FolderNode* away = AddPath(root, scratch.path() + L"gone\\away\\");
    EXPECT_EQ(away->name, L"away");
    EXPECT_TRUE(away->files.empty());
    EXPECT_TRUE(away->children.empty());
}

TEST_F(AddFolderTest, ListenerSeesEachFileWithTheNodeItJoined) {
    FolderNode root;
    std::vector<std::wstring> seen;
    AddFolder(root, scratch.path() + L"top\\", true,
              [&](const FolderNode& folder, const WIN32_FIND_DATAW& entry) {
                  seen.push_back(folder.path + entry.cFileName + L" " +
                                 std::to_wstring(entry.nFileSizeLow));
              });
    const std::wstring top = scratch.path() + L"top\\";
    EXPECT_EQ(Sorted(seen), Sorted({top + L"Two.txt 2", top + L"one.log 1",
                                    top + L"sub\\deep.xml 3", top + L"sub\\inner\\leaf.dll 4"}));
}

} // namespace
