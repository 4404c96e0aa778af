#include "app/ReportRun.h"

#include "Common/CommandLineUtils.h"
#include "platform/kes_version.h"
#include "vitascan/Report.h"
#include "vitascan/TextFile.h"

#include <string>

namespace app {

void RunCommandLineReport(const std::wstring& outputFile) {
    cmd::WriteLine(kes::version::CmdLineBanner(L"VitascanCmd"));
    if (outputFile.empty()) {
        cmd::WriteLine(L"Usage: VitascanCmd.exe /out:outfile.vitascan");
        return;
    }

    vitascan::Report report(vitascan::block_bits::kEveryBlock, false);
    report.Reset();
    // Each description is printed just before its step runs.
    while (report.HasNextStep()) {
        cmd::WriteLine(report.GetNextStepDesc());
        report.ProcessNextStep();
    }

    std::wstring reason;
    if (!vitascan::SaveReportDocument(outputFile, report.GetDocument(), reason))
        cmd::WriteLine(L"Unable to save to " + outputFile + L": " + reason);
}

} // namespace app
