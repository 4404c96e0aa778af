// Fixtures of the block machine tests: registry keys and folders at the fixed places the
// blocks look at, created in the test Wine prefix and removed afterwards (leftovers of an
// interrupted run are removed first).
#pragma once

#include "vitascan/FolderTree.h"

#include <string>
#include <string_view>

#include <windows.h>

#include <shlobj.h>

namespace block_fixtures {

// A registry key in one view, deleted with everything below it on construction and on
// destruction.
class ScopedKey {
public:
    ScopedKey(HKEY root, std::wstring path, REGSAM view = 0);
    ~ScopedKey();
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

    // Sets a value of the key (`subkey` "") or of a subkey, created as needed; the bytes are
    // stored as given.
    void SetRaw(const std::wstring& subkey, const std::wstring& name, DWORD type,
                std::string_view bytes) const;
    // A string value with its terminating NUL.
    void SetText(const std::wstring& subkey, const std::wstring& name, std::wstring_view text,
                 DWORD type = REG_SZ) const;
    void SetDword(const std::wstring& subkey, const std::wstring& name, DWORD value) const;

private:
    HKEY root_;
    std::wstring path_;
    REGSAM view_;
};

// Deletes a key and everything below it in one view; a missing key is fine.
void DeleteKeyTree(HKEY root, const std::wstring& path, REGSAM view);

// A folder at a fixed place (its path ends with a backslash), removed with everything in it
// on construction and on destruction.
class ScopedFolder {
public:
    explicit ScopedFolder(std::wstring path);
    ~ScopedFolder();
    ScopedFolder(const ScopedFolder&) = delete;
    ScopedFolder& operator=(const ScopedFolder&) = delete;

    const std::wstring& path() const { return path_; }
    // Writes the bytes to `relative`, creating parent folders, and sets its last-write time;
    // returns the full path.
    std::wstring WriteFile(std::wstring_view relative, std::string_view bytes,
                           const SYSTEMTIME& modified) const;
    std::wstring MakeFolder(std::wstring_view relative) const;

private:
    std::wstring path_;
};

// A UTC time.
SYSTEMTIME Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second);

// The node of a folder path (ending with a backslash) in the tree, or null; adds nothing.
const vitascan::FolderNode* FindFolder(const vitascan::FolderNode& root, const std::wstring& path);

// The known folder's path (no final backslash).
std::wstring KnownFolder(const KNOWNFOLDERID& id);

} // namespace block_fixtures
