// Copies of selected registry keys: the maker's keys under the current user and the local
// machine (both views) and the BIOS description. Existing folders named by the maker's
// REG_SZ values join the folder tree.
#pragma once

#include "vitascan/FolderTree.h"
#include "vitascan/IBlock.h"

#include <string>

#include <windows.h>

namespace vitascan {

class RegistryBlock : public IBlock {
public:
    // The tree belongs to the engine and outlives the block.
    explicit RegistryBlock(FolderNode* folderTree) : folderTree(folderTree) {}

    std::wstring GetDescription() override;
    std::wstring GetXml() override;

    // The key named by `path` ("HKCR", "HKCU" or "HKLM", a backslash, the subkey) as nested
    // <key> and <value> elements. `view` is 0, KEY_WOW64_32KEY or KEY_WOW64_64KEY. With
    // `indent` -1 the key chain from the root is written around the content; otherwise
    // `indent` blanks precede every line of the content. A missing key gives "". With a
    // tree, existing folders named by REG_SZ values are added to it.
    static std::wstring DumpRegistryKey(const std::wstring& path, FolderNode* folderTree,
                                        REGSAM view, int indent);

private:
    FolderNode* folderTree;
};

} // namespace vitascan
