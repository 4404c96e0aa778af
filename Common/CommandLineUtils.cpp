#include "Common/CommandLineUtils.h"

#include "platform/kes_diag.h"

#include <cstdio>

namespace cmd {

void WriteLine(std::wstring text) {
    text += L'\n';
    std::fputws(text.c_str(), stdout);
    std::fflush(stdout);
    kes::diag::LogMacroHandler(kes::diag::kInfo, kes::diag::kGeneral,
                               {"Common/CommandLineUtils", 25, "cmd::WriteLine"}, text);
}

} // namespace cmd

void ThrowStatusAt(gtl::status status, std::string file, std::uint32_t line) {
    status.set_location(std::move(file), line);
    throw gtl::status_exception(std::move(status));
}
