// The installed products of the suite's maker: the entries of Windows' uninstall list whose
// help link names the maker, and the products described in the maker's own registry tree,
// both views. Their installation folders join the folder tree.
#pragma once

#include "vitascan/FolderTree.h"
#include "vitascan/IBlock.h"

#include <string>

#include <windows.h>

namespace vitascan {

class ProductsBlock : public IBlock {
public:
    // The tree belongs to the engine and outlives the block.
    explicit ProductsBlock(FolderNode* folderTree) : folderTree(folderTree) {}

    std::wstring GetDescription() override;
    std::wstring GetXml() override;

private:
    void AppendUninstallList(std::wstring& xml);
    // The products of every key below HKLM\`path` in the given registry view, depth first.
    void AppendMakerTree(std::wstring& xml, const std::wstring& path, REGSAM view);

    FolderNode* folderTree;
};

} // namespace vitascan
