// Times the folder tree with folders of many files: adding names, merging them again in
// another case, and looking folders up by path. Run under Wine: wine FolderTreeBench.exe [N]
#include "vitascan/FolderTree.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    vitascan::FolderNode root;

    auto start = std::chrono::steady_clock::now();
    vitascan::FolderNode* folder = vitascan::AddPath(root, L"C:\\ProgramData\\Pallanto\\logs\\");
    for (int i = 0; i < count; ++i)
        vitascan::AddFile(*folder, L"session-" + std::to_wstring(i) + L".log");
    const double addFiles = SecondsSince(start);

    start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i)
        vitascan::AddFile(*folder, L"SESSION-" + std::to_wstring(i) + L".LOG");
    const double mergeFiles = SecondsSince(start);

    start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i)
        vitascan::AddPath(root,
                          L"C:\\ProgramData\\Pallanto\\f" + std::to_wstring(i % 1000) + L"\\");
    const double addPaths = SecondsSince(start);

    std::printf("files in one folder:          %d (kept %zu)\n", count, folder->files.size());
    std::printf("AddFile, new names:           %.3f s\n", addFiles);
    std::printf("AddFile, same names recased:  %.3f s\n", mergeFiles);
    std::printf("AddPath, %d lookups of 1000 folders: %.3f s\n", count, addPaths);
    return 0;
}
