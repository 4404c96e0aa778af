#include "Common/CommandLineUtils.h"

#include "platform/kes_diag.h"

#include <cstdio>

namespace cmd {

void WriteLine(std::wstring text) {
    text += L'\n';
    std::fputws(text.c_str(), stdout);
    std::fflush(stdout);
    KES_LOG(kes::diag::kInfo, kes::diag::kConsole, text);
}

} // namespace cmd
