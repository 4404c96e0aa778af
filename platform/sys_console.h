#pragma once

namespace sys::console {
// Makes the wide standard streams write UTF-8, so that any wide text reaches the console,
// a file or a pipe intact. A real console is switched to the UTF-8 output code page for the
// life of the process and gets its own page back when the process ends.
void SetAsUnicode();
} // namespace sys::console
