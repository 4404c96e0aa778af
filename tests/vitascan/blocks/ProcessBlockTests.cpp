#include "vitascan/blocks/ProcessBlock.h"

#include <gtest/gtest.h>

namespace {

using vitascan::process_block::Render;

// The machine's processes are shown end to end (the report lists the running VitascanCmd).
TEST(ProcessBlock, OneLinePerProcessAndOneEmptyLineForNone) {
    EXPECT_EQ(Render({{{L"Name", L"a&b.exe"}, {L"CommandLine", L""}}, {}}),
              L"<processes>\r\n  <wmi>\r\n"
              L"    <Win32_Process CommandLine=\"\" Name=\"a&amp;b.exe\"/>\r\n"
              L"    <Win32_Process/>\r\n"
              L"  </wmi>\r\n</processes>\r\n");
    EXPECT_EQ(Render({}), L"<processes>\r\n  <wmi>\r\n\r\n  </wmi>\r\n</processes>\r\n");
}

} // namespace
