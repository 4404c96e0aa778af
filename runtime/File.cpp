#include "platform/sys_file.h"

#include "platform/str_convert.h"
#include "platform/unique_handle.h"

#include <vector>

namespace sys::file {

std::wstring LongPath(const std::wstring& path) {
    if (path.size() < MAX_PATH - 12 || path.starts_with(L"\\\\?\\"))
        return path;
    if (path.size() > 2 && path[1] == L':' && path[2] == L'\\')
        return L"\\\\?\\" + path;
    if (path.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + path.substr(2);
    return path;
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(LongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

gtl::status SystemError(const std::wstring& what, DWORD code) {
    return gtl::status::error(what + L": " + KESErrText(code));
}

} // namespace

gtl::status GetKnownFolderPath(const KNOWNFOLDERID& folderId, std::wstring& path) {
    win::unique_cotaskmem_string text;
    const HRESULT hr = ::SHGetKnownFolderPath(folderId, 0, nullptr, text.put());
    if (FAILED(hr) || !text) {
        wchar_t guid[64] = {};
        ::StringFromGUID2(folderId, guid, 64);
        return SystemError(std::wstring(L"Cannot find the known folder ") + guid,
                           static_cast<DWORD>(hr));
    }
    path = text.get();
    return {};
}

gtl::status GetTempDirectory(std::wstring& path) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    DWORD length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length > buffer.size()) {
        buffer.resize(length + 1);
        length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    }
    if (length == 0 || length > buffer.size())
        return SystemError(L"Cannot find the temporary folder", ::GetLastError());
    path.assign(buffer.data(), length);
    return {};
}

} // namespace sys::file
