#include "vitascan/RegistryKeys.h"

#include "platform/sys_reg.h"

#include <algorithm>

namespace vitascan {

namespace reg {

namespace {

constexpr size_t kFirstValueSize = 1024;
constexpr size_t kFirstStringSize = 128;

} // namespace

win::unique_hkey OpenForReading(HKEY root, const std::wstring& subKey, REGSAM view) {
    LONG result = ERROR_SUCCESS;
    return OpenForReading(root, subKey, view, result);
}

win::unique_hkey OpenForReading(HKEY root, const std::wstring& subKey, REGSAM view, LONG& result) {
    HKEY opened = nullptr;
    result = ::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ | view, &opened);
    if (result != ERROR_SUCCESS)
        return {};
    return win::unique_hkey(opened);
}

std::vector<std::wstring> SubkeyNames(HKEY key) {
    std::vector<std::wstring> names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[kNameCapacity];
        DWORD nameLength = kNameCapacity;
        if (::RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            return names;
        names.emplace_back(name, std::min(nameLength, kNameCapacity));
    }
}

void ForEachValue(HKEY key, const std::function<void(const ValueData&)>& visit) {
    std::vector<BYTE> data(kFirstValueSize, 0);
    for (DWORD index = 0;; ++index) {
        wchar_t name[kNameCapacity];
        DWORD nameLength = kNameCapacity;
        DWORD type = REG_NONE;
        DWORD size = static_cast<DWORD>(data.size());
        LSTATUS result =
            ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data.data(), &size);
        if (result == ERROR_MORE_DATA) {
            // A name too long for its buffer fails again here and ends the walk.
            if (size > data.size())
                data.assign(size, 0);
            nameLength = kNameCapacity;
            size = static_cast<DWORD>(data.size());
            result =
                ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data.data(), &size);
        }
        if (result != ERROR_SUCCESS)
            return;
        visit({std::wstring_view(name, std::min(nameLength, kNameCapacity)), type, data, size});
    }
}

std::wstring DecodeString(const std::vector<BYTE>& data, DWORD size) {
    if (size <= 1)
        return {};
    // The stored text need not end with a NUL, and a shared buffer may hold the tail of a
    // longer earlier value: never read past what the query reported.
    const size_t units = std::min<size_t>(size, data.size()) / sizeof(wchar_t);
    const auto* text = reinterpret_cast<const wchar_t*>(data.data());
    return std::wstring(text, std::find(text, text + units, L'\0'));
}

std::optional<std::wstring> ReadString(HKEY key, const wchar_t* valueName) {
    std::vector<BYTE> data(kFirstStringSize, 0);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    LSTATUS result = ::RegQueryValueExW(key, valueName, nullptr, &type, data.data(), &size);
    if (result == ERROR_MORE_DATA) {
        data.assign(size, 0);
        result = ::RegQueryValueExW(key, valueName, nullptr, &type, data.data(), &size);
    }
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    return DecodeString(data, size);
}

std::wstring JoinKeyPath(const std::wstring& parent, const std::wstring& child) {
    return sys::reg::ConcatenatePath(parent, child);
}

} // namespace reg

bool ReadRegistryString(HKEY rootKey, const std::wstring& subKey, const std::wstring& valueName,
                        std::wstring& out) {
    const win::unique_hkey key = reg::OpenForReading(rootKey, subKey);
    if (!key)
        return false;
    std::optional<std::wstring> text = reg::ReadString(key.get(), valueName.c_str());
    if (!text)
        return false;
    out = std::move(*text);
    return true;
}

} // namespace vitascan
