// Test helpers: a recorded scanner, its device class key, the log file.
#pragma once

#include "coinst/CoInstallerLog.h"
#include "coinst/DeviceKey.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace coinst::testing {

inline plat::devices::DeviceRecord AddScanner(const std::u16string& serial)
{
    plat::devices::DeviceIdentity identity;
    identity.vendorId = 0x0ABC;
    identity.productId = 0x0DEF;
    identity.serial = serial;
    plat::devices::DeviceRecord record;
    EXPECT_TRUE(plat::devices::AddDevice(identity, &record));
    return record;
}

inline void SetString(const std::u16string& driverKey, const char16_t* name, const std::u16string& value)
{
    ScopedKey key(OpenDeviceClassKey(driverKey, KEY_READ | KEY_WRITE));
    ASSERT_TRUE(key);
    ASSERT_TRUE(WriteDeviceString(key.get(), name, value));
}

inline std::optional<std::u16string> GetString(const std::u16string& driverKey, const char16_t* name)
{
    ScopedKey key(OpenDeviceClassKey(driverKey, KEY_READ));
    if (!key)
        return std::nullopt;
    return ReadDeviceString(key.get(), name);
}

inline void MakeLogFolder()
{
    std::filesystem::create_directories(std::filesystem::path(CoInstallerLogPath()).parent_path());
}

inline std::string ReadLog()
{
    std::ifstream file(CoInstallerLogPath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A log text with each "\n" written as the file has it.
inline std::string Lines(const std::string& text)
{
    std::string result;
    for (char c : text) {
        if (c == '\n')
            result += '\r';
        result += c;
    }
    return result;
}

} // namespace coinst::testing
