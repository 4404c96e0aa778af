#pragma once

namespace kes::feature {
// On when the environment variable KES_ANALYTICS_INTERNAL is exactly "1".
bool IsAnalyticsAllowedForInternalBuilds();
} // namespace kes::feature
