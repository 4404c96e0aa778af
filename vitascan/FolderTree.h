// The folders and files that blocks mark for the filesystem listing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <windows.h>

namespace vitascan {

// Why the listing did not go into a folder that it lists.
enum class FolderStop : std::uint8_t {
    None,
    Link,  // a junction, symbolic link or mount point: listed as what it is, never followed
    Loop,  // the same folder (volume and file id) as one on its own path
    Depth, // kMaxListingDepth folders below the folder asked for
    Error, // the system refused to list it, or its path is too long
};

// How many folders deep a recursive listing goes below the folder asked for.
constexpr int kMaxListingDepth = 64;

struct FolderNode {
    // One path component; "" for the root.
    std::wstring name;
    // Full path, ending with a backslash; "" for the root.
    std::wstring path;
    // Subfolders in the order they were added.
    std::vector<std::unique_ptr<FolderNode>> children;
    // File names in the order they were added; no two equal ignoring ASCII case.
    std::vector<std::wstring> files;
    // Set when the listing stopped at this folder; `reason` then holds the kind of link
    // (FolderStop::Link) or the system's message (FolderStop::Error).
    FolderStop stop = FolderStop::None;
    std::wstring reason;

    // Lookups beside the lists, so that a folder of many files is filled in linear time.
    // AddPath, AddFile and Clear keep them in step with the lists. Children are keyed by their
    // name with ASCII letters lower-cased; files by an open-addressing table of positions in
    // `files` (0 for a free slot, else position + 1), which keeps no second copy of a name.
    std::unordered_map<std::wstring, FolderNode*> childByKey;
    std::vector<std::uint32_t> fileSlots;
};

// The node `path` leads to below `node`, created as needed. A component without a final
// backslash is a file name of its parent, which is then the node returned.
FolderNode* AddPath(FolderNode& node, std::wstring_view path);

// Adds the folder and the names of the files in it on disk; with `recursive`, every
// subfolder too, except links, folders already on their own path and folders past
// kMaxListingDepth, which are marked with the reason. A folder that cannot be listed stays in
// the tree with no files, marked with the system's message unless it does not exist.
void AddFolder(FolderNode& node, std::wstring_view path, bool recursive);

// Called with the node a file was added to and the file's entry as the listing gave it.
using FileListed = std::function<void(const FolderNode& folder, const WIN32_FIND_DATAW& entry)>;
// Called with a node once its listing has ended, its subfolders' listings included.
using FolderListed = std::function<void(const FolderNode& folder)>;
// The same, handing every file entry listed to `listed` and every folder listed to `done`: a
// caller that writes a folder's files the moment its listing ends need not list it again.
void AddFolder(FolderNode& node, std::wstring_view path, bool recursive, const FileListed& listed,
               const FolderListed& done = {});

// Appends `name` unless an entry equal to it ignoring ASCII case is there.
void AddFile(FolderNode& node, std::wstring_view name);

// Removes every child and file name; the node's own name and path stay.
void Clear(FolderNode& node);

// The kind of link a directory entry is ("junction", "mount point", "symbolic link" or
// "link"), or "" for a folder to enter. Wine shows a Unix symbolic link as a reparse point
// without a tag.
std::wstring LinkKind(const WIN32_FIND_DATAW& entry, const std::wstring& path);

// Equality ignoring the case of ASCII letters only, as the C runtime compares in its default
// locale.
bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b);

} // namespace vitascan
