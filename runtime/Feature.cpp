#include "platform/kes_feature.h"

#include <windows.h>

namespace kes::feature {

bool IsAnalyticsAllowedForInternalBuilds() {
    wchar_t value[4] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"KES_ANALYTICS_INTERNAL", value, 4);
    return length == 1 && value[0] == L'1';
}

} // namespace kes::feature
