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
#include <fcntl.h>
#include <io.h>
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

// Valid UTF-8, but for a character split at a cut: continuation bytes at the start after a
// cut, an unfinished sequence at the end before one.
bool IsUtf8(std::string_view bytes, Cuts cuts) {
    const auto* at = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = at + bytes.size();
    if (cuts.before)
        for (int skipped = 0; skipped < 3 && at < end && (*at & 0xC0) == 0x80; ++skipped)
            ++at;
    while (at < end) {
        const unsigned char lead = *at;
        int more = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            ++at;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
            high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        ++at;
        for (int i = 0; i < more; ++i, ++at) {
            if (at == end)
                return cuts.after;
            const unsigned char next = *at;
            if (next < (i == 0 ? low : 0x80) || next > (i == 0 ? high : 0xBF))
                return false;
        }
    }
    return true;
}

bool IsLeadByte(char c) {
    return ::IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE;
}

std::wstring FromAnsi(std::string_view bytes, Cuts cuts) {
    // After a cut: an odd run of lead bytes just before it means that the first byte is the
    // second half of a character, which is left out.
    const std::string_view context = bytes.substr(0, cuts.context);
    size_t leads = 0;
    while (leads < context.size() && IsLeadByte(context[context.size() - 1 - leads]))
        ++leads;
    bytes.remove_prefix(context.size());
    if (leads % 2 == 1 && !bytes.empty())
        bytes.remove_prefix(1);
    // A double-byte character whose second byte lies past the cut is left out.
    size_t whole = 0;
    while (whole < bytes.size())
        whole += IsLeadByte(bytes[whole]) ? 2 : 1;
    if (cuts.after && whole > bytes.size())
        bytes.remove_suffix(1);
    if (bytes.empty())
        return {};
    const int size = static_cast<int>(bytes.size());
    std::wstring text(bytes.size(), L'\0');
    const int length = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, text.data(), size);
    text.resize(static_cast<size_t>(std::max(length, 0)));
    return text;
}

std::wstring FromUtf16(std::string_view bytes, bool bigEndian, Cuts cuts) {
    std::wstring text(bytes.size() / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        text[i] = static_cast<wchar_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
    }
    if (cuts.after && !text.empty() && IS_HIGH_SURROGATE(text.back()))
        text.pop_back();
    if (cuts.before && !text.empty() && IS_LOW_SURROGATE(text.front()))
        text.erase(0, 1);
    return text;
}

// The encoding a byte-order mark at the start of the stream names, and the mark's length.
std::pair<TextEncoding, int> ReadMark(FILE* file) {
    unsigned char mark[3] = {};
    const size_t read = std::fread(mark, 1, sizeof mark, file);
    if (read == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF)
        return {TextEncoding::Utf8, 3};
    if (read >= 2 && mark[0] == 0xFF && mark[1] == 0xFE)
        return {TextEncoding::Utf16Le, 2};
    if (read >= 2 && mark[0] == 0xFE && mark[1] == 0xFF)
        return {TextEncoding::Utf16Be, 2};
    return {TextEncoding::Unmarked, 0};
}

} // namespace

std::wstring DecodeText(std::string_view bytes, TextEncoding encoding, Cuts cuts) {
    switch (encoding) {
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be:
        return FromUtf16(bytes, encoding == TextEncoding::Utf16Be, cuts);
    case TextEncoding::Unmarked:
        if (!IsUtf8(bytes.substr(std::min(cuts.context, bytes.size())), cuts))
            return FromAnsi(bytes, cuts);
        break;
    case TextEncoding::Utf8:
        break;
    }
    return str::as_wstring(str::as_u8string(bytes.substr(std::min(cuts.context, bytes.size()))));
}

std::wstring ReadPart(FILE* file, long long count, TextEncoding encoding, Cuts cuts) {
    if (file == nullptr)
        return L"null file";
    if (count <= 0)
        return {};
    std::string bytes(static_cast<size_t>(count), '\0');
    const size_t read = std::fread(bytes.data(), 1, bytes.size(), file);
    if (read > 0) {
        bytes.resize(read);
        return DecodeText(bytes, encoding, cuts);
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

std::wstring ReadStreamText(FILE* file, int limit, const std::wstring& banner) {
    if (limit <= 0)
        return {};
    // The length as a 64-bit number: a log of 2 GiB or more is cut like any other.
    if (::_fseeki64(file, 0, SEEK_END) != 0)
        return {};
    const long long length = ::_ftelli64(file);
    if (length < 1 || ::_fseeki64(file, 0, SEEK_SET) != 0)
        return {};
    const auto [encoding, markLength] = ReadMark(file);
    const long long body = length - markLength;
    const bool utf16 = encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be;
    if (body <= limit) {
        if (::_fseeki64(file, markLength, SEEK_SET) != 0)
            return {};
        return ReadPart(file, body, encoding, {});
    }
    // UTF-16 is cut between code units, counted from the end of the mark.
    long long half = limit / 2;
    if (utf16)
        half &= ~1LL;
    std::wstring text;
    if (::_fseeki64(file, markLength, SEEK_SET) == 0)
        text = ReadPart(file, half, encoding, {false, true});
    text += banner;
    long long tailStart = length - half;
    if (utf16 && (tailStart - markLength) % 2 != 0)
        ++tailStart;
    // Without a mark the text may be in a double-byte code page: a few bytes from before the
    // cut tell where its first whole character starts.
    const long long context =
        encoding == TextEncoding::Unmarked ? std::min(32LL, tailStart - markLength) : 0;
    if (::_fseeki64(file, tailStart - context, SEEK_SET) == 0)
        text += ReadPart(file, length - tailStart + context, encoding,
                         {true, false, static_cast<size_t>(context)});
    return text;
}

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
    // Names, sizes and dates only (no short names), fetched in large batches.
    win::unique_find_handle search(
        ::FindFirstFileExW(sys::file::LongPath(folderPath + L"*").c_str(), FindExInfoBasic, &entry,
                           FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!search)
        return listing;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            listing.push_back(FileOf(entry));
    } while (::FindNextFileW(search.get(), &entry));
    return listing;
}

// The files of the block's own folders, looked at the moment each folder's listing ended.
using WrittenFiles = std::unordered_map<const FolderNode*, std::vector<File>>;

bool Gone(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The file opened for reading, sharing everything, so that the report never stands in the
// way of the program that writes it.
win::unique_file_handle OpenToRead(const std::wstring& path) {
    return win::unique_file_handle(
        ::CreateFileW(sys::file::LongPath(path).c_str(), GENERIC_READ,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// A stream over an open handle, which it then owns; null when that fails.
win::unique_file_stream StreamOf(win::unique_file_handle handle) {
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle.get()), _O_RDONLY);
    if (fd == -1)
        return win::unique_file_stream();
    static_cast<void>(handle.release());
    win::unique_file_stream stream(::_fdopen(fd, "rb"));
    if (!stream)
        ::_close(fd);
    return stream;
}

// The version of programs and libraries, the text of logs, XML and text files, read from
// the folder's file `name` (the tree's spelling). A file with text is looked at once: its
// size and date come from the open that reads the text. False when the file is gone.
bool ProbeVersionAndContent(File& file, const std::wstring& folderPath, const std::wstring& name) {
    const bool program = EndsWith(file.name, L".dll") || EndsWith(file.name, L".exe");
    const bool content = HasContent(file.name);
    if (!program && !content)
        return true; // most files: nothing to look at
    const std::wstring path = folderPath + name;
    if (program) {
        file.version = FileVersion(path);
        if (!file.version && !sys::file::Exists(path))
            return false;
    }
    if (!content)
        return true;
    win::unique_file_handle handle = OpenToRead(path);
    if (!handle)
        return !Gone(::GetLastError()); // one that cannot be opened keeps the listing's facts
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(handle.get(), &info)) {
        file.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        file.lastWrite = info.ftLastWriteTime;
    }
    const win::unique_file_stream stream = StreamOf(std::move(handle));
    if (stream)
        file.content = ReadStreamText(stream.get(), FilesystemBlock::kContentLimit,
                                      FilesystemBlock::kTruncationBanner);
    return true;
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
        std::erase_if(folder.files, [&](File& file) {
            return !ProbeVersionAndContent(file, node.path, file.name);
        });
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
            win::unique_find_handle search(
                ::FindFirstFileW(sys::file::LongPath(node.path + name).c_str(), &record));
            if (!search)
                continue;
            file = FileOf(record);
        }
        if (ProbeVersionAndContent(file, node.path, name))
            folder.files.push_back(std::move(file));
    }
}

void ProbeChildren(const FolderNode& node, Folder& folder, WrittenFiles* written) {
    // A folder gone from the disk is left out with everything below it.
    // One the listing could not read stays, with its reason: the system may refuse to look at
    // a folder it listed (access denied, a path too long).
    // A folder whose files were written when its listing ended was there then, which is as
    // fresh as its files: only the others are looked up again.
    for (const auto& child : node.children) {
        const bool listed = written != nullptr && written->contains(child.get());
        if (!listed && child->stop != FolderStop::Error && !sys::file::Exists(child->path))
            continue;
        Folder& sub = folder.folders.emplace_back();
        sub.name = child->name;
        sub.stop = child->stop;
        sub.reason = child->reason;
        ProbeChildren(*child, sub, written);
    }
    if (written != nullptr)
        if (const auto found = written->find(&node); found != written->end()) {
            folder.files = std::move(found->second);
            return;
        }
    ProbeFiles(node, folder, nullptr);
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

// Why the listing did not go into the folder, when it did not.
void WriteStop(MarkupWriter& out, const Folder& folder) {
    switch (folder.stop) {
    case FolderStop::None:
        break;
    case FolderStop::Link:
        out.Attribute(L"link", folder.reason);
        break;
    case FolderStop::Loop:
        out.Attribute(L"stopped", L"loop");
        break;
    case FolderStop::Depth:
        out.Attribute(L"stopped", L"depth");
        break;
    case FolderStop::Error:
        out.Attribute(L"error", folder.reason);
        break;
    }
}

void WriteFolder(ListingWriters& out, const Folder& folder, std::wstring_view prefix, int level) {
    for (const Folder& sub : folder.folders) {
        const int indent = level > 0 ? 2 * level : 0;
        AppendIndent(out.folders, prefix, indent);
        out.folders.Open(L"dir").Attribute(L"name", sub.name);
        WriteStop(out.folders, sub);
        out.folders.EndStartTag().EndLine();
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
        // The block's own folders are walked once: each folder's files are looked at the
        // moment its listing ends, so that what is written of them (presence, size, date)
        // is as fresh as a second listing would make it, without one.
        std::unordered_map<const FolderNode*, Listing> listed;
        WrittenFiles written;
        // Entries come folder by folder: the last folder's listing is kept at hand.
        const FolderNode* lastFolder = nullptr;
        Listing* lastListing = nullptr;
        const FileListed keep = [&](const FolderNode& folder, const WIN32_FIND_DATAW& entry) {
            if (&folder != lastFolder) {
                lastFolder = &folder;
                lastListing = &listed[&folder];
            }
            lastListing->push_back(FileOf(entry));
        };
        const FolderListed write = [&](const FolderNode& folder) {
            const auto found = listed.find(&folder);
            // A folder whose subfolders were walked since its first entries came is listed
            // again: those entries are as old as the walk below it.
            Listing* listing =
                found != listed.end() && folder.children.empty() ? &found->second : nullptr;
            Folder probed;
            ProbeFiles(folder, probed, listing);
            written[&folder] = std::move(probed.files);
            if (found != listed.end())
                listed.erase(found);
            lastFolder = nullptr;
        };
        // A known folder the system cannot name adds nothing.
        for (const KNOWNFOLDERID* id : {&FOLDERID_ProgramData, &FOLDERID_RoamingAppData}) {
            std::wstring base;
            if (sys::file::GetKnownFolderPath(*id, base).ok())
                AddFolder(*folderTree, base + L"\\" + kMakerFolder + L"\\", true, keep, write);
        }
        ProbeChildren(*folderTree, root, &written);
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
    if (!ProbeVersionAndContent(folder.files.back(), folderPath, name))
        return {}; // gone since it was found
    return Render(folder, prefix, level - 3);
}

std::wstring FilesystemBlock::ReadFileText(const std::wstring& path, int limit,
                                           const std::wstring& banner) {
    if (limit <= 0)
        return {};
    const win::unique_file_stream stream =
        filesystem_block::StreamOf(filesystem_block::OpenToRead(path));
    return stream ? filesystem_block::ReadStreamText(stream.get(), limit, banner) : std::wstring();
}

std::wstring FilesystemBlock::ReadFileChunk(FILE* file, int count) {
    return filesystem_block::ReadPart(file, count, filesystem_block::TextEncoding::Unmarked, {});
}

} // namespace vitascan
