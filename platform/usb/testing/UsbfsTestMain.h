// The main of a test program over a umockdev USB bus: it runs itself under
// umockdev's preload and makes one test bed for all its tests.
#pragma once

#include "platform/usb/testing/UsbfsTestBed.h"

namespace plat::usb::testing {

// The program's test bed, there while its tests run.
UsbfsTestBed& TestBed();

} // namespace plat::usb::testing
