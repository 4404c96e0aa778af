// Opening registry keys for reading and walking their subkeys: the one way the report's
// blocks do both, so that no caller spells out the open-and-check or the enumeration loop.
#pragma once

#include "platform/unique_handle.h"

#include <functional>
#include <string>

#include <windows.h>

namespace vitascan::reg {

// The size of the name buffers of an enumeration (key and value names). A longer name fails
// to enumerate, which ends that walk.
constexpr DWORD kNameCapacity = 260;

// root\subKey opened for reading in `view` (0 for the process's own view, KEY_WOW64_32KEY or
// KEY_WOW64_64KEY); an empty owner when it cannot be opened.
win::unique_hkey OpenForReading(HKEY root, const std::wstring& subKey, REGSAM view = 0);

// Calls `visit` with the name of each subkey of `key`, in enumeration order, until the first
// enumeration that fails.
void ForEachSubkeyName(HKEY key, const std::function<void(const std::wstring&)>& visit);

} // namespace vitascan::reg
