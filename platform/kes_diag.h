// The diagnostic log of the runtime support library.
#pragma once

#include <cstdint>
#include <string>

namespace kes::diag {

// How much a logged text matters.
enum Level : int { kInfo = 1, kWarning = 2, kError = 3 };
// What a logged text is about. General texts carry no category on their line; the others
// tell a reader where to look: a copy of a console line (the suite's console writer logs with
// category 1), the remote-call connection, or a report section that got its default because
// a probe failed.
enum Category : int { kGeneral = 0, kConsole = 1, kRemoteCall = 2, kReport = 3 };

struct Location {
    const char* file;
    std::uint32_t line;
    const char* function;
};

// Logs one text as one line: "LEVEL [category] file(line): text", the category left out for
// general texts. The line goes to the debugger (OutputDebugStringW) and, when the environment
// variable KES_LOG_FILE names a file, is appended to it as UTF-8. A log failure is never
// reported.
void LogMacroHandler(int level, int category, const Location& where, const std::wstring& text);

} // namespace kes::diag

// Logs `text` at the caller's source location, as the compiler gives it.
#define KES_LOG(level, category, text)                                                             \
    ::kes::diag::LogMacroHandler((level), (category),                                              \
                                 ::kes::diag::Location{__FILE__, __LINE__, __func__}, (text))
