#include "platform/sys_console.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace sys::console {

namespace {

// The console's output code page before this process changed it; 0 while unchanged.
std::atomic<UINT> originalOutputPage{0};

void RestoreOutputPage() {
    if (const UINT page = originalOutputPage.exchange(0); page != 0)
        ::SetConsoleOutputCP(page);
}

// Ctrl+C, Ctrl+Break or a closed window end the process without running atexit.
BOOL WINAPI RestoreOnControlEvent(DWORD) {
    RestoreOutputPage();
    return FALSE; // the default handler still ends the process
}

bool IsConsole(FILE* stream) {
    DWORD mode = 0;
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

} // namespace

void SetAsUnicode() {
    // Wide output becomes UTF-8 bytes; text mode still turns LF into CR LF.
    _setmode(_fileno(stdout), _O_U8TEXT);
    _setmode(_fileno(stderr), _O_U8TEXT);

    // Redirected output is UTF-8 as it is. Only a real console reads the bytes through its
    // output code page, and that console is the user's window, which outlives this process:
    // switch it to UTF-8 for the run and give the old page back when the process ends.
    if (originalOutputPage.load() != 0 || !(IsConsole(stdout) || IsConsole(stderr)))
        return;
    const UINT page = ::GetConsoleOutputCP();
    if (page == 0 || page == CP_UTF8 || !::SetConsoleOutputCP(CP_UTF8))
        return;
    originalOutputPage = page;
    std::atexit(RestoreOutputPage);
    ::SetConsoleCtrlHandler(RestoreOnControlEvent, TRUE);
}

} // namespace sys::console
