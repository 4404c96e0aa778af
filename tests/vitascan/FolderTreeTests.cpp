#include "vitascan/FolderTree.h"

#include "tests/TestFiles.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using vitascan::AddFile;
using vitascan::AddFolder;
using vitascan::AddPath;
using vitascan::FolderNode;
using Names = std::vector<std::wstring>;

Names Sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AddPath, OneNodePerComponentMergedIgnoringAsciiCaseAndAFinalNameIsAFile) {
    FolderNode root;
    FolderNode* logs = AddPath(root, L"C:\\Data\\Logs\\");
    EXPECT_EQ(logs->name, L"Logs");
    EXPECT_EQ(logs->path, L"C:\\Data\\Logs\\");
    // Another case and extra leading backslashes: no new nodes, the first spelling stays.
    EXPECT_EQ(AddPath(root, L"\\\\c:\\DATA\\logs\\"), logs);
    ASSERT_EQ(root.children.size(), 1u);
    EXPECT_EQ(root.children[0]->children[0]->path, L"C:\\Data\\");
    // Only ASCII letters fold: É and é are different folders.
    AddPath(root, L"C:\\\u00c9t\u00e9\\");
    AddPath(root, L"C:\\\u00e9t\u00e9\\");
    EXPECT_EQ(root.children[0]->children.size(), 3u);

    FolderNode* data = AddPath(root, L"C:\\Data\\notes.txt");
    EXPECT_EQ(data, root.children[0]->children[0].get());
    EXPECT_EQ(data->files, Names{L"notes.txt"});
    EXPECT_EQ(AddPath(root, L"\\\\"), &root);
    EXPECT_EQ(root.files, Names{L"\\\\"});
}

TEST(AddFile, KeepsTheFirstSpellingAndTheOrderUntilCleared) {
    FolderNode node;
    node.name = L"kept";
    for (const wchar_t* name : {L"b.log", L"A.TXT", L"a.txt", L"B.LOG", L"\u00e9", L"\u00c9"})
        AddFile(node, name);
    AddPath(node, L"C:\\x\\");
    EXPECT_EQ(node.files, (Names{L"b.log", L"A.TXT", L"\u00e9", L"\u00c9"}));
    vitascan::Clear(node);
    EXPECT_TRUE(node.children.empty());
    EXPECT_EQ(node.name, L"kept");
    AddFile(node, L"B.log");
    EXPECT_EQ(node.files, Names{L"B.log"});
    EXPECT_EQ(AddPath(node, L"c:\\X\\")->path, L"c:\\X\\");
}

TEST(AddFolder, ListsFilesAndOnlyWhenRecursiveTheSubfolders) {
    testing_support::ScratchFolder scratch;
    scratch.WriteFile(L"top\\one.log", "1");
    scratch.WriteFile(L"top\\Two.txt", "22");
    scratch.WriteFile(L"top\\sub\\deep.xml", "333");
    scratch.WriteFile(L"top\\sub\\inner\\leaf.dll", "4444");
    const std::wstring top = scratch.path() + L"top\\";

    // The listener sees each file with the node it joined.
    FolderNode deep;
    Names seen;
    AddFolder(deep, top, true, [&](const FolderNode& folder, const WIN32_FIND_DATAW& entry) {
        seen.push_back(folder.path + entry.cFileName + L" " + std::to_wstring(entry.nFileSizeLow));
    });
    EXPECT_EQ(Sorted(seen), Sorted({top + L"Two.txt 2", top + L"one.log 1",
                                    top + L"sub\\deep.xml 3", top + L"sub\\inner\\leaf.dll 4"}));
    const FolderNode* sub = AddPath(deep, top + L"sub\\");
    EXPECT_EQ(sub->files, Names{L"deep.xml"});
    ASSERT_EQ(sub->children.size(), 1u);
    EXPECT_EQ(sub->children[0]->path, top + L"sub\\inner\\");

    // Without the final backslash "sub" is a file name beside the parent's files, which are
    // listed without their subfolders.
    FolderNode parent;
    AddFolder(parent, top + L"sub", false);
    EXPECT_EQ(Sorted(AddPath(parent, top)->files), (Names{L"Two.txt", L"one.log", L"sub"}));
    EXPECT_TRUE(AddPath(parent, top)->children.empty());
}

TEST(LinkKind, LinksAreNamedAndOtherReparsePointsEntered) {
    const auto kind = [](DWORD attributes, DWORD tag) {
        WIN32_FIND_DATAW entry{};
        entry.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY | attributes;
        entry.dwReserved0 = tag;
        return vitascan::LinkKind(entry, L"Q:\\nowhere\\");
    };
    EXPECT_EQ(kind(0, IO_REPARSE_TAG_SYMLINK), L""); // the tag counts only on a reparse point
    EXPECT_EQ(kind(FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_SYMLINK), L"symbolic link");
    EXPECT_EQ(kind(FILE_ATTRIBUTE_REPARSE_POINT, 0), L"symbolic link"); // Wine's Unix link
    // A junction whose target cannot be read is not taken for a volume's mount point.
    EXPECT_EQ(kind(FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_MOUNT_POINT), L"junction");
    EXPECT_EQ(kind(FILE_ATTRIBUTE_REPARSE_POINT, 0xA0000019), L"link"); // another name surrogate
    EXPECT_EQ(kind(FILE_ATTRIBUTE_REPARSE_POINT, 0x9000001A), L"");     // a cloud placeholder
}

TEST(Manifest, DeclaresLongPathAwareness) {
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr);
    const auto* text = static_cast<const char*>(::LockResource(::LoadResource(nullptr, found)));
    const std::string manifest(text, ::SizeofResource(nullptr, found));
    EXPECT_NE(manifest.find("<ws2:longPathAware>true</ws2:longPathAware>"), std::string::npos);
}

} // namespace
