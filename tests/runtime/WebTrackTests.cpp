#include "platform/ws_track.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

using ws::analytics::legacy::impl::Track;

// The suite shows these texts to its user: each says what to set or to mend. (A post that
// reaches a server is shown end to end.)
TEST(WebTrack, WithoutAUsableUrlTheErrorSaysWhatIsWrong) {
    ::SetEnvironmentVariableW(L"KES_TRACK_URL", nullptr);
    EXPECT_EQ(Track(L"<vitascan/>").message(),
              L"Sending the report failed: no tracking URL is set (KES_TRACK_URL)");
    ::SetEnvironmentVariableW(L"KES_TRACK_URL", L"no url");
    EXPECT_EQ(Track(L"<vitascan/>").message(),
              L"Sending the report to no url failed: the URL is not a valid http or https address");
    ::SetEnvironmentVariableW(L"KES_TRACK_URL", nullptr);
}

} // namespace
