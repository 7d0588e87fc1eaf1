#include "platform/usb/testing/UsbfsTestMain.h"

#include <gtest/gtest.h>

#include <memory>

namespace plat::usb::testing {

namespace {

std::unique_ptr<UsbfsTestBed> g_bed;

class UsbfsEnvironment : public ::testing::Environment {
public:
    void SetUp() override { g_bed = std::make_unique<UsbfsTestBed>(); }
    void TearDown() override { g_bed.reset(); }
};

} // namespace

UsbfsTestBed& TestBed() { return *g_bed; }

} // namespace plat::usb::testing

int main(int argc, char** argv)
{
    plat::usb::testing::RunUnderUsbfsTestBed(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new plat::usb::testing::UsbfsEnvironment);
    return RUN_ALL_TESTS();
}
