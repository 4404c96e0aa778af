#pragma once

#include <string>

namespace kes::analytics::legacy {
// Splits an event name at ".": the text up to the first ".", the text up to the next ".",
// and the rest ("file.open" gives "file", "open", "").
void UnpackEventType(const std::wstring& name, std::wstring& first, std::wstring& second,
                     std::wstring& third);
} // namespace kes::analytics::legacy
