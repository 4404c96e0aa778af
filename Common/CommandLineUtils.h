// The console writer of the entry point and the report runs.
#pragma once

#include <string>

namespace cmd {
// The one console writer: the text and a line feed to standard output, flushed, and the same
// text to the diagnostic log.
void WriteLine(std::wstring text);
} // namespace cmd
