#include "app/ReportRun.h"

#include "Common/CommandLineUtils.h"
#include "platform/kes_version.h"
#include "vitascan/ReportSession.h"

#include <string>

namespace app {

void RunCommandLineReport(const std::wstring& outputFile) {
    cmd::WriteLine(kes::version::CmdLineBanner(L"VitascanCmd"));
    if (outputFile.empty()) {
        cmd::WriteLine(L"Usage: VitascanCmd.exe /out:outfile.vitascan");
        return;
    }
    vitascan::ReportSession session;
    session.AddBlocks(vitascan::block_bits::kEveryBlock);
    session.Reset();
    session.RunToFile(outputFile);
}

} // namespace app
