// The report that the suite builds over remote calls: the blocks it selects, its free-form
// groups, where the document goes, and the run step by step. Personal data stays in the
// report unless the suite asks to leave it out.
#pragma once

#include "platform/gtl_status.h"
#include "vitascan/Report.h"

#include <cstdint>
#include <string>
#include <tuple>

namespace kes::analytics::legacy {

class ReportSession {
public:
    // Back to the first step with no fragments (the engine's Reset).
    void Reset() { report.Reset(); }

    // Take effect at ProcessStart.
    void SetExcludePII(bool exclude) { excludePii = exclude; }
    void AddBlocks(std::uint32_t mask) { groupMask |= mask; }
    // A file path, or "web service" for the suite's web tracking call.
    void SaveTo(const std::wstring& target) { saveTarget = target; }

    void StartGroup(const std::wstring& name) { report.StartGroup(name); }
    void SetDataPoint(const std::wstring& name, const std::wstring& value) {
        report.SetDataPoint(name, value);
    }
    void EndGroup() { report.EndGroup(); }

    // Builds the steps of the selected blocks.
    gtl::status ProcessStart();
    // Empty when no step remains.
    std::wstring GetNextStepDesc() const;
    // Runs the next step: (success, false). After the last step it saves or sends the
    // document: (the save's status, true), again at every further call.
    std::tuple<gtl::status, bool> ProcessNext();
    int GetProgressPct() const { return report.GetProgressPct(); }
    // ProcessStart, then ProcessNext until done; the last failure, or success.
    gtl::status Process();

    vitascan::Report& GetReport() { return report; }

private:
    bool excludePii = false;
    std::uint32_t groupMask = 0;
    vitascan::Report report;
    std::wstring saveTarget;
};

} // namespace kes::analytics::legacy
