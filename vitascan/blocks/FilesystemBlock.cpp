#include "vitascan/blocks/FilesystemBlock.h"

#include "platform/str_convert.h"
#include "platform/sys_file.h"
#include "platform/unique_handle.h"
#include "vitascan/Markup.h"
#include "vitascan/Probes.h"
#include "vitascan/StringIds.h"
#include "vitascan/TextHelpers.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <string_view>
#include <unordered_map>

#include <shlobj.h>

namespace vitascan {

const std::wstring FilesystemBlock::kTruncationBanner =
    L"\n\n------------------------------------------------------------------"
    L"\n*************** File content truncated by Vitascan ***************"
    L"\n------------------------------------------------------------------\n\n";

namespace filesystem_block {

namespace {

// Folders with at least this many files are listed once instead of searched name by name:
// one directory listing costs about as much as a few single searches.
constexpr size_t kListingThreshold = 8;

// The maker's data folder under the program-data and roaming application-data folders.
const wchar_t kMakerFolder[] = L"Pallanto";

// A file entry as the file system spells and describes it.
File FileOf(const WIN32_FIND_DATAW& entry) {
    return {std::wstring(entry.cFileName, ::wcsnlen(entry.cFileName, MAX_PATH)),
            (static_cast<std::uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow,
            entry.ftLastWriteTime,
            std::nullopt,
            {}};
}

// The file entries of one folder as one listing gave them, in the listing's order.
using Listing = std::vector<File>;

Listing ListFiles(const std::wstring& folderPath) {
    Listing listing;
    WIN32_FIND_DATAW entry{};
    win::unique_find_handle search(::FindFirstFileW((folderPath + L"*").c_str(), &entry));
    if (!search)
        return listing;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            listing.push_back(FileOf(entry));
    } while (::FindNextFileW(search.get(), &entry));
    return listing;
}

// Listings taken while the block added its own folders, moments before probing them.
using CapturedListings = std::unordered_map<const FolderNode*, Listing>;

// The version of programs and libraries, the text of logs, XML and text files, read from
// the folder's file `name` (the tree's spelling).
void ProbeVersionAndContent(File& file, const std::wstring& folderPath, const std::wstring& name) {
    if (EndsWith(file.name, L".dll") || EndsWith(file.name, L".exe"))
        file.version = FileVersion(folderPath + name);
    if (HasContent(file.name))
        file.content = FilesystemBlock::ReadFileText(
            folderPath + name, FilesystemBlock::kContentLimit, FilesystemBlock::kTruncationBanner);
}

bool SameNames(const Listing& listing, const std::vector<std::wstring>& names) {
    return listing.size() == names.size() &&
           std::equal(names.begin(), names.end(), listing.begin(),
                      [](const std::wstring& name, const File& file) { return name == file.name; });
}

void ProbeFiles(const FolderNode& node, Folder& folder, Listing* listing) {
    if (node.files.empty())
        return;
    Listing fresh;
    if (listing == nullptr && node.files.size() >= kListingThreshold) {
        fresh = ListFiles(node.path);
        listing = &fresh;
    }
    // The usual case: the tree holds the names of one listing, in its order.
    if (listing != nullptr && SameNames(*listing, node.files)) {
        folder.files = std::move(*listing);
        for (File& file : folder.files)
            ProbeVersionAndContent(file, node.path, file.name);
        return;
    }
    std::unordered_map<std::wstring_view, const File*> byName;
    if (listing != nullptr)
        for (const File& file : *listing)
            byName.emplace(file.name, &file);
    folder.files.reserve(node.files.size());
    for (const std::wstring& name : node.files) {
        // Names the listing does not hold exactly (another case, a short name, a file that
        // vanished, a folder) get the file system's own search, which decides.
        File file;
        if (const auto found = byName.find(name); found != byName.end()) {
            file = *found->second;
        } else {
            WIN32_FIND_DATAW record;
            win::unique_find_handle search(::FindFirstFileW((node.path + name).c_str(), &record));
            if (!search)
                continue;
            file = FileOf(record);
        }
        ProbeVersionAndContent(file, node.path, name);
        folder.files.push_back(std::move(file));
    }
}

void ProbeChildren(const FolderNode& node, Folder& folder, CapturedListings* captured) {
    // A folder gone from the disk is left out with everything below it.
    for (const auto& child : node.children) {
        if (!sys::file::Exists(child->path))
            continue;
        Folder& sub = folder.folders.emplace_back();
        sub.name = child->name;
        ProbeChildren(*child, sub, captured);
    }
    Listing* listing = nullptr;
    if (captured != nullptr)
        if (const auto found = captured->find(&node); found != captured->end())
            listing = &found->second;
    ProbeFiles(node, folder, listing);
}

void AppendIndent(MarkupWriter& out, std::wstring_view prefix, int count) {
    out.Indent(prefix);
    if (count > 0)
        out.Indent(static_cast<size_t>(count));
}

void AppendTwoDigits(wchar_t*& at, unsigned value) {
    *at++ = static_cast<wchar_t>(L'0' + value / 10 % 10);
    *at++ = static_cast<wchar_t>(L'0' + value % 10);
}

void AppendNumber(wchar_t*& at, unsigned value) {
    wchar_t digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0)
        *at++ = digits[--n];
}

// "%02d/%02d/%d %d:%02d:%02d" of day, month, year, hour, minute, second, in UTC, into `text`
// (room for 32 units); returns its length. Formatted here: this runs once per file.
size_t FormatDate(const FILETIME& time, wchar_t* text) {
    SYSTEMTIME utc{};
    ::FileTimeToSystemTime(&time, &utc);
    wchar_t* at = text;
    AppendTwoDigits(at, utc.wDay);
    *at++ = L'/';
    AppendTwoDigits(at, utc.wMonth);
    *at++ = L'/';
    AppendNumber(at, utc.wYear);
    *at++ = L' ';
    AppendNumber(at, utc.wHour);
    *at++ = L':';
    AppendTwoDigits(at, utc.wMinute);
    *at++ = L':';
    AppendTwoDigits(at, utc.wSecond);
    return static_cast<size_t>(at - text);
}

// The listing's file lines end with LF, its folder lines with CR LF, as the format has always
// written them: one writer for each, on the same text.
struct ListingWriters {
    MarkupWriter files;
    MarkupWriter folders;
};

void WriteFile(ListingWriters& out, const File& file, std::wstring_view prefix, int level) {
    wchar_t date[32];
    MarkupWriter& w = out.files;
    AppendIndent(w, prefix, level);
    w.Open(L"file")
        .Attribute(L"name", file.name)
        .Number(L"bytes", file.size)
        .Attribute(L"size", FormatByteSize(file.size, 0))
        .Attribute(L"datemodified", std::wstring_view(date, FormatDate(file.lastWrite, date)));
    if (file.version)
        w.Attribute(L"version", *file.version);
    if (!HasContent(file.name)) {
        w.SelfClose().EndLine();
        return;
    }
    w.EndStartTag().EndLine().Content(file.content);
    AppendIndent(w, prefix, level);
    w.Close(L"file").EndLine();
}

void WriteFolder(ListingWriters& out, const Folder& folder, std::wstring_view prefix, int level) {
    for (const Folder& sub : folder.folders) {
        const int indent = level > 0 ? 2 * level : 0;
        AppendIndent(out.folders, prefix, indent);
        out.folders.Open(L"dir").Attribute(L"name", sub.name).EndStartTag().EndLine();
        WriteFolder(out, sub, prefix, level + 1);
        AppendIndent(out.folders, prefix, indent);
        out.folders.Close(L"dir").EndLine();
    }
    for (const File& file : folder.files)
        WriteFile(out, file, prefix, level + 3);
}

// Room for the text: the lines of folders and files, and embedded text with a quarter more
// for its escapes. A listing of many files is tens of megabytes, and growing it by copying
// would cost as much as writing it.
size_t TextSize(const Folder& folder) {
    size_t size = 64;
    for (const File& file : folder.files)
        size += 128 + file.content.size() + file.content.size() / 4;
    for (const Folder& sub : folder.folders)
        size += TextSize(sub);
    return size;
}

void RenderInto(std::wstring& xml, const Folder& folder, std::wstring_view prefix, int level) {
    xml.reserve(xml.size() + TextSize(folder));
    ListingWriters out{MarkupWriter(xml, LineEnd::Lf), MarkupWriter(xml, LineEnd::CrLf)};
    WriteFolder(out, folder, prefix, level);
}

} // namespace

bool HasContent(std::wstring_view name) {
    return EndsWith(name, L".xml") || EndsWith(name, L".log") || EndsWith(name, L".txt") ||
           EndsWith(name, L"debug");
}

Folder ProbeFolder(const FolderNode& node) {
    Folder folder;
    folder.name = node.name;
    ProbeChildren(node, folder, nullptr);
    return folder;
}

std::wstring Render(const Folder& folder, std::wstring_view prefix, int level) {
    std::wstring xml;
    RenderInto(xml, folder, prefix, level);
    return xml;
}

} // namespace filesystem_block

std::wstring FilesystemBlock::GetDescription() {
    return str::load_wstring(IDS_FILESYSTEM_STEP);
}

std::wstring FilesystemBlock::GetXml() {
    using namespace filesystem_block;
    Folder root;
    if (folderTree != nullptr) {
        // The listings of the block's own folders serve the probe that follows at once.
        CapturedListings captured;
        const FileListed keep = [&](const FolderNode& folder, const WIN32_FIND_DATAW& entry) {
            captured[&folder].push_back(FileOf(entry));
        };
        // A known folder the system cannot name adds nothing.
        for (const KNOWNFOLDERID* id : {&FOLDERID_ProgramData, &FOLDERID_RoamingAppData}) {
            std::wstring base;
            if (sys::file::GetKnownFolderPath(*id, base).ok())
                AddFolder(*folderTree, base + L"\\" + kMakerFolder + L"\\", true, keep);
        }
        ProbeChildren(*folderTree, root, &captured);
    }
    std::wstring xml;
    MarkupWriter(xml, LineEnd::Lf).StartElementLine(0, L"filesystem");
    RenderInto(xml, root, L"  ", -1);
    MarkupWriter(xml, LineEnd::Lf).EndElementLine(0, L"filesystem");
    return xml;
}

std::wstring FilesystemBlock::RenderFolder(const FolderNode& node, const std::wstring& prefix,
                                           int level) {
    return filesystem_block::Render(filesystem_block::ProbeFolder(node), prefix, level);
}

std::wstring FilesystemBlock::FormatFileEntry(const std::wstring& folderPath,
                                              const std::wstring& name,
                                              const WIN32_FIND_DATAW& findData,
                                              const std::wstring& prefix, int level) {
    using namespace filesystem_block;
    Folder folder;
    folder.files.push_back(FileOf(findData));
    ProbeVersionAndContent(folder.files.back(), folderPath, name);
    return Render(folder, prefix, level - 3);
}

std::wstring FilesystemBlock::ReadFileText(const std::wstring& path, int limit,
                                           const std::wstring& banner) {
    if (limit <= 0)
        return {};
    win::unique_file_stream file(::_wfopen(path.c_str(), L"rb"));
    if (!file)
        return {};
    // The length as a signed 32-bit number: a file of 2 GiB or more has none and embeds
    // nothing (the C runtime's 32-bit ftell would wrap around instead of failing).
    const long long start = ::_ftelli64(file.get());
    ::_fseeki64(file.get(), 0, SEEK_END);
    const long long length = ::_ftelli64(file.get());
    ::_fseeki64(file.get(), start, SEEK_SET);
    if (length < 1 || length > INT32_MAX)
        return {};
    const int size = static_cast<int>(length);
    if (size <= limit)
        return ReadFileChunk(file.get(), size);

    const int half = limit / 2;
    std::wstring text;
    if (std::fseek(file.get(), 0, SEEK_SET) == 0)
        text = ReadFileChunk(file.get(), half);
    text += banner;
    if (std::fseek(file.get(), -static_cast<long>(half), SEEK_END) == 0)
        text += ReadFileChunk(file.get(), half);
    return text;
}

std::wstring FilesystemBlock::ReadFileChunk(FILE* file, int count) {
    if (file == nullptr)
        return L"null file";
    if (count <= 0)
        return {};
    std::string bytes(static_cast<size_t>(count), '\0');
    const size_t read = std::fread(bytes.data(), 1, bytes.size(), file);
    if (read > 0) {
        bytes.resize(read);
        return str::as_wstring(str::as_u8string(bytes));
    }
    // The C runtime's own wording: the message, ": ", the text of its last error, a line feed.
    const wchar_t* message = nullptr;
    if (std::ferror(file))
        message = ::__wcserror(L"*** A read error occurred\n");
    else if (std::feof(file))
        message = ::__wcserror(L"*** EOF found\n");
    else
        return L"Unknown error\n";
    return message != nullptr ? std::wstring(message) : std::wstring();
}

} // namespace vitascan
