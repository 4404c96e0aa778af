// One report run, as the command line and the suite's remote calls drive it: the blocks
// chosen, free-form groups, the steps run one by one, and the finished document saved to a
// file or handed to the suite's web tracking call. While a report runs, this is the one
// place that prints: each step's description just before the step, "Saving to " before a
// save, and, on the command line, a save that failed.
#pragma once

#include "platform/gtl_status.h"
#include "vitascan/Report.h"

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>

namespace vitascan {

class ReportSession {
public:
    // Back to the first step with no fragments (the engine's Reset).
    void Reset() { report.Reset(); }

    // Take effect at ProcessStart. Personal data stays in the report unless asked otherwise.
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
    // document: (what failed, or success; true), again at every further call.
    std::tuple<gtl::status, bool> ProcessNext();
    int GetProgressPct() const { return report.GetProgressPct(); }
    // ProcessStart, every step, then the document saved or sent once: what failed, or
    // success.
    gtl::status Process();

    // The command line's run: ProcessStart, every step, then the document saved to the file
    // `path`, whatever its name. A failed save is printed, not returned: the run goes on.
    void RunToFile(const std::wstring& path);

    Report& GetReport() { return report; }

private:
    // Prints the next step's description and runs the step; false when none remained.
    bool RunNextStep();
    // ProcessStart and every step.
    void RunSteps();
    // The document to `saveTarget`: the web tracking call's status, or the save's.
    gtl::status Deliver();
    // Prints "Saving to " and the path, and saves the document there; the system's reason
    // when the save failed.
    std::optional<std::wstring> SaveDocument(const std::wstring& path);

    bool excludePii = false;
    std::uint32_t groupMask = 0;
    Report report;
    std::wstring saveTarget;
};

} // namespace vitascan
