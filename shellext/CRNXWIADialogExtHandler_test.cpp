#include "platform/ui/Icons.h"
#include "shellext/CRNXWIADialogExtHandler.h"

#include <gtest/gtest.h>

namespace {

plat::ComPtr<IWiaUIExtension> NewHandler()
{
    plat::ComPtr<IWiaUIExtension> handler;
    EXPECT_EQ(CRNXWIADialogExtHandler::Create(nullptr, IID_IWiaUIExtension, handler.ReleaseAndGetVoidAddress()), S_OK);
    return handler;
}

TEST(WIADialogExtHandler, GivesTheIconAtExactlyTheAskedSizeAndReleasesTheLoadedOne)
{
    auto handler = NewHandler();
    ASSERT_TRUE(handler);
    for (const ULONG size : {16u, 32u, 48u}) {
        SCOPED_TRACE(size);
        const size_t before = plat::ui::LiveIconCount();
        HICON icon = nullptr;
        ASSERT_EQ(handler->GetDeviceIcon(nullptr, &icon, size), S_OK);
        plat::ui::IconImage image{};
        ASSERT_TRUE(plat::ui::GetIconImage(icon, &image));
        EXPECT_EQ(image.width, static_cast<int>(size));
        EXPECT_EQ(image.height, static_cast<int>(size));
        EXPECT_EQ(image.bitCount, 32);
        // Only the caller's copy lives on.
        EXPECT_EQ(plat::ui::LiveIconCount(), before + 1);
        EXPECT_TRUE(DestroyIcon(icon));
        EXPECT_EQ(plat::ui::LiveIconCount(), before);
    }
}

TEST(WIADialogExtHandler, NoPlaceForTheIconIsAPointerError)
{
    auto handler = NewHandler();
    ASSERT_TRUE(handler);
    const size_t before = plat::ui::LiveIconCount();
    EXPECT_EQ(handler->GetDeviceIcon(nullptr, nullptr, 32), E_POINTER);
    EXPECT_EQ(plat::ui::LiveIconCount(), before);
}

TEST(WIADialogExtHandler, DialogAndLogoAreLeftToTheSystem)
{
    auto handler = NewHandler();
    ASSERT_TRUE(handler);
    EXPECT_EQ(handler->DeviceDialog(nullptr), E_NOTIMPL);
    DEVICEDIALOGDATA data{sizeof(DEVICEDIALOGDATA), nullptr, nullptr, 0, 0, 0, nullptr};
    EXPECT_EQ(handler->DeviceDialog(&data), E_NOTIMPL);
    EXPECT_EQ(handler->GetDeviceBitmapLogo(nullptr, nullptr, 0, 0), E_NOTIMPL);
    HBITMAP logo = nullptr;
    EXPECT_EQ(handler->GetDeviceBitmapLogo(nullptr, &logo, 64, 64), E_NOTIMPL);
    EXPECT_EQ(logo, nullptr);
}

TEST(WIADialogExtHandler, AnswersItsTwoInterfacesAndCanBeAggregated)
{
    auto handler = NewHandler();
    ASSERT_TRUE(handler);
    plat::ComPtr<IUnknown> own, identity, other;
    EXPECT_EQ(handler->QueryInterface(IID_IRNXWIADialogExtHandler, own.ReleaseAndGetVoidAddress()), S_OK);
    EXPECT_EQ(handler->QueryInterface(IID_IUnknown, identity.ReleaseAndGetVoidAddress()), S_OK);
    EXPECT_EQ(handler->QueryInterface(IID_IShellExtInit, other.ReleaseAndGetVoidAddress()), E_NOINTERFACE);

    // An outer object gets the inner unknown only.
    plat::ComPtr<IUnknown> inner;
    EXPECT_EQ(CRNXWIADialogExtHandler::Create(identity.Get(), IID_IWiaUIExtension, inner.ReleaseAndGetVoidAddress()),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(CRNXWIADialogExtHandler::Create(identity.Get(), IID_IUnknown, inner.ReleaseAndGetVoidAddress()), S_OK);
    plat::ComPtr<IWiaUIExtension> extension;
    EXPECT_EQ(inner->QueryInterface(IID_IWiaUIExtension, extension.ReleaseAndGetVoidAddress()), S_OK);
}

} // namespace
