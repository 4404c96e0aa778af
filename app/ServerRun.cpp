#include "app/ServerRun.h"

#include "Common/CommandLineUtils.h"
#include "app/CommandLine.h"

void RunServer(const std::wstring& /*pipeName*/, int /*offline*/) {
    ThrowStatusAt(gtl::status::error(L"Server mode is not available in this build"),
                  kEntryPointSource, 533);
}
