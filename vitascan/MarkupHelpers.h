// Small helpers that turn machine facts into report text. Every machine value written into
// the report passes through XmlEscape.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

namespace vitascan {

// The Char production of XML 1.0, applied to one UTF-16 code unit (so both halves of a
// surrogate pair are rejected).
bool IsXmlChar(std::uint32_t c);

// Drops what is not an XML character, writes the five markup characters as named entities,
// keeps LF and 0x20..0x7F, and writes every other unit as "&#nnn;" (three digits at least).
std::wstring XmlEscape(std::wstring_view text);
// The same, appended to `out`: the writers build one string.
void AppendXmlEscaped(std::wstring& out, std::wstring_view text);

// ` name="value"` with the value escaped: the way a machine value becomes an attribute.
void AppendAttribute(std::wstring& out, std::wstring_view name, std::wstring_view value);
// ` name="value"` with the value written as it is. Only for the few values the report's
// format fixes as unescaped; every other attribute goes through AppendAttribute.
void AppendUnescapedAttribute(std::wstring& out, std::wstring_view name, std::wstring_view value);

// "819 B", "1 KB", "5 GB"...: the largest unit of which the count is at least 0.8. A non-zero
// roundTo first rounds the count to its nearest multiple (a tie goes down).
std::wstring FormatByteSize(std::uint64_t bytes, std::uint64_t roundTo);

// The file's version as the installer service reads it ("1.2.3.4"); returns the service's
// result code, 0 on success, and leaves `out` empty otherwise.
std::uint32_t GetFileVersionText(const std::wstring& path, std::wstring& out);
// The same as a probe: the version, or nothing when the file has none that can be read.
std::optional<std::wstring> FileVersion(const std::wstring& path);

// The process's environment variable, or "" when it is not set.
std::wstring GetEnvironmentText(const std::wstring& name);

// A REG_SZ or REG_EXPAND_SZ value (unexpanded) of rootKey\subKey; false, with `out`
// unchanged, on any failure or another value type.
bool ReadRegistryString(HKEY rootKey, const std::wstring& subKey, const std::wstring& valueName,
                        std::wstring& out);

// Case-sensitive suffix test.
bool EndsWith(std::wstring_view text, std::wstring_view suffix);

// Pieces of `text` between any of the `separators` characters (empty pieces kept).
void SplitText(std::vector<std::wstring>& out, std::wstring_view text,
               std::wstring_view separators);

} // namespace vitascan
