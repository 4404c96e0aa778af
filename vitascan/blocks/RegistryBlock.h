// Copies of selected registry keys: the maker's keys under the current user and the local
// machine (both views) and the BIOS description. Existing folders named by the maker's
// REG_SZ values join the folder tree.
#pragma once

#include "vitascan/FolderTree.h"
#include "vitascan/IBlock.h"

#include <optional>
#include <string>
#include <vector>

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

namespace registry_block {

struct Value {
    std::wstring name; // "" for the key's unnamed default value
    DWORD type;
    // The text of a REG_SZ or REG_EXPAND_SZ value.
    std::wstring text;
    // The number of a REG_DWORD value; nothing when its data is empty.
    std::optional<DWORD> number;
    // A REG_SZ value that names an existing folder (only looked at when folders are wanted).
    bool namesFolder = false;
};

struct Key {
    std::wstring name;
    std::vector<Value> values; // in enumeration order
    std::vector<Key> subkeys;  // in enumeration order
    // The system's message when the key exists but could not be opened; "" otherwise.
    std::wstring error;
};

// The content of the key named by `path` in `view`, with every key below it; nothing when it
// does not exist, and only the error when it cannot be opened. With `lookForFolders`, REG_SZ values
// are checked for naming a folder.
std::optional<Key> ProbeKey(const std::wstring& path, REGSAM view, bool lookForFolders);

// The folders that the key's values and its subkeys' values name, in walk order (a key's
// values before its subkeys), each ending with a backslash.
std::vector<std::wstring> NamedFolders(const Key& key);

// The dump of `content` as DumpRegistryKey writes it for the key named by `path`.
std::wstring Render(const std::wstring& path, REGSAM view, const Key& content, int indent);

} // namespace registry_block

} // namespace vitascan
