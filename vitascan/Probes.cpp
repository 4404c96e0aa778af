#include "vitascan/Probes.h"

#include <windows.h>

#include <msi.h>

namespace vitascan {

std::uint32_t GetFileVersionText(const std::wstring& path, std::wstring& out) {
    out.clear();
    DWORD length = 0;
    UINT result = ::MsiGetFileVersionW(path.c_str(), nullptr, &length, nullptr, nullptr);
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA)
        return result;
    std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
    length = static_cast<DWORD>(buffer.size());
    result = ::MsiGetFileVersionW(path.c_str(), buffer.data(), &length, nullptr, nullptr);
    if (result == ERROR_SUCCESS)
        out.assign(buffer.c_str());
    return result;
}

std::optional<std::wstring> FileVersion(const std::wstring& path) {
    std::wstring version;
    if (GetFileVersionText(path, version) != 0)
        return std::nullopt;
    return version;
}

std::wstring ExecutableVersion() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return FileVersion(path).value_or(std::wstring());
}

std::wstring GetEnvironmentText(const std::wstring& name) {
    const DWORD size = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(name.c_str(), value.data(), size);
    if (length == 0 || length >= size)
        return {};
    value.resize(length);
    return value;
}

} // namespace vitascan
