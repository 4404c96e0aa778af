// The folders and files of interest: every folder of the shared tree that exists, with one
// entry per file (size, date, version of programs and libraries) and the embedded text of
// logs, XML and text files, cut around the middle when large.
#pragma once

#include "vitascan/FolderTree.h"
#include "vitascan/IBlock.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace vitascan {

class FilesystemBlock : public IBlock {
public:
    // Files larger than this are embedded as their first and last half of it.
    static constexpr int kContentLimit = 512000;
    // Put between the head and the tail of a cut file.
    static const std::wstring kTruncationBanner;

    // The tree belongs to the engine and outlives the block.
    explicit FilesystemBlock(FolderNode* folderTree) : folderTree(folderTree) {}

    std::wstring GetDescription() override;
    // Adds the suite's data folders to the tree, then renders the whole tree.
    std::wstring GetXml() override;

    // The elements of the existing subfolders of `node`, then of its files. Every line starts
    // with `prefix`; `level` sets the indentation of the nesting (the root is rendered at -1).
    static std::wstring RenderFolder(const FolderNode& node, const std::wstring& prefix, int level);
    // One <file> element for the file `name` in `folderPath` (which ends in a backslash), as
    // `findData` describes it; a file with text gives its size and date as it is now. "" for a
    // file gone since.
    static std::wstring FormatFileEntry(const std::wstring& folderPath, const std::wstring& name,
                                        const WIN32_FIND_DATAW& findData,
                                        const std::wstring& prefix, int level);
    // The file's text (TextEncoding says how it is decoded); a file over `limit` bytes gives
    // its first and last limit / 2 bytes with `banner` between them. "" when it cannot be
    // opened or is empty.
    static std::wstring ReadFileText(const std::wstring& path, int limit,
                                     const std::wstring& banner);
    // The next `count` bytes of the stream decoded (UTF-8, else ANSI), or the text of what went
    // wrong.
    static std::wstring ReadFileChunk(FILE* file, int count);

private:
    FolderNode* folderTree;
};

namespace filesystem_block {

struct File {
    std::wstring name; // as the file system spells it
    std::uint64_t size;
    FILETIME lastWrite; // UTC
    // Programs and libraries (".dll", ".exe") whose version can be read.
    std::optional<std::wstring> version;
    // The text embedded for logs, XML and text files (HasContent); "" when unreadable.
    std::wstring content;
};

struct Folder {
    std::wstring name;
    FolderStop stop = FolderStop::None; // and its reason, as the folder tree holds them
    std::wstring reason;
    std::vector<Folder> folders; // the subfolders that exist, in tree order
    std::vector<File> files;     // the files that were found, in tree order
};

// How a file's text is stored: a byte-order mark names UTF-8 or UTF-16; without one the
// bytes are UTF-8 when they are valid UTF-8, else text in the ANSI code page.
enum class TextEncoding { Unmarked, Utf8, Utf16Le, Utf16Be };

// Where the bytes of a part lie in the file: right after a cut, right before one. A part
// after a cut may start with `context` bytes from before the cut, which are not text but
// tell where the first whole character starts.
struct Cuts {
    bool before = false;
    bool after = false;
    size_t context = 0;
};

// The text of the bytes. At a cut a character may be split: a UTF-8 sequence is decoded
// as it is, half a UTF-16 pair or half a double-byte character of the ANSI code page is
// dropped.
std::wstring DecodeText(std::string_view bytes, TextEncoding encoding, Cuts cuts);

// The next `count` bytes of the stream decoded, or the C runtime's text of what went wrong.
std::wstring ReadPart(FILE* file, long long count, TextEncoding encoding, Cuts cuts);

// The text of an open stream, from its start: whole when at most `limit` bytes follow the
// byte-order mark, else its first and last limit / 2 bytes with `banner` between them.
std::wstring ReadStreamText(FILE* file, int limit, const std::wstring& banner);

// Whether a file of this name embeds its text: names ending in ".xml", ".log", ".txt" or
// "debug", case-sensitively.
bool HasContent(std::wstring_view name);

// The facts of `node`'s existing subfolders, recursively, and of its files.
Folder ProbeFolder(const FolderNode& node);

// The elements of `folder`'s subfolders, then of its files, as RenderFolder writes them.
std::wstring Render(const Folder& folder, std::wstring_view prefix, int level);

} // namespace filesystem_block

} // namespace vitascan
