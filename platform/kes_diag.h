#pragma once

#include <cstdint>
#include <string>

namespace kes::diag {

// How much a logged text matters.
enum Level : int { kInfo = 1, kWarning = 2, kError = 3 };
// What a logged text is about; this process logs under one category.
enum Category : int { kGeneral = 1 };

struct Location {
    const char* file;
    std::uint32_t line;
    const char* function;
};

// Logs one text: to the debugger (OutputDebugStringW) and, when the environment variable
// KES_LOG_FILE names a file, appended to it as UTF-8. The two integers are a Level and a
// Category; a log failure is never reported.
void LogMacroHandler(int level, int category, const Location& where, const std::wstring& text);

} // namespace kes::diag
