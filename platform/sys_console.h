#pragma once

namespace sys::console {
// Makes the wide standard streams write UTF-8, so that any wide text reaches the console,
// a file or a pipe intact.
void SetAsUnicode();
} // namespace sys::console
