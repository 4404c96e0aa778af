#include "vitascan/blocks/FilesystemBlock.h"

#include "platform/str_convert.h"
#include "platform/sys_file.h"
#include "platform/unique_handle.h"
#include "vitascan/MarkupHelpers.h"

#include <climits>
#include <cstdint>
#include <cwchar>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <shlobj.h>

namespace vitascan {

const std::wstring FilesystemBlock::kTruncationBanner =
    L"\n\n------------------------------------------------------------------"
    L"\n*************** File content truncated by Vitascan ***************"
    L"\n------------------------------------------------------------------\n\n";

namespace {

// Folders with at least this many files are listed once instead of searched name by name:
// one directory listing costs about as much as a few single searches.
constexpr size_t kListingThreshold = 8;

// The maker's data folder under the program-data and roaming application-data folders.
const wchar_t kMakerFolder[] = L"Pallanto";

std::wstring_view FoundName(const WIN32_FIND_DATAW& findData) {
    return std::wstring_view(findData.cFileName, ::wcsnlen(findData.cFileName, MAX_PATH));
}

// What a file element is made of.
struct FileFacts {
    std::wstring_view name; // as the file system spells it
    std::uint64_t size;
    FILETIME lastWrite;
};

FileFacts FactsOf(const WIN32_FIND_DATAW& findData) {
    return {FoundName(findData),
            (static_cast<std::uint64_t>(findData.nFileSizeHigh) << 32) | findData.nFileSizeLow,
            findData.ftLastWriteTime};
}

// The file entries of one folder as one listing gave them, looked up by exact name. Kept
// small: a folder may hold many thousands of files.
class FolderListing {
public:
    void Add(const WIN32_FIND_DATAW& entry) {
        const std::wstring_view name = FoundName(entry);
        entries.push_back({names.size(), name.size(), FactsOf(entry).size, entry.ftLastWriteTime});
        names.append(name);
        byName.clear(); // the names may have moved
    }

    // Lists the folder's file entries.
    void Load(const std::wstring& folderPath) {
        WIN32_FIND_DATAW entry{};
        win::unique_find_handle search(::FindFirstFileW((folderPath + L"*").c_str(), &entry));
        if (!search)
            return;
        do {
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                Add(entry);
        } while (::FindNextFileW(search.get(), &entry));
    }

    bool Find(std::wstring_view name, FileFacts& facts) {
        if (byName.empty() && !entries.empty()) {
            byName.reserve(entries.size());
            for (size_t i = 0; i < entries.size(); ++i)
                byName.emplace(NameOf(entries[i]), i);
        }
        const auto found = byName.find(name);
        if (found == byName.end())
            return false;
        const Entry& entry = entries[found->second];
        facts = {NameOf(entry), entry.size, entry.lastWrite};
        return true;
    }

private:
    struct Entry {
        size_t nameAt;
        size_t nameLength;
        std::uint64_t size;
        FILETIME lastWrite;
    };
    std::wstring_view NameOf(const Entry& entry) const {
        return std::wstring_view(names).substr(entry.nameAt, entry.nameLength);
    }

    std::vector<Entry> entries;
    std::wstring names;
    std::unordered_map<std::wstring_view, size_t> byName;
};

// Listings taken while the block added its own folders, moments before rendering them.
using CapturedListings = std::unordered_map<const FolderNode*, FolderListing>;

void AppendIndent(std::wstring& out, const std::wstring& prefix, int count) {
    out += prefix;
    if (count > 0)
        out.append(static_cast<size_t>(count), L' ');
}

// Whole numbers without a formatter call: this runs once per file.
void AppendDecimal(std::wstring& out, std::uint64_t value) {
    wchar_t digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0)
        out += digits[--n];
}

void AppendTwoDigits(std::wstring& out, unsigned value) {
    out += static_cast<wchar_t>(L'0' + value / 10 % 10);
    out += static_cast<wchar_t>(L'0' + value % 10);
}

// "%02d/%02d/%d %d:%02d:%02d" of day, month, year, hour, minute, second, in UTC. The text is
// digits and separators only, so it needs no escaping.
void AppendDate(std::wstring& out, const FILETIME& time) {
    SYSTEMTIME utc{};
    ::FileTimeToSystemTime(&time, &utc);
    AppendTwoDigits(out, utc.wDay);
    out += L'/';
    AppendTwoDigits(out, utc.wMonth);
    out += L'/';
    AppendDecimal(out, utc.wYear);
    out += L' ';
    AppendDecimal(out, utc.wHour);
    out += L':';
    AppendTwoDigits(out, utc.wMinute);
    out += L':';
    AppendTwoDigits(out, utc.wSecond);
}

bool HasEmbeddedContent(std::wstring_view name) {
    return EndsWith(name, L".xml") || EndsWith(name, L".log") || EndsWith(name, L".txt") ||
           EndsWith(name, L"debug");
}

void AppendFileEntry(std::wstring& out, const std::wstring& folderPath, const std::wstring& name,
                     const FileFacts& file, const std::wstring& prefix, int level) {
    AppendIndent(out, prefix, level);
    out += L"<file";
    AppendAttribute(out, L"name", file.name);
    out += L" bytes=\"";
    AppendDecimal(out, file.size);
    out += L"\" size=\"";
    out += FormatByteSize(file.size, 0);
    out += L"\" datemodified=\"";
    AppendDate(out, file.lastWrite);
    out += L'"';

    if (EndsWith(file.name, L".dll") || EndsWith(file.name, L".exe")) {
        if (const auto version = FileVersion(folderPath + name))
            AppendAttribute(out, L"version", *version);
    }

    if (!HasEmbeddedContent(file.name)) {
        out += L"/>\n";
        return;
    }
    out += L">\n";
    AppendXmlEscaped(out, FilesystemBlock::ReadFileText(folderPath + name,
                                                        FilesystemBlock::kContentLimit,
                                                        FilesystemBlock::kTruncationBanner));
    AppendIndent(out, prefix, level);
    out += L"</file>\n";
}

void AppendFolder(std::wstring& out, const FolderNode& node, const std::wstring& prefix, int level,
                  CapturedListings* captured) {
    // A folder gone from the disk is left out with everything below it.
    for (const auto& child : node.children) {
        if (!sys::file::Exists(child->path))
            continue;
        const int indent = level > 0 ? 2 * level : 0;
        AppendIndent(out, prefix, indent);
        out += L"<dir";
        AppendAttribute(out, L"name", child->name);
        out += L">\r\n";
        AppendFolder(out, *child, prefix, level + 1, captured);
        AppendIndent(out, prefix, indent);
        out += L"</dir>\r\n";
    }

    if (node.files.empty())
        return;
    FolderListing* listing = nullptr;
    if (captured != nullptr) {
        const auto found = captured->find(&node);
        if (found != captured->end())
            listing = &found->second;
    }
    FolderListing fresh;
    if (listing == nullptr) {
        if (node.files.size() >= kListingThreshold)
            fresh.Load(node.path);
        listing = &fresh;
    }
    for (const std::wstring& name : node.files) {
        // Names the listing does not hold exactly (another case, a short name, a file that
        // vanished, a folder) get the file system's own search, which decides.
        FileFacts file;
        WIN32_FIND_DATAW record;
        if (!listing->Find(name, file)) {
            win::unique_find_handle search(::FindFirstFileW((node.path + name).c_str(), &record));
            if (!search)
                continue;
            file = FactsOf(record);
        }
        AppendFileEntry(out, node.path, name, file, prefix, level + 3);
    }
}

size_t CountFiles(const FolderNode& node) {
    size_t count = node.files.size();
    for (const auto& child : node.children)
        count += CountFiles(*child);
    return count;
}

} // namespace

std::wstring FilesystemBlock::GetDescription() {
    return str::load_wstring(26536);
}

std::wstring FilesystemBlock::GetXml() {
    std::wstring xml = L"<filesystem>\n";
    if (folderTree != nullptr) {
        // The listings of the block's own folders serve the rendering that follows at once.
        CapturedListings captured;
        const FileListed keep = [&](const FolderNode& folder, const WIN32_FIND_DATAW& entry) {
            captured[&folder].Add(entry);
        };
        // A known folder the system cannot name adds nothing.
        for (const KNOWNFOLDERID* id : {&FOLDERID_ProgramData, &FOLDERID_RoamingAppData}) {
            std::wstring base;
            if (sys::file::GetKnownFolderPath(*id, base).ok())
                AddFolder(*folderTree, base + L"\\" + kMakerFolder + L"\\", true, keep);
        }
        // About this much text per file, embedded content aside.
        xml.reserve(128 * CountFiles(*folderTree) + 64);
        AppendFolder(xml, *folderTree, L"  ", -1, &captured);
    }
    xml += L"</filesystem>\n";
    return xml;
}

std::wstring FilesystemBlock::RenderFolder(const FolderNode& node, const std::wstring& prefix,
                                           int level) {
    std::wstring out;
    AppendFolder(out, node, prefix, level, nullptr);
    return out;
}

std::wstring FilesystemBlock::FormatFileEntry(const std::wstring& folderPath,
                                              const std::wstring& name,
                                              const WIN32_FIND_DATAW& findData,
                                              const std::wstring& prefix, int level) {
    std::wstring out;
    AppendFileEntry(out, folderPath, name, FactsOf(findData), prefix, level);
    return out;
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
