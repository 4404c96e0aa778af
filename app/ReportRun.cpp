#include "app/ReportRun.h"

#include "Common/CommandLineUtils.h"
#include "platform/kes_version.h"
#include "platform/str_convert.h"
#include "vitascan/Report.h"
#include "vitascan/TextFile.h"

#include <string>

#include <windows.h>

void RunCommandLineReport(const std::wstring& outputFile) {
    cmd::WriteLine(kes::version::CmdLineBanner(L"VitascanCmd"));
    if (outputFile.empty()) {
        cmd::WriteLine(L"Usage: VitascanCmd.exe /out:outfile.vitascan");
        return;
    }

    vitascan::Report report(0x0FFFFFFF, false);
    report.Reset();
    // Each description is printed just before its step runs.
    while (report.HasNextStep()) {
        cmd::WriteLine(report.GetNextStepDesc());
        report.ProcessNextStep();
    }

    // Text mode adds the CR of every line end; a CR already there would be doubled.
    std::wstring document = report.GetDocument();
    std::erase(document, L'\r');

    cmd::WriteLine(L"Saving to " + outputFile);
    if (!vitascan::SaveTextFile(outputFile, document)) {
        const auto message = KESErrMsg(::GetLastError());
        cmd::WriteLine(L"Unable to save to " + outputFile + L": " +
                       str::as_wstring(message.value_or(std::string())));
    }
}
