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

// "ERROR", "WARNING" or "INFO": a support engineer looks for the errors of a shared log first.
std::wstring LevelText(int level) {
    switch (level) {
    case kError:
        return L"ERROR";
    case kWarning:
        return L"WARNING";
    case kInfo:
        return L"INFO";
    default:
        return L"LEVEL " + std::to_wstring(level);
    }
}

// " [name] " for the categories that tell a reader something; one blank for general texts.
std::wstring CategoryText(int category) {
    switch (category) {
    case kGeneral:
        return L" ";
    case kConsole:
        return L" [console] ";
    case kRemoteCall:
        return L" [remote-call] ";
    case kReport:
        return L" [report] ";
    default:
        return L" [category " + std::to_wstring(category) + L"] ";
    }
}

} // namespace

void LogMacroHandler(int level, int category, const Location& where, const std::wstring& text) {
    std::wstring line = LevelText(level) + CategoryText(category) +
                        str::as_wstring(std::string(where.file ? where.file : "")) + L"(" +
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
