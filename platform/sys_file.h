#pragma once

#include "platform/gtl_status.h"

#include <string>

#include <windows.h>

#include <shlobj.h>

namespace sys::file {

// Whether anything (file or folder) exists at the path. Both take long paths (LongPath).
bool Exists(const std::wstring& path);
bool IsDirectory(const std::wstring& path);

// `path` in the "\\?\" form when it is too long for the ordinary one (MAX_PATH - 12
// characters or more, the limit of a folder's path) and is a full drive or UNC path;
// otherwise unchanged. The long form takes the path literally: no "." or ".." components.
std::wstring LongPath(const std::wstring& path);

// The known folder's path without a trailing backslash; an error status names the folder
// id and the system message.
gtl::status GetKnownFolderPath(const KNOWNFOLDERID& folderId, std::wstring& path);

// The user's temporary folder, with its trailing backslash.
gtl::status GetTempDirectory(std::wstring& path);

} // namespace sys::file
