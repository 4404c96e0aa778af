#include "vitascan/Report.h"

#include "vitascan/Markup.h"
#include "vitascan/Probes.h"
#include "vitascan/blocks/DiskSpaceBlock.h"
#include "vitascan/blocks/FilesystemBlock.h"
#include "vitascan/blocks/NetworkingBlock.h"
#include "vitascan/blocks/ProcessBlock.h"
#include "vitascan/blocks/ProductsBlock.h"
#include "vitascan/blocks/RegistryBlock.h"
#include "vitascan/blocks/SystemBlock.h"

namespace vitascan {

namespace {

struct StepContext {
    std::uint32_t mask;
    bool excludePii;
    FolderNode* folderTree;
};

// One row of the step table: the block is built when the mask has any of `bits`.
struct StepRow {
    std::uint32_t bits;
    std::unique_ptr<IBlock> (*make)(const StepContext&);
};

template <typename Block> std::unique_ptr<IBlock> MakeBlock(const StepContext&) {
    return std::make_unique<Block>();
}

// Blocks that fill or render the engine's folder tree.
template <typename Block> std::unique_ptr<IBlock> MakeTreeBlock(const StepContext& context) {
    return std::make_unique<Block>(context.folderTree);
}

// The system block reads its own section bits from the whole mask.
std::unique_ptr<IBlock> MakeSystemBlock(const StepContext& context) {
    return std::make_unique<SystemBlock>(context.excludePii, context.mask);
}

// The blocks in step order. Blocks that add folders to the tree come before the filesystem
// block, which renders it.
// clang-format off
const std::vector<StepRow> kStepTable = {
    {block_bits::kNetworking, &MakeBlock<NetworkingBlock>},
    {SystemBlock::kAllSections, &MakeSystemBlock},
    {block_bits::kDiskSpace, &MakeBlock<DiskSpaceBlock>},
    {block_bits::kRegistry, &MakeTreeBlock<RegistryBlock>},
    {block_bits::kProducts, &MakeTreeBlock<ProductsBlock>},
    {block_bits::kFilesystem, &MakeTreeBlock<FilesystemBlock>},
    {block_bits::kProcesses, &MakeBlock<ProcessBlock>},
};
// clang-format on

} // namespace

Report::Report() : version(ExecutableVersion()) {}

Report::Report(std::uint32_t mask, bool excludePii) : Report() {
    BuildSteps(mask, excludePii);
}

Report::~Report() = default;

void Report::Reset() {
    stepIndex = 0;
    blocksText.clear();
    Clear(folderTree);
    AddFolder(folderTree, GetEnvironmentText(L"SystemRoot") + L"\\system32\\drivers\\", false);
}

void Report::BuildSteps(std::uint32_t mask, bool excludePii) {
    steps.clear();
    const StepContext context{mask, excludePii, &folderTree};
    for (const StepRow& row : kStepTable)
        if ((mask & row.bits) != 0)
            steps.push_back(row.make(context));
}

void Report::AppendStep(std::unique_ptr<IBlock> block) {
    steps.push_back(std::move(block));
}

bool Report::HasNextStep() const {
    return stepIndex < steps.size();
}

std::wstring Report::GetNextStepDesc() const {
    return steps[stepIndex]->GetDescription();
}

bool Report::ProcessNextStep() {
    blocksText += steps[stepIndex]->GetXml();
    ++stepIndex;
    return HasNextStep();
}

int Report::GetProgressPct() const {
    if (steps.empty())
        return 100;
    return static_cast<int>(stepIndex * 100 / steps.size());
}

void Report::StartGroup(const std::wstring& name) {
    const size_t indent = 2 * openGroups.size();
    openGroups.push_back(name);
    MarkupWriter out(groupsText, LineEnd::CrLf);
    if (startTagOpen) // the parent gets content
        out.EndStartTag().EndLine();
    out.Indent(indent).Open(name);
    startTagOpen = true;
}

void Report::SetDataPoint(const std::wstring& name, const std::wstring& value) {
    // Whatever precedes it: a data point after a child group lands after that child.
    MarkupWriter(groupsText, LineEnd::CrLf).Attribute(name, value);
}

void Report::EndGroup() {
    if (openGroups.empty())
        return;
    const std::wstring name = std::move(openGroups.back());
    openGroups.pop_back();
    MarkupWriter out(groupsText, LineEnd::CrLf);
    if (startTagOpen)
        out.SpacedSelfClose().EndLine();
    else
        out.EndElementLine(2 * openGroups.size(), name);
    startTagOpen = false;
}

std::wstring ShortVersion(const std::wstring& version) {
    // Without a dot both parts are the whole text (npos + 1 wraps to 0).
    const size_t d1 = version.find(L'.');
    const size_t d2 = version.find(L'.', d1 + 1);
    const std::wstring major = version.substr(0, d1);
    const std::wstring minor =
        version.substr(d1 + 1, d2 == std::wstring::npos ? std::wstring::npos : d2 - (d1 + 1));
    return major + L"." + minor;
}

std::wstring RenderDocument(const std::wstring& version, const std::wstring& groupsText,
                            const std::wstring& blocksText) {
    std::wstring document;
    document.reserve(groupsText.size() + blocksText.size() + 160);
    MarkupWriter out(document, LineEnd::CrLf);
    // The root's two version attributes are single-quoted and unescaped: the format fixes
    // them so, and the installer service's version texts are dotted numbers.
    out.Declaration()
        .Open(L"vitascan")
        .RawAttribute(L"version", ShortVersion(version), L'\'')
        .RawAttribute(L"versionDisplay", version, L'\'')
        .EndStartTag()
        .EndLine();
    // Group markup first, whatever the order in which groups and steps were written.
    document += groupsText;
    document += blocksText;
    out.EndElementLine(0, L"vitascan");
    return document;
}

std::wstring Report::GetDocument() const {
    return RenderDocument(version, groupsText, blocksText);
}

} // namespace vitascan
