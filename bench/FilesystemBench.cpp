// Times the filesystem block on a generated tree against a bare FindFirstFileW /
// FindNextFileW walk of the same tree and a bare read of the bytes the block embeds, all in
// the same run. The tree goes where the block looks, under the program-data folder's
// "Pallanto", and is removed at the end. Run under Wine:
//   wine FilesystemBench.exe [folders=100] [files per folder=1000] [logs=5] [log KB=600]
// Goal: block <= 1.25 x (walk + read): formatting 100,000 file lines costs little next to
// walking the folders. Walks and blocks alternate, and the best of each counts, so that a
// busy machine weighs on both alike.
#include "platform/sys_file.h"
#include "platform/unique_handle.h"
#include "vitascan/FolderTree.h"
#include "vitascan/blocks/FilesystemBlock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRuns = 5;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

template <typename F> double Best(F&& work, int runs = kRuns) {
    double best = 1e9;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        work();
        best = std::min(best, SecondsSince(start));
    }
    return best;
}

void WriteFile(const std::wstring& path, const char* bytes, size_t size) {
    win::unique_file_handle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file && size > 0)
        ::WriteFile(file.get(), bytes, static_cast<DWORD>(size), &written, nullptr);
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW entry{};
    {
        win::unique_find_handle search(::FindFirstFileW((folder + L"*").c_str(), &entry));
        if (search) {
            do {
                const std::wstring name = entry.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(folder + name + L"\\");
                else
                    ::DeleteFileW((folder + name).c_str());
            } while (::FindNextFileW(search.get(), &entry));
        }
    }
    ::RemoveDirectoryW(folder.c_str());
}

// The baseline: every entry of the tree visited once, nothing kept.
size_t BareWalk(const std::wstring& folder) {
    size_t files = 0;
    WIN32_FIND_DATAW entry{};
    win::unique_find_handle search(::FindFirstFileW((folder + L"*").c_str(), &entry));
    if (!search)
        return 0;
    do {
        const std::wstring_view name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            files += BareWalk(folder + std::wstring(name) + L"\\");
        else
            ++files;
    } while (::FindNextFileW(search.get(), &entry));
    return files;
}

// The bytes the block must embed: the first and last 256000 bytes of each log.
size_t BareRead(const std::vector<std::wstring>& logs) {
    std::vector<char> buffer(256000);
    size_t total = 0;
    for (const std::wstring& log : logs) {
        win::unique_file_stream file(::_wfopen(log.c_str(), L"rb"));
        if (!file)
            continue;
        total += std::fread(buffer.data(), 1, buffer.size(), file.get());
        std::fseek(file.get(), -256000, SEEK_END);
        total += std::fread(buffer.data(), 1, buffer.size(), file.get());
    }
    return total;
}

} // namespace

int main(int argc, char** argv) {
    const int folders = argc > 1 ? std::atoi(argv[1]) : 100;
    const int filesPerFolder = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int logCount = argc > 3 ? std::atoi(argv[3]) : 5;
    const int logKb = argc > 4 ? std::atoi(argv[4]) : 600;

    std::wstring programData;
    if (!sys::file::GetKnownFolderPath(FOLDERID_ProgramData, programData).ok()) {
        std::printf("no program-data folder\n");
        return 1;
    }
    const std::wstring maker = programData + L"\\Pallanto\\";
    const bool makerExisted = sys::file::Exists(maker);
    const std::wstring root = maker + L"bench-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(maker.c_str(), nullptr);
    ::CreateDirectoryW(root.c_str(), nullptr);

    // Files of 16 bytes to 1 KB, so that sizes print in bytes and in kilobytes.
    const std::string filler(1024, 'x');
    auto start = Clock::now();
    for (int f = 0; f < folders; ++f) {
        const std::wstring folder = root + L"folder" + std::to_wstring(f) + L"\\";
        ::CreateDirectoryW(folder.c_str(), nullptr);
        for (int i = 0; i < filesPerFolder; ++i)
            WriteFile(folder + L"item" + std::to_wstring(i) + L".dat", filler.data(),
                      16 * (1 + i % 64));
    }
    std::vector<std::wstring> logs;
    ::CreateDirectoryW((root + L"logs").c_str(), nullptr);
    std::string logText;
    while (logText.size() < static_cast<size_t>(logKb) * 1024)
        logText += "2026-12-04 09:05:07 INFO session <7> started & running\r\n";
    logText.resize(static_cast<size_t>(logKb) * 1024);
    for (int i = 0; i < logCount; ++i) {
        logs.push_back(root + L"logs\\session" + std::to_wstring(i) + L".log");
        WriteFile(logs.back(), logText.data(), logText.size());
    }
    std::printf("tree: %d folders x %d files + %d logs of %d KB under %ls (made in %.1f s)\n",
                folders, filesPerFolder, logCount, logKb, maker.c_str(), SecondsSince(start));

    size_t walked = 0, read = 0, blockChars = 0, renderChars = 0;
    BareWalk(maker); // warm the caches
    const double readTime = Best([&] { read = BareRead(logs); });
    // The whole block: it adds its data folders to an empty tree and renders them.
    const auto runBlock = [&] {
        vitascan::FolderNode tree;
        blockChars = vitascan::FilesystemBlock(&tree).GetXml().size();
    };
    double walk = 1e9;
    double block = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        walk = std::min(walk, Best([&] { walked = BareWalk(maker); }, 1));
        block = std::min(block, Best(runBlock, 1));
    }
    // The walk into the folder tree alone: what the block spends beyond it is looking at
    // the files and writing them.
    const double add = Best([&] {
        vitascan::FolderNode tree;
        vitascan::AddFolder(tree, maker, true);
    });
    // Rendering alone, of folders that earlier blocks added: one fresh listing per folder.
    vitascan::FolderNode added;
    vitascan::AddFolder(added, maker, true);
    const double render = Best(
        [&] { renderChars = vitascan::FilesystemBlock::RenderFolder(added, L"  ", -1).size(); });

    std::printf("bare walk:            %7.3f s  (%zu files)\n", walk, walked);
    std::printf("bare read:            %7.3f s  (%zu bytes)\n", readTime, read);
    std::printf("block (add + render): %7.3f s  (%zu characters)\n", block, blockChars);
    std::printf("render of added tree: %7.3f s  (%zu characters)\n", render, renderChars);
    std::printf("walk into the tree:   %7.3f s\n", add);
    std::printf("block  / (walk + read) = %.2f  (goal: at most 1.25)\n", block / (walk + readTime));
    std::printf("render / (walk + read) = %.2f\n", render / (walk + readTime));

    RemoveTree(root);
    if (!makerExisted)
        ::RemoveDirectoryW(maker.c_str());
    return 0;
}
