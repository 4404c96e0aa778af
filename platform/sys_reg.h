#pragma once

#include <string>

namespace sys::reg {
// Joins two registry key paths with one backslash between them.
std::wstring ConcatenatePath(const std::wstring& first, const std::wstring& second);
} // namespace sys::reg
