#include "vitascan/TextFile.h"

#include "platform/gtl_status.h"
#include "platform/str_convert.h"
#include "platform/unique_handle.h"

#include <cwchar>

namespace textfile {

namespace {

// Closing the stream on a failure path must not overwrite the error the caller reports.
int FailKeepingLastError(win::unique_file_stream& file) {
    const DWORD error = ::GetLastError();
    file.reset();
    ::SetLastError(error);
    return 0;
}

} // namespace

int SaveTextFile(const std::wstring& path, const std::wstring& text) {
    win::unique_file_stream file(::_wfopen(path.c_str(), L"wt"));
    if (!file)
        return 0;
    // fputws stops silently at the first character it cannot narrow, so each chunk is
    // cleaned before it is written.
    constexpr size_t kChunk = size_t{64} * 1024;
    std::wstring chunk;
    chunk.reserve(kChunk);
    for (size_t start = 0; start < text.size(); start += kChunk) {
        chunk.assign(text, start, kChunk);
        for (wchar_t& c : chunk)
            if (static_cast<char16_t>(c) > 0xFF || c == L'\0')
                c = L'?';
        if (std::fputws(chunk.c_str(), file.get()) == WEOF)
            return FailKeepingLastError(file);
    }
    if (std::ferror(file.get()))
        return FailKeepingLastError(file);
    // A failed flush on close (a full disk) loses data too.
    return std::fclose(file.release()) == 0 ? 1 : 0;
}

std::optional<std::wstring> Save(const std::wstring& path, const std::wstring& text) {
    if (SaveTextFile(path, text))
        return std::nullopt;
    return str::as_wstring(KESErrMsg(::GetLastError()).value_or(std::string()));
}

} // namespace textfile
