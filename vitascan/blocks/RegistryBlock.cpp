#include "vitascan/blocks/RegistryBlock.h"

#include "platform/str_convert.h"
#include "platform/sys_file.h"
#include "platform/sys_reg.h"
#include "platform/unique_handle.h"
#include "vitascan/MarkupHelpers.h"
#include "vitascan/RegistryKeys.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace vitascan {

namespace {

constexpr size_t kFirstDataSize = 1024;

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

// The text of a string value: up to the first NUL, and never past the bytes this value
// returned (the buffer is reused and may hold the tail of a longer earlier value).
std::wstring StringData(const std::vector<BYTE>& data, DWORD size) {
    if (size == 1)
        return {};
    const size_t units = std::min<size_t>(size, data.size()) / sizeof(wchar_t);
    const auto* text = reinterpret_cast<const wchar_t*>(data.data());
    return std::wstring(text, std::find(text, text + units, L'\0'));
}

std::wstring DwordData(const std::vector<BYTE>& data, DWORD size) {
    if (size == 0)
        return {};
    DWORD value = 0;
    std::memcpy(&value, data.data(), std::min<size_t>({size, sizeof value, data.size()}));
    return str::snprintf(L"0x%08x (%u)", value, value);
}

void AppendKeyStart(std::wstring& xml, size_t indent, std::wstring_view name) {
    xml.append(indent, L' ');
    xml += L"  <key";
    AppendAttribute(xml, L"name", name);
    xml += L">\n";
}

void AppendValues(std::wstring& xml, HKEY key, FolderNode* folderTree, int indent) {
    std::vector<BYTE> data(kFirstDataSize, 0);
    for (DWORD index = 0;; ++index) {
        wchar_t name[reg::kNameCapacity];
        DWORD nameLength = reg::kNameCapacity;
        DWORD type = REG_NONE;
        DWORD size = static_cast<DWORD>(data.size());
        LSTATUS result =
            ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data.data(), &size);
        if (result == ERROR_MORE_DATA) {
            // The buffer only grows: later values reuse the larger one. A name too long for
            // its buffer fails again here and ends the walk.
            if (size > data.size())
                data.assign(size, 0);
            nameLength = reg::kNameCapacity;
            size = static_cast<DWORD>(data.size());
            result =
                ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data.data(), &size);
        }
        if (result != ERROR_SUCCESS)
            return;

        std::wstring text;
        if (type == REG_SZ || type == REG_EXPAND_SZ)
            text = StringData(data, size);
        else if (type == REG_DWORD)
            text = DwordData(data, size);

        const std::wstring_view valueName(name, std::min(nameLength, reg::kNameCapacity));
        if (!valueName.empty() && type != REG_NONE) {
            xml.append(static_cast<size_t>(indent), L' ');
            xml += L"  <value";
            AppendAttribute(xml, L"name", valueName);
            AppendAttribute(xml, L"type", TypeName(type));
            if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_DWORD)
                AppendAttribute(xml, L"value", text);
            xml += L"/>\n";
        }

        // The unnamed default value counts here too.
        if (folderTree != nullptr && type == REG_SZ && sys::file::IsDirectory(text))
            AddFolder(*folderTree, EndsWith(text, L"\\") ? text : text + L"\\", false);
    }
}

// The values and subkeys of the key, each line preceded by `indent` blanks.
void AppendKeyContent(std::wstring& xml, HKEY root, const std::wstring& subkey,
                      FolderNode* folderTree, REGSAM view, int indent) {
    const win::unique_hkey key = reg::OpenForReading(root, subkey, view);
    if (!key)
        return;
    AppendValues(xml, key.get(), folderTree, indent);
    reg::ForEachSubkeyName(key.get(), [&](const std::wstring& child) {
        AppendKeyStart(xml, static_cast<size_t>(indent), child);
        AppendKeyContent(xml, root, sys::reg::ConcatenatePath(subkey, child), folderTree, view,
                         indent + 2);
        xml.append(static_cast<size_t>(indent), L' ');
        xml += L"  </key>\n";
    });
}

} // namespace

std::wstring RegistryBlock::GetDescription() {
    return str::load_wstring(26548);
}

std::wstring RegistryBlock::DumpRegistryKey(const std::wstring& path, FolderNode* folderTree,
                                            REGSAM view, int indent) {
    HKEY root = ResolveRoot(path);
    if (root == nullptr)
        return {};
    const std::wstring subkey = SubkeyOf(path);
    std::wstring xml;
    if (indent >= 0) {
        AppendKeyContent(xml, root, subkey, folderTree, view, indent);
        return xml;
    }

    // A missing key leaves no trace, not even its chain of names.
    if (!reg::OpenForReading(root, subkey, view))
        return {};

    std::vector<std::wstring> components;
    SplitText(components, path, L"\\");
    // The 32-bit view of the machine's software lives under WOW6432Node: say so in the chain
    // of names, although the key opened is the one the view flag selects.
    if (components.size() >= 2 && EqualsIgnoringAsciiCase(components[0], L"HKLM") &&
        EqualsIgnoringAsciiCase(components[1], L"Software") && (view & KEY_WOW64_32KEY) != 0)
        components.insert(components.begin() + 2, L"WOW6432Node");

    for (size_t i = 0; i < components.size(); ++i)
        AppendKeyStart(xml, 2 * i, components[i]);
    AppendKeyContent(xml, root, subkey, folderTree, view, static_cast<int>(2 * components.size()));
    for (size_t i = components.size(); i-- > 0;) {
        xml.append(2 * i, L' ');
        xml += L"  </key>\n";
    }
    return xml;
}

std::wstring RegistryBlock::GetXml() {
    std::wstring xml = L"<registry>\n";
    xml += DumpRegistryKey(L"HKCU\\Software\\KORVEL-AB", folderTree, 0, -1);
    xml += DumpRegistryKey(L"HKLM\\Hardware\\Description\\System\\BIOS", nullptr, 0, -1);
    xml += DumpRegistryKey(L"HKLM\\Software\\KORVEL-AB", folderTree, KEY_WOW64_32KEY, -1);
    xml += DumpRegistryKey(L"HKLM\\Software\\KORVEL-AB", folderTree, KEY_WOW64_64KEY, -1);
    xml += L"</registry>\n";
    return xml;
}

} // namespace vitascan
