// Reads of the machine that several blocks and the engine share: a file's version, an
// environment variable, the running executable's version.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vitascan {

// The file's version as the installer service reads it ("1.2.3.4"); returns the service's
// result code, 0 on success, and leaves `out` empty otherwise.
std::uint32_t GetFileVersionText(const std::wstring& path, std::wstring& out);
// The same as a probe: the version, or nothing when the file has none that can be read.
std::optional<std::wstring> FileVersion(const std::wstring& path);

// The version of the running executable; "" when it has none.
std::wstring ExecutableVersion();

// The process's environment variable, or "" when it is not set.
std::wstring GetEnvironmentText(const std::wstring& name);

} // namespace vitascan
