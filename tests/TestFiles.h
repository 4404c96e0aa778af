// Fixtures of the machine tests: scratch folders and files, registry keys. Each owner removes
// what it made on destruction (and leftovers of an interrupted run on construction).
#pragma once

#include "platform/unique_handle.h"

#include <string>
#include <string_view>

#include <windows.h>

namespace testing_support {

// A new empty folder; its path ends with a backslash. `where` is a name hint for a folder
// under the temporary folder, or a full path ending with a backslash. The whole tree below it
// is removed on destruction.
class ScratchFolder {
public:
    explicit ScratchFolder(std::wstring_view where = L"vitascan");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& path() const { return path_; }
    // Creates `relative` (and its parents) as a folder; returns its path with a backslash.
    std::wstring MakeFolder(std::wstring_view relative) const;
    // Writes the bytes to `relative`, creating parent folders, and sets its last-write time
    // when given; returns the full path.
    std::wstring WriteFile(std::wstring_view relative, std::string_view bytes,
                           const SYSTEMTIME* modified = nullptr) const;

private:
    std::wstring path_;
};

// A registry key in one view (0, KEY_WOW64_32KEY or KEY_WOW64_64KEY), created empty and
// deleted with everything below it.
class ScopedKey {
public:
    ScopedKey(HKEY root, std::wstring path, REGSAM view = 0);
    ~ScopedKey();
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

    // A value of the key (`subkey` "") or of a subkey, created as needed; bytes as given.
    void SetRaw(const std::wstring& subkey, const std::wstring& name, DWORD type,
                std::string_view bytes) const;
    // A string value with its terminating NUL.
    void SetText(const std::wstring& subkey, const std::wstring& name, std::wstring_view text,
                 DWORD type = REG_SZ) const;
    void SetDword(const std::wstring& subkey, const std::wstring& name, DWORD value) const;

private:
    // The key or its subkey, created as needed.
    win::unique_hkey Create(const std::wstring& subkey) const;

    HKEY root_;
    std::wstring path_;
    REGSAM view_;
};

// Deletes a key and everything below it in one view; a missing key is fine.
void DeleteKeyTree(HKEY root, const std::wstring& path, REGSAM view);

// Deletes a file or a whole folder tree; missing paths are fine.
void RemoveTree(const std::wstring& path);

// The whole content of a file as bytes; empty when it cannot be read.
std::string ReadBytes(const std::wstring& path);

// A UTC time.
SYSTEMTIME Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second);

} // namespace testing_support
