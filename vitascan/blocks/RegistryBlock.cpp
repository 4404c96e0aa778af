#include "vitascan/blocks/RegistryBlock.h"

#include "platform/gtl_status.h"
#include "platform/str_convert.h"
#include "platform/sys_file.h"
#include "vitascan/Markup.h"
#include "vitascan/RegistryKeys.h"
#include "vitascan/StringIds.h"
#include "vitascan/TextHelpers.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace vitascan {

namespace registry_block {

namespace {

// The root named by the first four characters of a key path, compared exactly.
HKEY ResolveRoot(const std::wstring& path) {
    const std::wstring_view prefix = std::wstring_view(path).substr(0, 4);
    if (prefix == L"HKCR")
        return HKEY_CLASSES_ROOT;
    if (prefix == L"HKCU")
        return HKEY_CURRENT_USER;
    if (prefix == L"HKLM")
        return HKEY_LOCAL_MACHINE;
    return nullptr;
}

std::wstring SubkeyOf(const std::wstring& path) {
    return path.size() > 5 ? path.substr(5) : std::wstring();
}

const wchar_t* TypeName(DWORD type) {
    switch (type) {
    case REG_SZ:
        return L"REG_SZ";
    case REG_EXPAND_SZ:
        return L"REG_EXPAND_SZ";
    case REG_BINARY:
        return L"REG_BINARY";
    case REG_DWORD:
        return L"REG_DWORD";
    case REG_DWORD_BIG_ENDIAN:
        return L"REG_DWORD_BIG_ENDIAN";
    case REG_LINK:
        return L"REG_LINK";
    case REG_RESOURCE_LIST:
        return L"REG_RESOURCE_LIST";
    case REG_QWORD:
        return L"REG_QWORD";
    default:
        return L""; // REG_MULTI_SZ among others
    }
}

Value ValueOf(const reg::ValueData& data, bool lookForFolders) {
    Value value{std::wstring(data.name), data.type, {}, {}};
    if (data.type == REG_SZ || data.type == REG_EXPAND_SZ) {
        value.text = reg::DecodeString(data.data, data.size);
        // Only plain strings name folders; an expandable one is not looked at.
        value.namesFolder =
            lookForFolders && data.type == REG_SZ && sys::file::IsDirectory(value.text);
    } else if (data.type == REG_DWORD && data.size > 0) {
        DWORD number = 0;
        std::memcpy(&number, data.data.data(),
                    std::min<size_t>({data.size, sizeof number, data.data.size()}));
        value.number = number;
    }
    return value;
}

void ProbeContent(Key& key, HKEY root, const std::wstring& subkey, REGSAM view, bool lookForFolders,
                  const win::unique_hkey& opened) {
    reg::ForEachValue(opened.get(), [&](const reg::ValueData& data) {
        key.values.push_back(ValueOf(data, lookForFolders));
    });
    for (std::wstring& name : reg::SubkeyNames(opened.get())) {
        const std::wstring path = reg::JoinKeyPath(subkey, name);
        Key& child = key.subkeys.emplace_back();
        child.name = std::move(name);
        // A subkey that cannot be opened says why; one gone since the enumeration is empty.
        LONG result = ERROR_SUCCESS;
        if (const win::unique_hkey childKey = reg::OpenForReading(root, path, view, result))
            ProbeContent(child, root, path, view, lookForFolders, childKey);
        else if (result != ERROR_FILE_NOT_FOUND)
            child.error = KESErrText(static_cast<DWORD>(result));
    }
}

void CollectFolders(const Key& key, std::vector<std::wstring>& folders) {
    for (const Value& value : key.values)
        if (value.namesFolder)
            folders.push_back(EndsWith(value.text, L"\\") ? value.text : value.text + L"\\");
    for (const Key& child : key.subkeys)
        CollectFolders(child, folders);
}

void WriteKeyStart(MarkupWriter& out, size_t indent, std::wstring_view name,
                   std::wstring_view error = {}) {
    out.Indent(indent + 2).Open(L"key").Attribute(L"name", name);
    if (!error.empty())
        out.Attribute(L"error", error);
    out.EndStartTag().EndLine();
}

void WriteContent(MarkupWriter& out, const Key& key, size_t indent) {
    for (const Value& value : key.values) {
        // The unnamed default value and REG_NONE values are never written.
        if (value.name.empty() || value.type == REG_NONE)
            continue;
        out.Indent(indent + 2)
            .Open(L"value")
            .Attribute(L"name", value.name)
            .Attribute(L"type", TypeName(value.type));
        if (value.type == REG_SZ || value.type == REG_EXPAND_SZ)
            out.Attribute(L"value", value.text);
        else if (value.type == REG_DWORD)
            out.Attribute(L"value",
                          value.number ? str::snprintf(L"0x%08x (%u)", *value.number, *value.number)
                                       : std::wstring());
        out.SelfClose().EndLine();
    }
    for (const Key& child : key.subkeys) {
        WriteKeyStart(out, indent, child.name, child.error);
        WriteContent(out, child, indent + 2);
        out.EndElementLine(indent + 2, L"key");
    }
}

} // namespace

std::optional<Key> ProbeKey(const std::wstring& path, REGSAM view, bool lookForFolders) {
    HKEY root = ResolveRoot(path);
    if (root == nullptr)
        return std::nullopt;
    const std::wstring subkey = SubkeyOf(path);
    LONG result = ERROR_SUCCESS;
    const win::unique_hkey opened = reg::OpenForReading(root, subkey, view, result);
    Key key;
    if (!opened) {
        if (result == ERROR_FILE_NOT_FOUND)
            return std::nullopt;
        key.error = KESErrText(static_cast<DWORD>(result));
        return key;
    }
    ProbeContent(key, root, subkey, view, lookForFolders, opened);
    return key;
}

std::vector<std::wstring> NamedFolders(const Key& key) {
    std::vector<std::wstring> folders;
    CollectFolders(key, folders);
    return folders;
}

std::wstring Render(const std::wstring& path, REGSAM view, const Key& content, int indent) {
    std::wstring xml;
    MarkupWriter out(xml, LineEnd::Lf);
    if (indent >= 0) {
        WriteContent(out, content, static_cast<size_t>(indent));
        return xml;
    }
    std::vector<std::wstring> chain;
    SplitText(chain, path, L"\\");
    // The 32-bit view of the machine's software lives under WOW6432Node: say so in the chain
    // of names, although the key opened is the one the view flag selects.
    if (chain.size() >= 2 && EqualsIgnoringAsciiCase(chain[0], L"HKLM") &&
        EqualsIgnoringAsciiCase(chain[1], L"Software") && (view & KEY_WOW64_32KEY) != 0)
        chain.insert(chain.begin() + 2, L"WOW6432Node");
    for (size_t i = 0; i < chain.size(); ++i)
        WriteKeyStart(out, 2 * i, chain[i], i + 1 == chain.size() ? content.error : L"");
    WriteContent(out, content, 2 * chain.size());
    for (size_t i = chain.size(); i-- > 0;)
        out.EndElementLine(2 * i + 2, L"key");
    return xml;
}

} // namespace registry_block

std::wstring RegistryBlock::GetDescription() {
    return str::load_wstring(IDS_REGISTRY_STEP);
}

std::wstring RegistryBlock::DumpRegistryKey(const std::wstring& path, FolderNode* folderTree,
                                            REGSAM view, int indent) {
    // A missing key leaves no trace, not even its chain of names.
    const std::optional<registry_block::Key> key =
        registry_block::ProbeKey(path, view, folderTree != nullptr);
    if (!key)
        return {};
    if (folderTree != nullptr)
        for (const std::wstring& folder : registry_block::NamedFolders(*key))
            AddFolder(*folderTree, folder, false);
    return registry_block::Render(path, view, *key, indent);
}

std::wstring RegistryBlock::GetXml() {
    std::wstring xml;
    MarkupWriter out(xml, LineEnd::Lf);
    out.StartElementLine(0, L"registry");
    xml += DumpRegistryKey(L"HKCU\\Software\\KORVEL-AB", folderTree, 0, -1);
    // The BIOS description names no folders of the maker.
    xml += DumpRegistryKey(L"HKLM\\Hardware\\Description\\System\\BIOS", nullptr, 0, -1);
    xml += DumpRegistryKey(L"HKLM\\Software\\KORVEL-AB", folderTree, KEY_WOW64_32KEY, -1);
    xml += DumpRegistryKey(L"HKLM\\Software\\KORVEL-AB", folderTree, KEY_WOW64_64KEY, -1);
    out.EndElementLine(0, L"registry");
    return xml;
}

} // namespace vitascan
