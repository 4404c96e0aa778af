// Registry reading for the report: opening keys, walking their subkeys and values, and
// decoding string data. The one place that spells out the open-and-check, the enumeration
// loops and the "stop at NUL, never past the size" rule.
#pragma once

#include "platform/unique_handle.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

namespace vitascan {

namespace reg {

// The size of the name buffers of an enumeration (key and value names). A longer name fails
// to enumerate, which ends that walk.
constexpr DWORD kNameCapacity = 260;

// root\subKey opened for reading in `view` (0 for the process's own view, KEY_WOW64_32KEY or
// KEY_WOW64_64KEY); an empty owner when it cannot be opened.
win::unique_hkey OpenForReading(HKEY root, const std::wstring& subKey, REGSAM view = 0);
// The same, giving the system's result code of the open.
win::unique_hkey OpenForReading(HKEY root, const std::wstring& subKey, REGSAM view, LONG& result);

// The names of the subkeys of `key`, in enumeration order, up to the first enumeration that
// fails.
std::vector<std::wstring> SubkeyNames(HKEY key);

// One value of a key as the enumeration gave it. `data` holds `size` bytes at most: the
// buffer is shared between values and may be longer than this one.
struct ValueData {
    std::wstring_view name;
    DWORD type;
    const std::vector<BYTE>& data;
    DWORD size;
};
// Calls `visit` for each value of `key`, in enumeration order, up to the first enumeration
// that fails. The data buffer starts at 1024 bytes; a value that does not fit grows it once
// to the size the system asks for, and later values reuse the larger buffer.
void ForEachValue(HKEY key, const std::function<void(const ValueData&)>& visit);

// The text of REG_SZ / REG_EXPAND_SZ data: up to its first NUL and never past `size` bytes
// of `data`; "" for a size of one byte or less.
std::wstring DecodeString(const std::vector<BYTE>& data, DWORD size);

// A REG_SZ or REG_EXPAND_SZ value (unexpanded) of an open key; nothing when it is missing,
// of another type or cannot be read.
std::optional<std::wstring> ReadString(HKEY key, const wchar_t* valueName);

// `parent` and `child` joined with one backslash.
std::wstring JoinKeyPath(const std::wstring& parent, const std::wstring& child);

} // namespace reg

// A REG_SZ or REG_EXPAND_SZ value (unexpanded) of rootKey\subKey; false, with `out`
// unchanged, on any failure or another value type.
bool ReadRegistryString(HKEY rootKey, const std::wstring& subKey, const std::wstring& valueName,
                        std::wstring& out);

} // namespace vitascan
