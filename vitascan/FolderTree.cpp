#include "vitascan/FolderTree.h"

#include "platform/unique_handle.h"

namespace vitascan {

namespace {

wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
}

std::wstring FoldKey(std::wstring_view name) {
    std::wstring key(name);
    for (wchar_t& c : key)
        c = AsciiLower(c);
    return key;
}

FolderNode* FindOrAddChild(FolderNode& node, std::wstring_view component) {
    std::wstring key = FoldKey(component);
    if (auto found = node.childByKey.find(key); found != node.childByKey.end())
        return found->second;
    auto child = std::make_unique<FolderNode>();
    child->name.assign(component);
    child->path = node.path;
    child->path.append(component).append(L"\\");
    FolderNode* added = child.get();
    node.children.push_back(std::move(child));
    node.childByKey.emplace(std::move(key), added);
    return added;
}

} // namespace

bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

FolderNode* AddPath(FolderNode& node, std::wstring_view path) {
    FolderNode* current = &node;
    for (;;) {
        const size_t start = path.find_first_not_of(L'\\');
        const size_t backslash = start == std::wstring_view::npos ? start : path.find(L'\\', start);
        if (backslash == std::wstring_view::npos) {
            AddFile(*current, path);
            return current;
        }
        current = FindOrAddChild(*current, path.substr(start, backslash - start));
        if (backslash + 1 == path.size())
            return current;
        path.remove_prefix(backslash + 1);
    }
}

namespace {

void ListFolder(FolderNode& node, std::wstring_view path, bool recursive,
                const FileListed* listed) {
    FolderNode* target = AddPath(node, path);
    const std::wstring pattern = target->path + L"\\*";
    WIN32_FIND_DATAW entry{};
    win::unique_find_handle search(::FindFirstFileW(pattern.c_str(), &entry));
    if (!search)
        return;
    do {
        const std::wstring_view name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            AddFile(*target, name);
            if (listed != nullptr)
                (*listed)(*target, entry);
        } else if (recursive) {
            ListFolder(*target, std::wstring(name) + L"\\", true, listed);
        }
    } while (::FindNextFileW(search.get(), &entry));
}

} // namespace

void AddFolder(FolderNode& node, std::wstring_view path, bool recursive) {
    ListFolder(node, path, recursive, nullptr);
}

void AddFolder(FolderNode& node, std::wstring_view path, bool recursive, const FileListed& listed) {
    ListFolder(node, path, recursive, &listed);
}

namespace {

// FNV-1a over the name with ASCII letters lower-cased.
std::uint64_t FoldedHash(std::wstring_view name) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const wchar_t c : name)
        hash = (hash ^ static_cast<std::uint16_t>(AsciiLower(c))) * 1099511628211ULL;
    return hash;
}

// The slot of `name` in the table: the one holding an equal name, or the free one where it
// goes.
std::uint32_t& FileSlot(FolderNode& node, std::wstring_view name) {
    const size_t mask = node.fileSlots.size() - 1;
    for (size_t i = FoldedHash(name) & mask;; i = (i + 1) & mask) {
        std::uint32_t& slot = node.fileSlots[i];
        if (slot == 0 || EqualsIgnoringAsciiCase(node.files[slot - 1], name))
            return slot;
    }
}

} // namespace

void AddFile(FolderNode& node, std::wstring_view name) {
    // At most half the slots in use, so that a search ends soon at a free one.
    if (2 * (node.files.size() + 1) > node.fileSlots.size()) {
        size_t size = 16; // a power of two: the hash is masked, not divided
        while (size < 4 * (node.files.size() + 1))
            size *= 2;
        node.fileSlots.assign(size, 0);
        for (size_t i = 0; i < node.files.size(); ++i)
            FileSlot(node, node.files[i]) = static_cast<std::uint32_t>(i + 1);
    }
    std::uint32_t& slot = FileSlot(node, name);
    if (slot != 0)
        return;
    node.files.emplace_back(name);
    slot = static_cast<std::uint32_t>(node.files.size());
}

void Clear(FolderNode& node) {
    node.children.clear();
    node.files.clear();
    node.childByKey.clear();
    node.fileSlots.clear();
}

} // namespace vitascan
