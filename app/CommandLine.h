#pragma once

#include "platform/sys_env.h"

#include <string>
#include <vector>

namespace app {

// What the command line asks for.
struct CommandLine {
    bool runServer = false;
    int offline = 0;
    std::wstring pipeName;
    std::wstring outputFile;

    // Takes the positional arguments ("RunServer", "Offline"), then the named options
    // ("pipename", "out"; the last value wins). Anything else throws.
    void Assign(const std::vector<std::wstring>& positional,
                const std::vector<sys::env::NamedOption>& named);
};

} // namespace app
