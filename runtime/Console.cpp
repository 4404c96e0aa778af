#include "platform/sys_console.h"

#include <cstdio>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace sys::console {

void SetAsUnicode() {
    // Wide output becomes UTF-8 bytes; text mode still turns LF into CR LF.
    _setmode(_fileno(stdout), _O_U8TEXT);
    _setmode(_fileno(stderr), _O_U8TEXT);
    // A real console then has to read those bytes as UTF-8.
    ::SetConsoleOutputCP(CP_UTF8);
}

} // namespace sys::console
