#include "vitascan/FolderTree.h"

#include "platform/gtl_status.h"
#include "platform/sys_file.h"
#include "platform/unique_handle.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include <winioctl.h>
#include <winternl.h>

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

// A folder as the file system knows it, whatever path leads there.
struct FolderIdentity {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
    bool operator==(const FolderIdentity&) const = default;
};

win::unique_file_handle OpenToLookAt(const std::wstring& path) {
    return win::unique_file_handle(
        ::CreateFileW(sys::file::LongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// A file system without file ids gives 0: no identity to compare.
std::optional<FolderIdentity> Identity(DWORD volume, std::uint64_t index) {
    if (index == 0)
        return std::nullopt;
    return FolderIdentity{volume, static_cast<DWORD>(index >> 32), static_cast<DWORD>(index)};
}

// The identity of a folder on the path that leads to the one asked for. Its volume is read
// from the system, which costs several times the open.
std::optional<FolderIdentity> IdentityOf(const std::wstring& path) {
    const win::unique_file_handle folder = OpenToLookAt(path);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!folder || !::GetFileInformationByHandle(folder.get(), &info))
        return std::nullopt;
    return Identity(info.dwVolumeSerialNumber,
                    (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}

// The identity of a subfolder the walk may enter: its file id, which is cheap to read, on the
// walk's volume. On Windows a walk never enters another volume: mount points are links, never
// followed. (Under Wine a Unix mount inside the drive is a plain folder; there the file id
// alone decides.)
std::optional<FolderIdentity> SubfolderIdentity(const std::wstring& path, DWORD volume) {
    const win::unique_file_handle folder = OpenToLookAt(path);
    FILE_INTERNAL_INFORMATION info{};
    IO_STATUS_BLOCK status{};
    if (!folder || !NT_SUCCESS(::NtQueryInformationFile(folder.get(), &status, &info, sizeof info,
                                                        FileInternalInformation)))
        return std::nullopt;
    return Identity(volume, static_cast<std::uint64_t>(info.IndexNumber.QuadPart));
}

// Whether the junction at `path` leads to a volume ("\\??\\Volume{...}"): a mount point.
bool TargetsVolume(const std::wstring& path) {
    const win::unique_file_handle link(::CreateFileW(
        sys::file::LongPath(path).c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    std::vector<BYTE> data(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD size = 0;
    if (!link || !::DeviceIoControl(link.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(),
                                    static_cast<DWORD>(data.size()), &size, nullptr))
        return false;
    // The mount point layout: tag, length, reserved, then the substitute name's offset and
    // length (bytes) into the path buffer that starts at byte 16.
    constexpr size_t kPathBuffer = 16;
    if (size < kPathBuffer)
        return false;
    WORD offset = 0;
    WORD length = 0;
    std::memcpy(&offset, data.data() + 8, sizeof offset);
    std::memcpy(&length, data.data() + 10, sizeof length);
    if (kPathBuffer + offset + length > size)
        return false;
    std::wstring target(length / sizeof(wchar_t), L'\0');
    std::memcpy(target.data(), data.data() + kPathBuffer + offset, length);
    return target.starts_with(L"\\??\\Volume{");
}

// The pattern that lists a folder: the path with "\\*", as always; a long path in its long
// form, which takes no doubled backslash.
std::wstring ListingPattern(const std::wstring& path) {
    const std::wstring longForm = sys::file::LongPath(path);
    return longForm.size() == path.size() ? path + L"\\*" : longForm + L"*";
}

bool NotThere(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_NOT_READY:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return true;
    default:
        return false;
    }
}

void Stop(FolderNode& node, FolderStop stop, std::wstring reason = {}) {
    node.stop = stop;
    node.reason = std::move(reason);
}

struct Walk {
    bool recursive;
    const FileListed* listed;
    const FolderListed* done;
    // The identities of the folders on the current path, the ancestors of the folder asked
    // for included (unknown ones left out).
    std::vector<FolderIdentity> path;
};

void ListFolder(FolderNode& target, Walk& walk, int depth) {
    WIN32_FIND_DATAW entry{};
    win::unique_find_handle search(::FindFirstFileW(ListingPattern(target.path).c_str(), &entry));
    if (!search) {
        // A folder that is not there (or cannot be, or is on a drive or share that is not)
        // is no error: the listing leaves it out, as it always has.
        const DWORD error = ::GetLastError();
        if (!NotThere(error))
            Stop(target, FolderStop::Error, KESErrText(error));
        return;
    }
    Stop(target, FolderStop::None);
    do {
        const std::wstring_view name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            AddFile(target, name);
            if (walk.listed != nullptr)
                (*walk.listed)(target, entry);
            continue;
        }
        if (!walk.recursive)
            continue;
        FolderNode& child = *FindOrAddChild(target, name);
        if (std::wstring link = LinkKind(entry, child.path); !link.empty()) {
            Stop(child, FolderStop::Link, std::move(link));
            continue;
        }
        if (depth >= kMaxListingDepth) {
            Stop(child, FolderStop::Depth);
            continue;
        }
        const std::optional<FolderIdentity> identity =
            walk.path.empty() ? IdentityOf(child.path)
                              : SubfolderIdentity(child.path, walk.path.back().volume);
        if (identity &&
            std::find(walk.path.begin(), walk.path.end(), *identity) != walk.path.end()) {
            Stop(child, FolderStop::Loop);
            continue;
        }
        if (identity)
            walk.path.push_back(*identity);
        ListFolder(child, walk, depth + 1);
        if (identity)
            walk.path.pop_back();
    } while (::FindNextFileW(search.get(), &entry));
    if (walk.done != nullptr && *walk.done)
        (*walk.done)(target);
}

void ListFolder(FolderNode& node, std::wstring_view path, bool recursive, const FileListed* listed,
                const FolderListed* done) {
    FolderNode* target = AddPath(node, path);
    Walk walk{recursive, listed, done, {}};
    // Every folder from the drive down to the one asked for: a link inside it that leads back
    // to any of them (the drive itself, say) is a loop.
    if (recursive)
        for (size_t end = target->path.find(L'\\'); end != std::wstring::npos;
             end = target->path.find(L'\\', end + 1))
            if (const auto identity = IdentityOf(target->path.substr(0, end + 1)))
                walk.path.push_back(*identity);
    ListFolder(*target, walk, 0);
}

} // namespace

std::wstring LinkKind(const WIN32_FIND_DATAW& entry, const std::wstring& path) {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return {};
    switch (entry.dwReserved0) {
    case 0: // how Wine shows a Unix symbolic link
    case IO_REPARSE_TAG_SYMLINK:
        return L"symbolic link";
    case IO_REPARSE_TAG_MOUNT_POINT:
        return TargetsVolume(path) ? L"mount point" : L"junction";
    default:
        // Other links are name surrogates; placeholders such as cloud files are folders.
        return IsReparseTagNameSurrogate(entry.dwReserved0) ? L"link" : L"";
    }
}

void AddFolder(FolderNode& node, std::wstring_view path, bool recursive) {
    ListFolder(node, path, recursive, nullptr, nullptr);
}

void AddFolder(FolderNode& node, std::wstring_view path, bool recursive, const FileListed& listed,
               const FolderListed& done) {
    ListFolder(node, path, recursive, &listed, &done);
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
