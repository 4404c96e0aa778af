#include "vitascan/blocks/ProcessBlock.h"

#include <thread>

#include <objbase.h>
#include <windows.h>

#include <gtest/gtest.h>

namespace {

// The machine's processes are shown end to end (the report lists the running VitascanCmd).
TEST(ProcessBlock, NoWmiGivesTheEmptySection) {
    std::wstring xml;
    std::thread([&] {
        if (SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
            xml = vitascan::ProcessBlock().GetXml();
            ::CoUninitialize();
        }
    }).join();
    EXPECT_EQ(xml, L"<processes>\r\n  <wmi>\r\n\r\n  </wmi>\r\n</processes>\r\n");
}

} // namespace
