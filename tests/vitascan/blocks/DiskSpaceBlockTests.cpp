#include "vitascan/blocks/DiskSpaceBlock.h"

#include <gtest/gtest.h>

namespace {

using vitascan::disk_space_block::Render;

// The machine's drives are shown end to end (C: and Z: under Wine, both fixed).
TEST(DiskSpaceBlock, OneLinePerFixedDriveWithItsSpaceInBytesAndInUnits) {
    EXPECT_EQ(Render({{L"C:\\", 819, 5ULL << 30}, {L"<&>", 0x8000000000000000, 0}}),
              L"<disks>\n"
              L"  <disk type=\"fixed\" drive=\"C:\\\" totalfreebytes=\"819\" "
              L"totalavailablebytes=\"5368709120\" totalfree=\"819 B\" totalavailable=\"5 GB\"/>\n"
              L"  <disk type=\"fixed\" drive=\"&lt;&amp;&gt;\" "
              L"totalfreebytes=\"-9223372036854775808\" totalavailablebytes=\"0\" "
              L"totalfree=\"8388608 TB\" totalavailable=\"0 B\"/>\n"
              L"</disks>\n");
    EXPECT_EQ(Render({}), L"<disks>\n</disks>\n");
}

} // namespace
