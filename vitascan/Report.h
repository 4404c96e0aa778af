// The report engine: a step list of blocks, free-form group markup, the shared folder tree
// and the assembled document.
#pragma once

#include "vitascan/FolderTree.h"
#include "vitascan/IBlock.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vitascan {

// Bits of the block mask that choose the report's blocks. The system block has one bit per
// section (SystemBlock::kWmi ... kGeneral) and is built when any of them is set.
namespace block_bits {
inline constexpr std::uint32_t kNetworking = 0x2;
inline constexpr std::uint32_t kDiskSpace = 0x8;
inline constexpr std::uint32_t kRegistry = 0x10;
inline constexpr std::uint32_t kProducts = 0x20;
inline constexpr std::uint32_t kFilesystem = 0x80;
inline constexpr std::uint32_t kProcesses = 0x800;
// Every block the engine knows, as the command-line report asks for them.
inline constexpr std::uint32_t kEveryBlock = 0x0FFFFFFF;
} // namespace block_bits

class Report {
public:
    // No steps, empty texts, an empty tree.
    Report();
    // Steps built from the block mask.
    Report(std::uint32_t mask, bool excludePii);
    ~Report();
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;

    // Back to the first step with no fragments; the tree holds the drivers folder only. The
    // steps and the group markup stay.
    void Reset();
    // Replaces the step list with the blocks the mask selects, in the fixed step order.
    void BuildSteps(std::uint32_t mask, bool excludePii);
    // Appends one block of the caller's own after the built steps.
    void AppendStep(std::unique_ptr<IBlock> block);

    bool HasNextStep() const;
    // The caller ensures that a step remains.
    std::wstring GetNextStepDesc() const;
    // Runs the next step, appending its fragment; returns whether steps remain. The caller
    // ensures that a step remains.
    bool ProcessNextStep();
    // Steps run, in percent, truncated; 100 for an empty step list.
    int GetProgressPct() const;

    void StartGroup(const std::wstring& name);
    // The value is escaped; the name is written as given.
    void SetDataPoint(const std::wstring& name, const std::wstring& value);
    // Does nothing while no group is open.
    void EndGroup();

    // Declaration, root element with the executable's version, group markup, fragments.
    std::wstring GetDocument() const;

    FolderNode& GetFolderTree() { return folderTree; }

private:
    // Read once: the running executable's version does not change.
    const std::wstring version;
    std::uint64_t stepIndex = 0;
    std::wstring blocksText;
    FolderNode folderTree;
    std::wstring groupsText;
    std::vector<std::unique_ptr<IBlock>> steps;
    std::vector<std::wstring> openGroups;
    bool startTagOpen = false;
};

// The root element's version attribute: major and minor of a dotted version text.
std::wstring ShortVersion(const std::wstring& version);

// The whole document: the declaration, the root element with the version attributes made
// from `version`, the group markup, the block fragments, the end of the root element.
std::wstring RenderDocument(const std::wstring& version, const std::wstring& groupsText,
                            const std::wstring& blocksText);

} // namespace vitascan
