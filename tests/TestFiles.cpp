#include "tests/TestFiles.h"

#include "platform/unique_handle.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace testing_support {

namespace {

void Check(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(what);
}

// Creates the folder and every missing parent (a full path, no final backslash).
void MakeFolders(const std::wstring& path) {
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
}

} // namespace

ScratchFolder::ScratchFolder(std::wstring_view where) : path_(where) {
    if (path_.find(L'\\') == std::wstring::npos) {
        static std::atomic<unsigned> counter{0};
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + path_ + L"-" + std::to_wstring(::GetCurrentProcessId()) +
                L"-" + std::to_wstring(counter++) + L"\\";
    }
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

std::wstring ScratchFolder::WriteFile(std::wstring_view relative, std::string_view bytes,
                                      const SYSTEMTIME* modified) const {
    const std::wstring full = path_ + std::wstring(relative);
    MakeFolders(full.substr(0, full.rfind(L'\\')));
    win::unique_file_handle file(::CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    Check(static_cast<bool>(file), "cannot create a fixture file");
    DWORD written = 0;
    Check(bytes.empty() || (::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                        &written, nullptr) &&
                            written == bytes.size()),
          "cannot write a fixture file");
    FILETIME time{};
    Check(modified == nullptr || (::SystemTimeToFileTime(modified, &time) &&
                                  ::SetFileTime(file.get(), nullptr, nullptr, &time)),
          "cannot date a fixture file");
    return full;
}

void DeleteKeyTree(HKEY root, const std::wstring& path, REGSAM view) {
    win::unique_hkey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, key.put()) == ERROR_SUCCESS)
        ::RegDeleteTreeW(key.get(), nullptr); // subkeys and values; the key itself is next
    ::RegDeleteKeyExW(root, path.c_str(), view, 0);
}

ScopedKey::ScopedKey(HKEY root, std::wstring path, REGSAM view)
    : root_(root), path_(std::move(path)), view_(view) {
    DeleteKeyTree(root_, path_, view_);
    Create(L"");
}

ScopedKey::~ScopedKey() {
    DeleteKeyTree(root_, path_, view_);
}

win::unique_hkey ScopedKey::Create(const std::wstring& subkey) const {
    const std::wstring full = subkey.empty() ? path_ : path_ + L"\\" + subkey;
    win::unique_hkey key;
    Check(::RegCreateKeyExW(root_, full.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr,
                            key.put(), nullptr) == ERROR_SUCCESS,
          "cannot create a fixture key");
    return key;
}

void ScopedKey::SetRaw(const std::wstring& subkey, const std::wstring& name, DWORD type,
                       std::string_view bytes) const {
    Check(::RegSetValueExW(Create(subkey).get(), name.c_str(), 0, type,
                           reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS,
          "cannot set a fixture value");
}

void ScopedKey::SetText(const std::wstring& subkey, const std::wstring& name,
                        std::wstring_view text, DWORD type) const {
    const std::wstring terminated = std::wstring(text) + L'\0';
    SetRaw(subkey, name, type,
           std::string_view(reinterpret_cast<const char*>(terminated.data()),
                            terminated.size() * sizeof(wchar_t)));
}

void ScopedKey::SetDword(const std::wstring& subkey, const std::wstring& name, DWORD value) const {
    SetRaw(subkey, name, REG_DWORD,
           std::string_view(reinterpret_cast<const char*>(&value), sizeof value));
}

void RemoveTree(const std::wstring& path) {
    // The platform's own calls: std::filesystem::remove_all loops for ever under Wine on
    // names that Windows cannot spell (leftovers of an interrupted end-to-end test).
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
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

SYSTEMTIME Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    return SYSTEMTIME{year, month, 0, day, hour, minute, second, 0};
}

} // namespace testing_support
