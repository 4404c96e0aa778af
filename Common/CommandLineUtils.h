#pragma once

#include "platform/gtl_status.h"

#include <cstdint>
#include <string>

namespace cmd {
// The one console writer: the text and a line feed to standard output, flushed, and the same
// text to the diagnostic log.
void WriteLine(std::wstring text);
} // namespace cmd

// Stores the source location in the status and throws it as a gtl::status_exception.
[[noreturn]] void ThrowStatusAt(gtl::status status, std::string file, std::uint32_t line);
