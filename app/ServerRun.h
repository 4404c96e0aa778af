#pragma once

#include <string>

namespace app {

// Connects to the suite's pipe and serves the remote calls until the connection ends.
void RunServer(const std::wstring& pipeName, int offline);

} // namespace app
