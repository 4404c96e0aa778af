#include "tests/vitascan/blocks/BlockFixtures.h"

#include "platform/sys_file.h"
#include "platform/unique_handle.h"
#include "tests/TestFiles.h"

#include <stdexcept>

namespace block_fixtures {

namespace {

void Check(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(what);
}

} // namespace

void DeleteKeyTree(HKEY root, const std::wstring& path, REGSAM view) {
    const size_t slash = path.rfind(L'\\');
    const std::wstring parentPath = slash == std::wstring::npos ? L"" : path.substr(0, slash);
    const std::wstring leaf = path.substr(slash == std::wstring::npos ? 0 : slash + 1);
    win::unique_hkey parent;
    if (::RegOpenKeyExW(root, parentPath.c_str(), 0, KEY_ALL_ACCESS | view, parent.put()) !=
        ERROR_SUCCESS)
        return;
    ::RegDeleteTreeW(parent.get(), leaf.c_str());
    ::RegDeleteKeyExW(parent.get(), leaf.c_str(), view, 0);
}

ScopedKey::ScopedKey(HKEY root, std::wstring path, REGSAM view)
    : root_(root), path_(std::move(path)), view_(view) {
    DeleteKeyTree(root_, path_, view_);
    win::unique_hkey key;
    Check(::RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr,
                            key.put(), nullptr) == ERROR_SUCCESS,
          "cannot create the fixture key");
}

ScopedKey::~ScopedKey() {
    DeleteKeyTree(root_, path_, view_);
}

void ScopedKey::SetRaw(const std::wstring& subkey, const std::wstring& name, DWORD type,
                       std::string_view bytes) const {
    const std::wstring full = subkey.empty() ? path_ : path_ + L"\\" + subkey;
    win::unique_hkey key;
    Check(::RegCreateKeyExW(root_, full.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr,
                            key.put(), nullptr) == ERROR_SUCCESS,
          "cannot create a fixture subkey");
    Check(::RegSetValueExW(key.get(), name.c_str(), 0, type,
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

ScopedFolder::ScopedFolder(std::wstring path) : path_(std::move(path)) {
    testing_support::RemoveTree(path_.substr(0, path_.size() - 1));
    testing_support::MakeFolders(path_.substr(0, path_.size() - 1));
}

ScopedFolder::~ScopedFolder() {
    testing_support::RemoveTree(path_.substr(0, path_.size() - 1));
}

std::wstring ScopedFolder::MakeFolder(std::wstring_view relative) const {
    std::wstring full = path_ + std::wstring(relative);
    if (full.back() == L'\\')
        full.pop_back();
    testing_support::MakeFolders(full);
    return full + L"\\";
}

std::wstring ScopedFolder::WriteFile(std::wstring_view relative, std::string_view bytes,
                                     const SYSTEMTIME& modified) const {
    const std::wstring full = path_ + std::wstring(relative);
    testing_support::MakeFolders(full.substr(0, full.rfind(L'\\')));
    win::unique_file_handle file(::CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    Check(static_cast<bool>(file), "cannot create a fixture file");
    DWORD written = 0;
    Check(bytes.empty() || (::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                        &written, nullptr) &&
                            written == bytes.size()),
          "cannot write a fixture file");
    FILETIME time{};
    Check(::SystemTimeToFileTime(&modified, &time) &&
              ::SetFileTime(file.get(), nullptr, nullptr, &time),
          "cannot date a fixture file");
    return full;
}

SYSTEMTIME Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME time{};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    return time;
}

const vitascan::FolderNode* FindFolder(const vitascan::FolderNode& root, const std::wstring& path) {
    const vitascan::FolderNode* node = &root;
    size_t start = 0;
    for (size_t slash; (slash = path.find(L'\\', start)) != std::wstring::npos; start = slash + 1) {
        const std::wstring name = path.substr(start, slash - start);
        const vitascan::FolderNode* next = nullptr;
        for (const auto& child : node->children)
            if (vitascan::EqualsIgnoringAsciiCase(child->name, name))
                next = child.get();
        if (next == nullptr)
            return nullptr;
        node = next;
    }
    return node;
}

std::wstring KnownFolder(const KNOWNFOLDERID& id) {
    std::wstring path;
    Check(sys::file::GetKnownFolderPath(id, path).ok(), "no known folder");
    return path;
}

} // namespace block_fixtures
