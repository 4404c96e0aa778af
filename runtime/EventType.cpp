#include "platform/kes_analytics_events.h"

namespace kes::analytics::legacy {

void UnpackEventType(const std::wstring& name, std::wstring& first, std::wstring& second,
                     std::wstring& third) {
    const size_t dot1 = name.find(L'.');
    first = name.substr(0, dot1);
    second.clear();
    third.clear();
    if (dot1 == std::wstring::npos)
        return;
    const size_t dot2 = name.find(L'.', dot1 + 1);
    second =
        name.substr(dot1 + 1, dot2 == std::wstring::npos ? std::wstring::npos : dot2 - dot1 - 1);
    if (dot2 != std::wstring::npos)
        third = name.substr(dot2 + 1);
}

} // namespace kes::analytics::legacy
