// The text file writer: the one way a text (a finished report) reaches a file.
#pragma once

#include <optional>
#include <string>

namespace textfile {

// Writes the text in text mode ("wt": each LF becomes CR LF). Characters above 0xFF, which a
// text-mode stream cannot write, are written as "?". Returns 1 on success and 0 when the
// file cannot be opened or written (GetLastError then tells why).
int SaveTextFile(const std::wstring& path, const std::wstring& text);

// Saves as SaveTextFile does. Returns nothing when the text was saved, else the system's
// message for the error (empty when the system has none).
std::optional<std::wstring> Save(const std::wstring& path, const std::wstring& text);

} // namespace textfile
