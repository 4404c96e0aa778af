// Run on a real console by the end-to-end console test: writes the console's output code page
// before SetAsUnicode, during the run and after the process's exit handlers have run, to the
// file named by its argument.
#include "platform/sys_console.h"

#include <cstdio>
#include <cstdlib>

#include <windows.h>

static std::FILE* out = nullptr;

int main(int argc, char** argv) {
    if (argc < 2 || (out = std::fopen(argv[1], "w")) == nullptr)
        return 2;
    std::fprintf(out, "%u", ::GetConsoleOutputCP());
    // Registered before SetAsUnicode, so it runs after the handlers that SetAsUnicode registers
    // (and before the runtime flushes the file).
    std::atexit([] { std::fprintf(out, " %u\n", ::GetConsoleOutputCP()); });
    sys::console::SetAsUnicode();
    std::fprintf(out, " %u", ::GetConsoleOutputCP());
}
