#include "platform/kes_diag.h"

#include "platform/str_convert.h"
#include "platform/unique_handle.h"

#include <vector>

namespace kes::diag {

namespace {

std::wstring LogFilePath() {
    const DWORD size = ::GetEnvironmentVariableW(L"KES_LOG_FILE", nullptr, 0);
    if (size == 0)
        return {};
    std::vector<wchar_t> buffer(size);
    const DWORD length = ::GetEnvironmentVariableW(L"KES_LOG_FILE", buffer.data(), size);
    if (length == 0 || length >= size)
        return {};
    return std::wstring(buffer.data(), length);
}

// Indexed by Level and by Category. A support engineer looks for the errors of a shared log
// first; general texts carry no category.
const wchar_t* const kLevelNames[] = {nullptr, L"INFO", L"WARNING", L"ERROR"};
const wchar_t* const kCategoryNames[] = {nullptr, L"console", L"remote-call", L"report"};

// The name of `value`, or `unnamed` and the number for a value with none (a null entry too).
template <std::size_t N>
std::wstring NameOf(int value, const wchar_t* const (&names)[N], const wchar_t* unnamed) {
    if (value > 0 && static_cast<std::size_t>(value) < N && names[value] != nullptr)
        return names[value];
    return unnamed + std::to_wstring(value);
}

} // namespace

void LogMacroHandler(int level, int category, const Location& where, const std::wstring& text) {
    std::wstring line = NameOf(level, kLevelNames, L"LEVEL ") + L" ";
    if (category != kGeneral)
        line += L"[" + NameOf(category, kCategoryNames, L"category ") + L"] ";
    line += str::as_wstring(std::string(where.file ? where.file : "")) + L"(" +
            std::to_wstring(where.line) + L"): " + text;
    if (line.back() != L'\n')
        line += L'\n';
    ::OutputDebugStringW(line.c_str());

    const std::wstring path = LogFilePath();
    if (path.empty())
        return;
    // Appends are atomic per write, so lines of several processes sharing one log do not
    // interleave inside a line.
    win::unique_file_handle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    const std::string bytes = str::encode_utf8(line);
    DWORD written = 0;
    ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace kes::diag
