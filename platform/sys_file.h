#pragma once

#include "platform/gtl_status.h"

#include <string>

#include <windows.h>

#include <shlobj.h>

namespace sys::file {

// Whether anything (file or folder) exists at the path.
bool Exists(const std::wstring& path);
bool IsDirectory(const std::wstring& path);

// The known folder's path without a trailing backslash; an error status names the folder
// id and the system message.
gtl::status GetKnownFolderPath(const KNOWNFOLDERID& folderId, std::wstring& path);

// The user's temporary folder, with its trailing backslash.
gtl::status GetTempDirectory(std::wstring& path);

} // namespace sys::file
