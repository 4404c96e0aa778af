// Text tests the blocks share.
#pragma once

#include "platform/str_convert.h"

#include <string>
#include <string_view>
#include <vector>

namespace vitascan {

// Case-sensitive suffix test.
inline bool EndsWith(std::wstring_view text, std::wstring_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Pieces of `text` between any of the `separators` characters (empty pieces kept).
inline void SplitText(std::vector<std::wstring>& out, std::wstring_view text,
                      std::wstring_view separators) {
    out = str::split(text, separators);
}

} // namespace vitascan
