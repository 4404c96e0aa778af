#include "platform/sys_reg.h"

namespace sys::reg {

std::wstring ConcatenatePath(const std::wstring& first, const std::wstring& second) {
    if (first.empty())
        return second;
    if (second.empty())
        return first;
    std::wstring path = first;
    if (path.back() != L'\\')
        path += L'\\';
    path.append(second, second.front() == L'\\' ? 1 : 0, std::wstring::npos);
    return path;
}

} // namespace sys::reg
