#include "platform/com/ComPtr.h"
#include "platform/com/ComTesting.h"
#include "platform/com/GlobalInterfaceTable.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using plat::ComPtr;
using plat::testing::ComScope;
using plat::testing::CountedValue;

ComPtr<IGlobalInterfaceTable> Table()
{
    ComPtr<IGlobalInterfaceTable> table;
    EXPECT_EQ(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IGlobalInterfaceTable,
                               table.ReleaseAndGetVoidAddress()),
              S_OK);
    return table;
}

TEST(GlobalInterfaceTable, AnotherThreadGetsAUsableAddRefdPointer)
{
    ComScope com(COINIT_APARTMENTTHREADED);
    CountedValue object(42);
    ComPtr<IGlobalInterfaceTable> table = Table();
    ASSERT_TRUE(table);

    DWORD cookie = 0;
    ASSERT_EQ(table->RegisterInterfaceInGlobal(&object, IID_ITestValue, &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    EXPECT_EQ(object.References(), 1u) << "the table holds one reference";

    std::thread([&] {
        // Without COM on this thread the table refuses.
        void* unused = &unused;
        EXPECT_EQ(table->GetInterfaceFromGlobal(cookie, IID_ITestValue, &unused), CO_E_NOTINITIALIZED);
        EXPECT_EQ(unused, nullptr);
        DWORD another = 5;
        EXPECT_EQ(table->RegisterInterfaceInGlobal(&object, IID_ITestValue, &another), CO_E_NOTINITIALIZED);
        EXPECT_EQ(table->RevokeInterfaceFromGlobal(cookie), CO_E_NOTINITIALIZED);

        ComScope threadCom(COINIT_MULTITHREADED);
        ComPtr<IGlobalInterfaceTable> threadTable = Table();
        ComPtr<ITestValue> value;
        ASSERT_EQ(threadTable->GetInterfaceFromGlobal(cookie, IID_ITestValue, value.ReleaseAndGetVoidAddress()), S_OK);
        EXPECT_EQ(object.References(), 2u) << "the caller owns one reference";
        LONG answer = 0;
        EXPECT_EQ(value->GetValue(&answer), S_OK);
        EXPECT_EQ(answer, 42);
    }).join();

    EXPECT_EQ(object.References(), 1u);
    EXPECT_EQ(table->RevokeInterfaceFromGlobal(cookie), S_OK);
    EXPECT_EQ(object.References(), 0u);
}

TEST(GlobalInterfaceTable, CookiesAreFreshAndRevokedOnesAreGone)
{
    ComScope com(COINIT_MULTITHREADED);
    CountedValue object(1);
    ComPtr<IGlobalInterfaceTable> table = Table();

    DWORD first = 0;
    DWORD second = 0;
    ASSERT_EQ(table->RegisterInterfaceInGlobal(&object, IID_ITestValue, &first), S_OK);
    ASSERT_EQ(table->RegisterInterfaceInGlobal(&object, IID_ITestValue, &second), S_OK);
    EXPECT_NE(first, second);
    EXPECT_EQ(object.References(), 2u);

    EXPECT_EQ(table->RevokeInterfaceFromGlobal(first), S_OK);
    EXPECT_EQ(table->RevokeInterfaceFromGlobal(first), E_INVALIDARG);
    void* out = &out;
    EXPECT_EQ(table->GetInterfaceFromGlobal(first, IID_ITestValue, &out), E_INVALIDARG);
    EXPECT_EQ(out, nullptr);

    // Asking for an interface the object lacks fails without a reference left behind.
    EXPECT_EQ(table->GetInterfaceFromGlobal(second, IID_IGlobalInterfaceTable, &out), E_NOINTERFACE);
    EXPECT_EQ(object.References(), 1u);
    DWORD none = 9;
    EXPECT_EQ(table->RegisterInterfaceInGlobal(&object, IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, 0u);

    EXPECT_EQ(table->RevokeInterfaceFromGlobal(second), S_OK);
    EXPECT_EQ(object.References(), 0u);
}

TEST(GlobalInterfaceTable, LastThreadLeavingComReleasesWhatIsLeft)
{
    CountedValue object(3);
    std::thread([&] {
        ComScope com(COINIT_MULTITHREADED);
        DWORD cookie = 0;
        ASSERT_EQ(Table()->RegisterInterfaceInGlobal(&object, IID_ITestValue, &cookie), S_OK);
        EXPECT_EQ(object.References(), 1u);
    }).join();
    EXPECT_EQ(object.References(), 0u);
}

TEST(ComPtr, OwnsExactlyOneReference)
{
    CountedValue object(0);
    {
        ComPtr<ITestValue> a(&object);
        EXPECT_EQ(object.References(), 1u);
        ComPtr<ITestValue> b = a;
        EXPECT_EQ(object.References(), 2u);
        ComPtr<ITestValue> c = std::move(b);
        EXPECT_FALSE(b);
        EXPECT_EQ(object.References(), 2u);
        c = a;
        EXPECT_EQ(object.References(), 2u) << "self-consistent copy assignment";
        ITestValue* raw = nullptr;
        EXPECT_EQ(a.CopyTo(&raw), S_OK);
        EXPECT_EQ(object.References(), 3u);
        ComPtr<ITestValue> d;
        d.Attach(raw);
        EXPECT_EQ(object.References(), 3u);
        raw = d.Detach();
        raw->Release();
        ComPtr<IUnknown> unknown;
        EXPECT_EQ(a.QueryInterface(IID_IUnknown, unknown), S_OK);
        EXPECT_EQ(object.References(), 3u);
        EXPECT_EQ(a.QueryInterface(IID_IClassFactory, unknown), E_NOINTERFACE);
        EXPECT_FALSE(unknown);
        EXPECT_EQ(object.References(), 2u);
    }
    EXPECT_EQ(object.References(), 0u);
}

} // namespace
