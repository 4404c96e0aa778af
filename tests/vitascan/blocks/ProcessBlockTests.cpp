#include "vitascan/blocks/ProcessBlock.h"

#include "tests/vitascan/blocks/BlockFixtures.h"

#include <gtest/gtest.h>

namespace {

// The machine's processes are shown end to end (the report lists the running VitascanCmd).
TEST(ProcessBlock, NoWmiGivesTheEmptySection) {
    EXPECT_EQ(block_fixtures::XmlWithoutWmi<vitascan::ProcessBlock>(),
              L"<processes>\r\n  <wmi>\r\n\r\n  </wmi>\r\n</processes>\r\n");
}

} // namespace
