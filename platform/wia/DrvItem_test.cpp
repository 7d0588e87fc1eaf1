#include "platform/wia/DrvItem.h"
#include "platform/wia/ItemTree.h"
#include "platform/wia/testing/MiniDriverStub.h"
#include "platform/wia/wiamindr.h"

#include "platform/com/ComPtr.h"
#include "platform/oleauto/ScopedBstr.h"

#include <gtest/gtest.h>

namespace {

using plat::ComPtr;
using plat::ScopedBstr;

constexpr LONG kFolder = WiaItemTypeFolder | WiaItemTypeRoot | WiaItemTypeDevice;
constexpr LONG kImage = WiaItemTypeImage | WiaItemTypeFile | WiaItemTypeDevice;

class DrvItemTest : public ::testing::Test {
protected:
    ComPtr<IWiaDrvItem> Create(LONG flags, const char16_t* name, const char16_t* fullName, LONG context = 0)
    {
        ScopedBstr itemName(name);
        ScopedBstr itemFullName(fullName);
        ComPtr<IWiaDrvItem> item;
        EXPECT_EQ(S_OK, wiasCreateDrvItem(flags, itemName.Get(), itemFullName.Get(), &driver, context, nullptr,
                                          item.ReleaseAndGetAddressOf()));
        return item;
    }

    static LONG Flags(IWiaDrvItem* item)
    {
        LONG flags = 0;
        EXPECT_EQ(S_OK, item->GetItemFlags(&flags));
        return flags;
    }

    static std::u16string FullName(IWiaDrvItem* item)
    {
        ScopedBstr name;
        EXPECT_EQ(S_OK, item->GetFullItemName(name.Out()));
        return std::u16string(name.View());
    }

    plat::wia::testing::MiniDriverStub driver;
};

TEST_F(DrvItemTest, CreationChecksItsArguments)
{
    ScopedBstr name(u"Root");
    ScopedBstr empty(u"");
    IWiaDrvItem* item = reinterpret_cast<IWiaDrvItem*>(1);
    struct Case {
        BSTR name;
        BSTR fullName;
        IWiaMiniDrv* driver;
        LONG context;
    } refused[] = {
        {nullptr, name.Get(), &driver, 0},
        {name.Get(), empty.Get(), &driver, 0},
        {name.Get(), name.Get(), nullptr, 0},
        {name.Get(), name.Get(), &driver, -1},
    };
    for (const Case& c : refused) {
        EXPECT_EQ(E_INVALIDARG, wiasCreateDrvItem(kFolder, c.name, c.fullName, c.driver, c.context, nullptr, &item));
        EXPECT_EQ(item, nullptr);
        item = reinterpret_cast<IWiaDrvItem*>(1);
    }
    EXPECT_EQ(E_INVALIDARG, wiasCreateDrvItem(kFolder, name.Get(), name.Get(), &driver, 0, nullptr, nullptr));

    BYTE* context = nullptr;
    ASSERT_EQ(S_OK, wiasCreateDrvItem(kImage, name.Get(), name.Get(), &driver, 16, &context, &item));
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(context[0] | context[15], 0); // zeroed
    BYTE* again = nullptr;
    EXPECT_EQ(S_OK, item->GetDeviceSpecContext(&again));
    EXPECT_EQ(again, context);
    EXPECT_EQ(Flags(item), kImage);
    EXPECT_EQ(static_cast<plat::wia::DrvItem*>(item)->MiniDriver(), &driver);
    EXPECT_EQ(item->Release(), 0u);
}

TEST_F(DrvItemTest, FolderHoldsItsChildrenUntilTheTreeIsUnlinked)
{
    ComPtr<IWiaDrvItem> root = Create(kFolder, u"Root", u"0000\\Root");
    ComPtr<IWiaDrvItem> feeder = Create(kImage, u"Feeder", u"0000\\Root\\Feeder");
    ComPtr<IWiaDrvItem> second = Create(kImage, u"Second", u"0000\\Root\\Second");
    ASSERT_EQ(S_OK, feeder->AddItemToFolder(root.Get()));
    ASSERT_EQ(S_OK, second->AddItemToFolder(root.Get()));

    // Refused: into an image item, twice into a folder, a folder into itself.
    EXPECT_EQ(E_INVALIDARG, second->AddItemToFolder(feeder.Get()));
    EXPECT_EQ(E_INVALIDARG, feeder->AddItemToFolder(root.Get()));
    EXPECT_EQ(E_INVALIDARG, root->AddItemToFolder(root.Get()));
    EXPECT_EQ(E_INVALIDARG, root->AddItemToFolder(nullptr));

    ComPtr<IWiaDrvItem> walked;
    ASSERT_EQ(S_OK, root->GetFirstChildItem(walked.ReleaseAndGetAddressOf()));
    EXPECT_EQ(walked.Get(), feeder.Get());
    ASSERT_EQ(S_OK, feeder->GetNextSiblingItem(walked.ReleaseAndGetAddressOf()));
    EXPECT_EQ(walked.Get(), second.Get());
    EXPECT_EQ(S_FALSE, second->GetNextSiblingItem(walked.ReleaseAndGetAddressOf()));
    EXPECT_EQ(walked.Get(), nullptr);
    ASSERT_EQ(S_OK, second->GetParentItem(walked.ReleaseAndGetAddressOf()));
    EXPECT_EQ(walked.Get(), root.Get());
    walked = nullptr;

    // The tree holds the children: the caller's own references can go.
    IWiaDrvItem* child = feeder.Detach();
    EXPECT_EQ(child->Release(), 1u);
    EXPECT_EQ(S_OK, root->UnlinkItemTree(WiaItemTypeDisconnected));
    EXPECT_EQ(Flags(root.Get()) & WiaItemTypeDisconnected, WiaItemTypeDisconnected);
    EXPECT_EQ(Flags(second.Get()) & WiaItemTypeDisconnected, WiaItemTypeDisconnected);
    EXPECT_EQ(S_FALSE, root->GetFirstChildItem(walked.ReleaseAndGetAddressOf()));
    EXPECT_EQ(S_FALSE, second->GetParentItem(walked.ReleaseAndGetAddressOf()));
    // An unlinked folder takes no new children.
    ComPtr<IWiaDrvItem> late = Create(kImage, u"Late", u"0000\\Root\\Late");
    EXPECT_EQ(E_INVALIDARG, late->AddItemToFolder(root.Get()));
}

TEST_F(DrvItemTest, ChildOutlivingItsFolderHasNoFolder)
{
    ComPtr<IWiaDrvItem> root = Create(kFolder, u"Root", u"0000\\Root");
    ComPtr<IWiaDrvItem> feeder = Create(kImage, u"Feeder", u"0000\\Root\\Feeder");
    ASSERT_EQ(S_OK, feeder->AddItemToFolder(root.Get()));
    root = nullptr;
    ComPtr<IWiaDrvItem> parent;
    EXPECT_EQ(S_FALSE, feeder->GetParentItem(parent.ReleaseAndGetAddressOf()));
    EXPECT_EQ(parent.Get(), nullptr);
}

TEST_F(DrvItemTest, ServiceItemsFollowTheDriversTree)
{
    ComPtr<IWiaDrvItem> root = Create(kFolder, u"Root", u"0000\\Root");
    ComPtr<IWiaDrvItem> feeder = Create(kImage, u"Feeder", u"0000\\Root\\Feeder");
    ASSERT_EQ(S_OK, feeder->AddItemToFolder(root.Get()));

    plat::wia::ItemTree tree;
    EXPECT_EQ(E_INVALIDARG, tree.Build(nullptr));
    ASSERT_EQ(S_OK, tree.Build(root.Get()));
    ASSERT_EQ(tree.Entries().size(), 2u);
    EXPECT_EQ(tree.Entries()[1].fullName, u"0000\\Root\\Feeder");
    EXPECT_EQ(tree.Entries()[1].depth, 1);
    plat::wia::WiaItem* item = tree.Find(u"Feeder");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(tree.Find(u"0000\\Root\\Feeder"), item);
    EXPECT_EQ(tree.Find(u"feeder"), nullptr);
    EXPECT_EQ(item->ItemType(), kImage);
    BYTE* rootContext = nullptr;
    ASSERT_EQ(S_OK, wiasGetRootItem(item->Context(), &rootContext));
    EXPECT_EQ(rootContext, tree.Root()->Context());

    IWiaDrvItem* drvItem = nullptr;
    ASSERT_EQ(S_OK, wiasGetDrvItem(item->Context(), &drvItem));
    EXPECT_EQ(drvItem, feeder.Get());
    EXPECT_EQ(FullName(drvItem), u"0000\\Root\\Feeder");
    plat::wia::WiaItem bare(kImage);
    EXPECT_EQ(E_INVALIDARG, wiasGetDrvItem(bare.Context(), &drvItem));
    EXPECT_EQ(drvItem, nullptr);

    // The service's items keep their driver items after the driver let go.
    root->UnlinkItemTree(WiaItemTypeDisconnected);
    root = nullptr;
    feeder = nullptr;
    ASSERT_EQ(S_OK, wiasGetDrvItem(item->Context(), &drvItem));
    EXPECT_EQ(Flags(drvItem) & WiaItemTypeDisconnected, WiaItemTypeDisconnected);
    tree.Clear();
}

} // namespace
