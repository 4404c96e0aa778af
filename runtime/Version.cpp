#include "platform/kes_version.h"

#include <vector>

#include <windows.h>

#ifndef VITASCAN_BUILD_KIND
#define VITASCAN_BUILD_KIND 0
#endif

namespace kes::version {

namespace {

Number ReadOwnFileVersion() {
    Number number;
    wchar_t path[MAX_PATH + 1] = {};
    if (::GetModuleFileNameW(nullptr, path, MAX_PATH) == 0)
        return number;
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0)
        return number;
    std::vector<unsigned char> data(size);
    if (!::GetFileVersionInfoW(path, 0, size, data.data()))
        return number;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) ||
        info == nullptr || infoSize < sizeof(VS_FIXEDFILEINFO))
        return number;
    number.major = HIWORD(info->dwFileVersionMS);
    number.minor = LOWORD(info->dwFileVersionMS);
    number.build = HIWORD(info->dwFileVersionLS);
    number.revision = LOWORD(info->dwFileVersionLS);
    return number;
}

} // namespace

Record Current() {
    static const Number number = ReadOwnFileVersion();
    return Record{number, VITASCAN_BUILD_KIND};
}

std::wstring CmdLineBanner(const std::wstring& toolName) {
    return toolName + L" version " + str::as_wstring(Current().number);
}

} // namespace kes::version

namespace str {

std::wstring as_wstring(const kes::version::Number& number) {
    return std::to_wstring(number.major) + L"." + std::to_wstring(number.minor) + L"." +
           std::to_wstring(number.build) + L"." + std::to_wstring(number.revision);
}

} // namespace str
