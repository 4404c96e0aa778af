#include "vitascan/blocks/FilesystemBlock.h"

#include "platform/str_convert.h"
#include "platform/unique_handle.h"
#include "tests/TestFiles.h"
#include "tests/vitascan/blocks/BlockFixtures.h"
#include "vitascan/Markup.h"

#include <fcntl.h>
#include <io.h>

#include <gtest/gtest.h>

namespace {

using block_fixtures::KnownFolder;
using testing_support::ScratchFolder;
using testing_support::Utc;
using vitascan::FilesystemBlock;
using vitascan::FolderNode;

const SYSTEMTIME kWritten = Utc(2026, 12, 4, 9, 5, 7);
const wchar_t kWrittenText[] = L"04/12/2026 9:05:07";

std::wstring OwnExecutable() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// A file element as the listing writes it: `indent` blanks, the attributes, then either the
// embedded content or none.
std::wstring Element(int indent, const std::wstring& escapedName, unsigned long long bytes,
                     const std::wstring& date, const std::wstring& extra = L"",
                     const std::wstring* content = nullptr) {
    std::wstring text = std::wstring(indent, L' ') + L"<file name=\"" + escapedName +
                        L"\" bytes=\"" + std::to_wstring(bytes) + L"\" size=\"" +
                        vitascan::FormatByteSize(bytes, 0) + L"\" datemodified=\"" + date + L"\"" +
                        extra;
    if (content == nullptr)
        return text + L"/>\n";
    return text + L">\n" + *content + std::wstring(indent, L' ') + L"</file>\n";
}

size_t Count(const std::wstring& text, const std::wstring& part) {
    size_t count = 0;
    for (size_t at = 0; (at = text.find(part, at)) != std::wstring::npos; ++at)
        ++count;
    return count;
}

class FilesystemBlockTest : public ::testing::Test {
protected:
    ScratchFolder programData{KnownFolder(FOLDERID_ProgramData) + L"\\Pallanto\\"};
};

// What the end-to-end report test does not show already: the content limit exactly, versions
// of programs only, unreadable and empty files, dates, names that cannot be written.
TEST_F(FilesystemBlockTest, FileElementsWithSizesDatesVersionsAndContent) {
    const std::string exact = std::string(511999, 'B') + "\n";
    const std::string over = std::string(256000, 'A') + "M" + std::string(256000, 'Z');
    const std::string program = testing_support::ReadBytes(OwnExecutable());
    programData.WriteFile(L"logs\\exact.log", exact, &kWritten);
    programData.WriteFile(L"logs\\over.log", over, &kWritten);
    programData.WriteFile(L"app.DLL", program, &kWritten);
    programData.WriteFile(L"tool.exe", program, &kWritten);
    programData.WriteFile(L"debug", "", &kWritten);
    programData.WriteFile(L"odd &'name \U0001F600.xml", "x<y&z", &kWritten);
    const SYSTEMTIME old = Utc(2001, 1, 2, 23, 59, 1);
    programData.WriteFile(L"data.bin", std::string(1536, '\0'), &old);
    const std::wstring locked = programData.WriteFile(L"locked.log", "secret", &kWritten);
    // A file of 2 GiB or more (sparse here) is cut to its head and tail like any other.
    {
        win::unique_file_handle huge(::CreateFileW(programData.WriteFile(L"huge.log", "h").c_str(),
                                                   GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                                   nullptr));
        FILETIME time{};
        DWORD written = 0;
        ASSERT_TRUE(
            ::SetFilePointerEx(huge.get(), LARGE_INTEGER{{0, 5}}, nullptr, FILE_BEGIN) &&
            ::SetEndOfFile(huge.get()) &&
            ::SetFilePointerEx(huge.get(), LARGE_INTEGER{{0xFFFFFFFC, 4}}, nullptr, FILE_BEGIN) &&
            ::WriteFile(huge.get(), "tail", 4, &written, nullptr) &&
            ::SystemTimeToFileTime(&kWritten, &time) &&
            ::SetFileTime(huge.get(), nullptr, nullptr, &time));
    }
    // A file held open without sharing cannot be read: its element has no content.
    win::unique_file_handle hold(
        ::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(hold);
    FolderNode tree;
    const std::wstring xml = FilesystemBlock(&tree).GetXml();
    hold.reset();

    // Files of C:\ProgramData\Pallanto (depth 3) at 7 blanks, of its logs folder at 8.
    const std::wstring exactText = str::as_wstring(exact);
    const std::wstring overText = std::wstring(256000, L'A') + FilesystemBlock::kTruncationBanner +
                                  std::wstring(256000, L'Z');
    const std::wstring none;
    const std::wstring oddText = L"x&lt;y&amp;z";
    const std::wstring hugeText = L"h" + FilesystemBlock::kTruncationBanner + L"tail";
    const std::vector<std::wstring> elements = {
        L"      <dir name=\"logs\">\r\n",
        Element(8, L"exact.log", 512000, kWrittenText, L"", &exactText),
        Element(8, L"over.log", 512001, kWrittenText, L"", &overText),
        Element(7, L"app.DLL", program.size(), kWrittenText),
        Element(7, L"tool.exe", program.size(), kWrittenText,
                L" version=\"" VITASCAN_EXPECTED_VERSION L"\""),
        Element(7, L"debug", 0, kWrittenText, L"", &none),
        Element(7, L"odd &amp;&apos;name .xml", 5, kWrittenText, L"", &oddText),
        Element(7, L"data.bin", 1536, L"02/01/2001 23:59:01"),
        Element(7, L"locked.log", 6, kWrittenText, L"", &none),
        Element(7, L"huge.log", 5ULL << 32, kWrittenText, L"", &hugeText)};
    for (const std::wstring& element : elements)
        EXPECT_EQ(Count(xml, element), 1u) << str::as_cstring(element.substr(0, 60));
    EXPECT_EQ(Count(xml, L"    <dir name=\"Pallanto\">\r\n"), 1u);
    // Leftovers of an interrupted end-to-end run (names Windows cannot delete) may sit beside
    // these files, so the count is of what the test made: the folder is no file.
    EXPECT_EQ(Count(xml, L"<file name=\"logs\""), 0u);
}

// The tree is built, then the disk changes, then the entries are written: the block writes
// the disk as it is then, for folders listed at once and for folders searched name by name,
// whether the block walks them itself (its own data folder) or an earlier block added them.
TEST_F(FilesystemBlockTest, EntriesShowTheDiskAsItIsWhenTheyAreWritten) {
    const std::wstring top = programData.path() + L"changing\\";
    // "many" is listed at once, "few" searched name by name.
    for (int i = 0; i < 12; ++i)
        programData.WriteFile(L"changing\\many\\m" + std::to_wstring(i) + L".bin", "x", &kWritten);
    for (const wchar_t* folder : {L"many\\", L"few\\"})
        for (const wchar_t* name : {L"kept.bin", L"gone.bin"})
            programData.WriteFile(std::wstring(L"changing\\") + folder + name, "x", &kWritten);
    // As an earlier block added it, and as the block's own folder, which it lists again.
    FolderNode earlier, tree;
    for (FolderNode* built : {&earlier, &tree})
        vitascan::AddFolder(*built, top, true);
    // A name the tree holds in another case than the disk is found, spelled as on disk.
    vitascan::AddFile(*vitascan::AddPath(earlier, top + L"many\\"), L"M12.BIN");
    programData.WriteFile(L"changing\\many\\m12.bin", "x", &kWritten);
    for (const wchar_t* folder : {L"many\\", L"few\\"}) {
        ASSERT_TRUE(::DeleteFileW((top + folder + L"gone.bin").c_str()));
        programData.WriteFile(L"changing\\" + std::wstring(folder) + L"kept.bin", "grown",
                              &kWritten);
        programData.WriteFile(std::wstring(L"changing\\") + folder + L"added.bin", "x", &kWritten);
    }
    const auto check = [](const std::wstring& xml, bool added) {
        EXPECT_EQ(Count(xml, L"<file name=\"gone.bin\""), 0u);
        EXPECT_EQ(Count(xml, L"<file name=\"m4.bin\" bytes=\"1\""), 1u);
        EXPECT_EQ(Count(xml, L"<file name=\"m12.bin\" bytes=\"1\""), 1u);
        EXPECT_EQ(Count(xml, L"<file name=\"kept.bin\" bytes=\"5\""), 2u);
        EXPECT_EQ(Count(xml, L"<file name=\"added.bin\""), added ? 2u : 0u);
    };
    check(FilesystemBlock::RenderFolder(earlier, L"  ", -1), false);
    check(FilesystemBlock(&tree).GetXml(), true);

    // Folders gone from the disk are left out with everything below them.
    FolderNode gone;
    vitascan::AddFolder(gone, L"Q:\\Nowhere\\deeper\\", true);
    EXPECT_EQ(FilesystemBlock::RenderFolder(gone, L"  ", -1), L"");
}

TEST(FilesystemBlock, ReadsCutTextAndReportsReadFailures) {
    testing_support::ScratchFolder scratch;
    const std::wstring eleven = scratch.WriteFile(L"eleven.txt", "0123456789A");
    EXPECT_EQ(FilesystemBlock::ReadFileText(eleven, 0, L"|"), L"");
    // Head and tail are decoded apart: a sequence split by the cut is not rejoined.
    const std::wstring split = scratch.WriteFile(L"split.txt", "ab\xc3\xa9\xc3\xa9yz");
    EXPECT_EQ(FilesystemBlock::ReadFileText(split, 6, L"|"), L"ab\xfffd|\xfffdyz");

    EXPECT_EQ(FilesystemBlock::ReadFileChunk(nullptr, 5), L"null file");
    win::unique_file_stream stream(::_wfopen(eleven.c_str(), L"rb"));
    ASSERT_TRUE(stream);
    EXPECT_EQ(FilesystemBlock::ReadFileChunk(stream.get(), 0), L"");
    EXPECT_EQ(FilesystemBlock::ReadFileChunk(stream.get(), 20), L"0123456789A");
    const std::wstring atEnd = FilesystemBlock::ReadFileChunk(stream.get(), 5);
    EXPECT_EQ(atEnd.rfind(L"*** EOF found\n: ", 0), 0u) << atEnd;
    EXPECT_EQ(atEnd.back(), L'\n');

    // A stream whose handle has no read access fails in the read itself.
    HANDLE writeOnly = ::CreateFileW((scratch.path() + L"w.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(writeOnly, INVALID_HANDLE_VALUE);
    win::unique_file_stream failing(
        ::_fdopen(::_open_osfhandle(reinterpret_cast<intptr_t>(writeOnly), _O_RDONLY), "rb"));
    ASSERT_TRUE(failing);
    const std::wstring failed = FilesystemBlock::ReadFileChunk(failing.get(), 5);
    EXPECT_EQ(failed.rfind(L"*** A read error occurred\n: ", 0), 0u) << failed;
    EXPECT_GT(failed.size(), 30u);
}

TEST(FilesystemBlock, LogsInUtf16OrTheAnsiCodePageAndCutsOnWholeCharacters) {
    ScratchFolder scratch;
    const auto text = [&](const wchar_t* name, std::string_view bytes, int limit = 100) {
        return FilesystemBlock::ReadFileText(scratch.WriteFile(name, bytes), limit, L"|");
    };
    using namespace std::string_literals;
    // A byte-order mark names the encoding and is no part of the text.
    EXPECT_EQ(text(L"le.log", "\xff\xfeh\0i\0\xe9\0\x3d\xd8\x00\xde"s), L"hi\u00e9\U0001F600");
    EXPECT_EQ(text(L"be.log", "\xfe\xff\0h\0i\x20\xac"s), L"hi\u20ac");
    EXPECT_EQ(text(L"mark8.log", "\xef\xbb\xbf"
                                 "caf\xc3\xa9"),
              L"caf\u00e9");
    // Not UTF-8: the ANSI code page (1252 here); UTF-8 without a mark as before.
    EXPECT_EQ(text(L"ansi.log", "caf\xe9 \x80 \xc3"), L"caf\u00e9 \u20ac \u00c3");
    // A whole file has no cut: a first byte that would continue a UTF-8 sequence is ANSI.
    EXPECT_EQ(text(L"first.log", "\x80"
                                 "abc"),
              L"\u20acabc");
    EXPECT_EQ(text(L"utf8.log", "caf\xc3\xa9 \xe2\x82\xac"), L"caf\u00e9 \u20ac");
    // Nor does it end in one: a last byte that would start a sequence is ANSI too.
    EXPECT_EQ(text(L"last.log", "abc\xc3"), L"abc\u00c3");

    // UTF-16 cut: the head and the tail are whole code units counted from the mark, and half
    // a pair at a cut is dropped. x, U+1F600, y, U+1F600:
    const std::string pairs = "\xff\xfex\0\x3d\xd8\x00\xdey\0\x3d\xd8\x00\xde"s;
    EXPECT_EQ(text(L"cut8.log", pairs, 8), L"x|\U0001F600");
    EXPECT_EQ(text(L"cut6.log", pairs, 6), L"x|");
    // An odd length: the tail starts one byte later, on a code unit.
    EXPECT_EQ(text(L"odd.log",
                   "\xff\xfe"
                   "a\0b\0c\0d\0e\0!"s,
                   8),
              L"ab|e");
}

TEST(FilesystemBlock, AFileIsLookedAtOnceWhenItsEntryIsWritten) {
    ScratchFolder scratch;
    const auto found = [&](const std::wstring& name, std::string_view bytes) {
        WIN32_FIND_DATAW record{};
        win::unique_find_handle search(
            ::FindFirstFileW(scratch.WriteFile(name, bytes, &kWritten).c_str(), &record));
        EXPECT_TRUE(search);
        return record;
    };
    // A log rewritten since it was found: size and text from the same look.
    WIN32_FIND_DATAW grown = found(L"grown.log", "old");
    scratch.WriteFile(L"grown.log", "new and longer", &kWritten);
    const std::wstring newText = L"new and longer";
    EXPECT_EQ(FilesystemBlock::FormatFileEntry(scratch.path(), L"grown.log", grown, L"", 2),
              Element(2, L"grown.log", 14, kWrittenText, L"", &newText));
    // A log or a program gone since it was found is left out.
    for (const wchar_t* name : {L"gone.log", L"gone.exe"}) {
        const WIN32_FIND_DATAW gone = found(name, "x");
        ASSERT_TRUE(::DeleteFileW((scratch.path() + name).c_str()));
        EXPECT_EQ(FilesystemBlock::FormatFileEntry(scratch.path(), name, gone, L"", 2), L"");
    }
}

} // namespace
