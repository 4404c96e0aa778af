#pragma once

#include <string>

namespace app {

// The whole report with every block, saved to `outputFile`; without a file only the banner
// and the usage line. A failed save is reported on the console, not as an error.
void RunCommandLineReport(const std::wstring& outputFile);

} // namespace app
