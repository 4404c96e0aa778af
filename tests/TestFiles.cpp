#include "tests/TestFiles.h"

#include "platform/unique_handle.h"

#include <atomic>

namespace testing_support {

void MakeFolders(const std::wstring& path) {
    // Create each level in turn; existing levels are fine.
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        ::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    ::CreateDirectoryW(path.c_str(), nullptr);
}

ScratchFolder::ScratchFolder(std::wstring_view hint) {
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + std::wstring(hint) + L"-" +
            std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(counter++) + L"\\";
    RemoveTree(path_.substr(0, path_.size() - 1));
    MakeFolders(path_.substr(0, path_.size() - 1));
}

ScratchFolder::~ScratchFolder() {
    RemoveTree(path_.substr(0, path_.size() - 1));
}

std::wstring ScratchFolder::MakeFolder(std::wstring_view relative) const {
    std::wstring full = path_ + std::wstring(relative);
    if (!full.empty() && full.back() == L'\\')
        full.pop_back();
    MakeFolders(full);
    return full + L"\\";
}

std::wstring ScratchFolder::WriteFile(std::wstring_view relative, std::string_view bytes) const {
    const std::wstring full = path_ + std::wstring(relative);
    const size_t slash = full.rfind(L'\\');
    MakeFolders(full.substr(0, slash));
    win::unique_file_handle file(::CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file)
        ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return full;
}

void RemoveTree(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW entry{};
    {
        win::unique_find_handle search(::FindFirstFileW((path + L"\\*").c_str(), &entry));
        if (search) {
            do {
                const std::wstring name = entry.cFileName;
                if (name != L"." && name != L"..")
                    RemoveTree(path + L"\\" + name);
            } while (::FindNextFileW(search.get(), &entry));
        }
    }
    ::RemoveDirectoryW(path.c_str());
}

std::string ReadBytes(const std::wstring& path) {
    win::unique_file_handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return {};
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    return bytes;
}

} // namespace testing_support
