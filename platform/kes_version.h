#pragma once

#include <cstdint>
#include <string>

namespace kes::version {

struct Number {
    std::uint16_t major = 0, minor = 0, build = 0, revision = 0;
};

struct Record {
    Number number;
    // 0 release, 1 debug, 2 beta, 4 private.
    std::int32_t buildKind = 0;
};

// The running executable's file version (from its own version resource) and the build kind
// it was configured with.
Record Current();

// One line naming the tool, its version and its build kind.
std::wstring CmdLineBanner(const std::wstring& toolName);

} // namespace kes::version

namespace str {
// "major.minor.build.revision".
std::wstring as_wstring(const kes::version::Number& number);
} // namespace str
