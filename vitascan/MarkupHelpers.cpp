#include "vitascan/MarkupHelpers.h"

#include "platform/str_convert.h"
#include "platform/unique_handle.h"
#include "vitascan/RegistryKeys.h"

#include <msi.h>

namespace vitascan {

bool IsXmlChar(std::uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

namespace {

// Units written as they are: LF and 0x20..0x7F except the five markup characters.
bool IsPlain(wchar_t unit) {
    return unit == 0x0A || (unit >= 0x20 && unit <= 0x7F && unit != 0x22 && unit != 0x26 &&
                            unit != 0x27 && unit != 0x3C && unit != 0x3E);
}

void AppendEscapedUnit(std::wstring& out, wchar_t unit) {
    const std::uint32_t c = static_cast<char16_t>(unit);
    if (!IsXmlChar(c))
        return;
    switch (c) {
    case 0x22:
        out.append(L"&quot;", 6);
        return;
    case 0x26:
        out.append(L"&amp;", 5);
        return;
    case 0x27:
        out.append(L"&apos;", 6);
        return;
    case 0x3C:
        out.append(L"&lt;", 4);
        return;
    case 0x3E:
        out.append(L"&gt;", 4);
        return;
    }
    // "&#%03d;", built in place and appended at once.
    wchar_t text[10];
    wchar_t* end = text + 10;
    wchar_t* at = end;
    *--at = L';';
    int digits = 0;
    for (std::uint32_t v = c; v != 0 || digits < 3; v /= 10, ++digits)
        *--at = static_cast<wchar_t>(L'0' + v % 10);
    *--at = L'#';
    *--at = L'&';
    out.append(at, static_cast<size_t>(end - at));
}

} // namespace

void AppendXmlEscaped(std::wstring& out, std::wstring_view text) {
    // Plain runs are copied whole: embedded file content is mostly plain text.
    const wchar_t* unit = text.data();
    const wchar_t* const end = unit + text.size();
    while (unit != end) {
        const wchar_t* const run = unit;
        while (unit != end && IsPlain(*unit))
            ++unit;
        out.append(run, static_cast<size_t>(unit - run));
        if (unit != end)
            AppendEscapedUnit(out, *unit++);
    }
}

void AppendAttribute(std::wstring& out, std::wstring_view name, std::wstring_view value) {
    out += L' ';
    out += name;
    out += L"=\"";
    AppendXmlEscaped(out, value);
    out += L'"';
}

void AppendUnescapedAttribute(std::wstring& out, std::wstring_view name, std::wstring_view value) {
    out += L' ';
    out += name;
    out += L"=\"";
    out += value;
    out += L'"';
}

std::wstring XmlEscape(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    AppendXmlEscaped(out, text);
    return out;
}

std::wstring FormatByteSize(std::uint64_t bytes, std::uint64_t roundTo) {
    if (roundTo != 0 && bytes % roundTo != 0) {
        const std::uint64_t lower = bytes - bytes % roundTo;
        // An upper multiple past the 64-bit range cannot be taken.
        if (lower <= UINT64_MAX - roundTo) {
            const std::uint64_t upper = lower + roundTo;
            bytes = (upper - bytes < bytes - lower) ? upper : lower;
        } else {
            bytes = lower;
        }
    }
    const double kilobytes = static_cast<double>(bytes) * 0.0009765625;
    const double megabytes = kilobytes * 0.0009765625;
    const double gigabytes = megabytes * 0.0009765625;
    const double terabytes = gigabytes * 0.0009765625;
    if (terabytes >= 0.8)
        return str::snprintf(L"%1.0f TB", terabytes);
    if (gigabytes >= 0.8)
        return str::snprintf(L"%1.0f GB", gigabytes);
    if (megabytes >= 0.8)
        return str::snprintf(L"%1.0f MB", megabytes);
    if (kilobytes >= 0.8)
        return str::snprintf(L"%1.0f KB", kilobytes);
    return str::snprintf(L"%d B", static_cast<int>(bytes));
}

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

bool ReadRegistryString(HKEY rootKey, const std::wstring& subKey, const std::wstring& valueName,
                        std::wstring& out) {
    const win::unique_hkey key = reg::OpenForReading(rootKey, subKey);
    if (!key)
        return false;
    std::vector<BYTE> data(128, 0);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    LSTATUS result =
        ::RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, data.data(), &size);
    if (result == ERROR_MORE_DATA) {
        data.assign(size, 0);
        result =
            ::RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, data.data(), &size);
    }
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    if (size <= 1) {
        out.clear();
        return true;
    }
    // The stored text need not end with a NUL: never read past what the query reported.
    const size_t units = std::min<size_t>(size, data.size()) / sizeof(wchar_t);
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), units);
    out = text.substr(0, text.find(L'\0'));
    return true;
}

bool EndsWith(std::wstring_view text, std::wstring_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

void SplitText(std::vector<std::wstring>& out, std::wstring_view text,
               std::wstring_view separators) {
    out = str::split(text, separators);
}

} // namespace vitascan
