// Run on a real console by the end-to-end console test: writes the console's output code page
// before SetAsUnicode, during the run and after the process's exit handlers have run, to the
// file named by its argument.
#include "platform/sys_console.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <windows.h>

namespace {

std::FILE* out = nullptr;

// Registered before SetAsUnicode, so it runs after the handlers that SetAsUnicode registers.
void WriteFinalPage() {
    std::fprintf(out, " %u\n", ::GetConsoleOutputCP());
    std::fclose(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || (out = std::fopen(argv[1], "w")) == nullptr)
        return 2;
    std::fprintf(out, "%u", ::GetConsoleOutputCP());
    std::atexit(WriteFinalPage);
    sys::console::SetAsUnicode();
    std::fprintf(out, " %u", ::GetConsoleOutputCP());
    return 0;
}
