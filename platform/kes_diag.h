#pragma once

#include <cstdint>
#include <string>

namespace kes::diag {

struct Location {
    const char* file;
    std::uint32_t line;
    const char* function;
};

// Logs one text: to the debugger (OutputDebugStringW) and, when the environment variable
// KES_LOG_FILE names a file, appended to it as UTF-8. The two integers are the level and
// category of the message; a log failure is never reported.
void LogMacroHandler(int level, int category, const Location& where, const std::wstring& text);

} // namespace kes::diag
