#pragma once

#include <string>

namespace vitascan {

// Writes the text in text mode ("wt": each LF becomes CR LF). Characters above 0xFF, which a
// text-mode stream cannot write, are written as "?". Returns 1 on success and 0 when the
// file cannot be opened or written (GetLastError then tells why).
int SaveTextFile(const std::wstring& path, const std::wstring& text);

} // namespace vitascan

namespace vitascan {

// Saves a finished report: removes every CR (text mode writes each line end as CR LF),
// prints "Saving to " and the path, and saves. On failure `reason` is the system's message
// for the error and the result is false.
bool SaveReportDocument(const std::wstring& path, std::wstring document, std::wstring& reason);

} // namespace vitascan
