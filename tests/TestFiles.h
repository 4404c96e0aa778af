// Scratch folders and files for the machine tests, removed when the owner goes away.
#pragma once

#include <string>
#include <string_view>

#include <windows.h>

namespace testing_support {

// A new empty folder under the temporary folder; its path ends with a backslash. The whole
// tree below it is removed on destruction.
class ScratchFolder {
public:
    explicit ScratchFolder(std::wstring_view hint = L"vitascan");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& path() const { return path_; }
    // Creates `relative` (and its parents) as a folder; returns its path with a backslash.
    std::wstring MakeFolder(std::wstring_view relative) const;
    // Writes the bytes to `relative`, creating parent folders; returns the full path.
    std::wstring WriteFile(std::wstring_view relative, std::string_view bytes) const;

private:
    std::wstring path_;
};

// Creates the folder and every missing parent (a full path, no final backslash).
void MakeFolders(const std::wstring& path);

// Deletes a file or a whole folder tree; missing paths are fine.
void RemoveTree(const std::wstring& path);

// The whole content of a file as bytes; empty when it cannot be read.
std::string ReadBytes(const std::wstring& path);

} // namespace testing_support
