// Helpers of the block machine tests: the fixtures themselves are in tests/TestFiles.h.
#pragma once

#include "platform/sys_file.h"
#include "vitascan/FolderTree.h"

#include <string>

namespace block_fixtures {

// The node of a folder path (ending with a backslash) in the tree, or null; adds nothing.
inline const vitascan::FolderNode* FindFolder(const vitascan::FolderNode& root,
                                              const std::wstring& path) {
    const vitascan::FolderNode* node = &root;
    size_t start = 0;
    for (size_t slash; node && (slash = path.find(L'\\', start)) != std::wstring::npos;
         start = slash + 1) {
        const vitascan::FolderNode* parent = node;
        node = nullptr;
        for (const auto& child : parent->children)
            if (vitascan::EqualsIgnoringAsciiCase(child->name, path.substr(start, slash - start)))
                node = child.get();
    }
    return node;
}

// The folders of the tree, one per line: the path ("" for the root), then its files.
inline std::wstring Outline(const vitascan::FolderNode& node) {
    std::wstring text = node.path;
    for (const std::wstring& file : node.files)
        text += L" " + file;
    text += L"\n";
    for (const auto& child : node.children)
        text += Outline(*child);
    return text;
}

// The known folder's path (no final backslash).
inline std::wstring KnownFolder(const KNOWNFOLDERID& id) {
    std::wstring path;
    sys::file::GetKnownFolderPath(id, path);
    return path;
}

} // namespace block_fixtures
