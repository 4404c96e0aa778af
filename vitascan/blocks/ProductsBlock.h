// The installed products of the suite's maker: the entries of Windows' uninstall list whose
// help link names the maker, and the products described in the maker's own registry tree,
// both views. Their installation folders join the folder tree.
#pragma once

#include "vitascan/FolderTree.h"
#include "vitascan/IBlock.h"

#include <string>
#include <vector>

namespace vitascan {

class ProductsBlock : public IBlock {
public:
    // The tree belongs to the engine and outlives the block.
    explicit ProductsBlock(FolderNode* folderTree) : folderTree(folderTree) {}

    std::wstring GetDescription() override;
    std::wstring GetXml() override;

private:
    FolderNode* folderTree;
};

namespace products_block {

struct Product {
    enum class Source { UninstallList, MakerTree };
    Source source;
    std::wstring name;
    std::wstring version;
    // The uninstall entry's comments, or the maker's build label.
    std::wstring note;
    std::wstring location;
    // The uninstall entry's key name, or the maker's product code.
    std::wstring guid;
};

// The uninstall list's entries of the maker, then the maker's tree in the 32-bit view, then
// in the 64-bit view (each depth first, a key's own product before those below it).
std::vector<Product> ProbeProducts();

// "<products>\n", one "  <product .../>\n" line per product, "</products>\n".
std::wstring Render(const std::vector<Product>& products);

} // namespace products_block

} // namespace vitascan
