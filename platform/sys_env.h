#pragma once

#include <string>
#include <utility>
#include <vector>

namespace sys::env {

using NamedOption = std::pair<std::wstring, std::wstring>;

// Splits the process's command line as Windows does (quotes group blanks). An argument that
// starts with "/" is a named option: its name runs to the first ":", its value is the rest
// (empty without ":"). Every other argument is positional. The program path is left out.
void GetCmdLineArguments(std::vector<std::wstring>& positional, std::vector<NamedOption>& named);

// The same split for a given command line (the first element is the program path).
void SplitCmdLineArguments(const std::vector<std::wstring>& argv,
                           std::vector<std::wstring>& positional, std::vector<NamedOption>& named);

} // namespace sys::env
