// Entry point of VitascanCmd.exe: read the command line, run one mode, return the exit code.
#include "app/CommandLine.h"
#include "app/ReportRun.h"
#include "app/ServerRun.h"
#include "platform/App.h"
#include "platform/gtl_status.h"
#include "platform/kes_diag.h"
#include "platform/sys_console.h"
#include "platform/sys_env.h"

#include <cstdio>

namespace {

// A fatal error: its text on standard error, exit code 1. It goes to the diagnostic log
// too, because in server mode nobody may be watching the console.
int ReportFatal(const gtl::status_exception& error) {
    const std::wstring text = gtl::status::detail::as_wstring(error.get_status()) + L"\n";
    std::fputws(text.c_str(), stderr);
    std::fflush(stderr);
    KES_LOG(kes::diag::kError, kes::diag::kGeneral, text);
    return 1;
}

} // namespace

int main() {
    int exitCode = 0;
    {
        std::vector<std::wstring> positional;
        std::vector<sys::env::NamedOption> named;
        app::CommandLine commandLine;
        try {
            sys::console::SetAsUnicode();
            sys::env::GetCmdLineArguments(positional, named);
            commandLine.Assign(positional, named);
            try {
                if (commandLine.runServer)
                    app::RunServer(commandLine.pipeName, commandLine.offline);
                else
                    app::RunCommandLineReport(commandLine.outputFile);
            } catch (const gtl::status_exception& error) {
                exitCode = ReportFatal(error);
            }
        } catch (const gtl::status_exception& error) {
            exitCode = ReportFatal(error);
        }
        positional.clear();
        named.clear();
        App::Instance().Close();
    }
    return exitCode;
}
