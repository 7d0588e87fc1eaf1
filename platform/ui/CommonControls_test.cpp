// The common controls' version query, and the version packing that reads it.
#include "platform/base/lasterror.h"
#include "platform/ui/CommonControls.h"

#include <gtest/gtest.h>

namespace {

using plat::ui::GetDllVersion;

TEST(DllVersion, PacksMajorMinorAndBuildAndFailsWithZero)
{
    plat::ui::SetCommonControlsVersion(5, 82);
    EXPECT_EQ(GetDllVersion(&DllGetVersion), 0x0005005200000000u);
    plat::ui::SetCommonControlsVersionFails(true);
    SetLastError(0);
    EXPECT_EQ(GetDllVersion(&DllGetVersion), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(E_NOTIMPL));
    plat::ui::ResetCommonControlsVersion();
    EXPECT_EQ(GetDllVersion(&DllGetVersion) >> 32, 0x6000Au);
}

} // namespace
