#include "platform/com/ComPtr.h"
#include "platform/com/ComTesting.h"
#include "platform/registry/winreg.h"
#include "platform/resources/module.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/base/strings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using plat::ComPtr;
using plat::testing::ComScope;
using plat::testing::CountedValue;

// {7D1C2A4F-...}: registered as a local server only.
constexpr CLSID kLocalOnly = plat::MakeGuid("7D1C2A4F-5E3B-4C8F-9A61-0B2D4E6F8A01");

class Activation : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_com.Result(), S_OK);
        Register(CLSID_TestPlain, u"InprocServer32", QBK_COM_TESTSERVER);
        Register(CLSID_TestAggregatable, u"InprocServer32", QBK_COM_TESTSERVER);
    }
    void TearDown() override
    {
        CoFreeUnusedLibraries();
        EXPECT_EQ(GetModuleHandleA(QBK_COM_TESTSERVER), nullptr) << "an object or factory was leaked";
    }

    static void Register(REFCLSID clsid, const char16_t* subkey, const std::string& path)
    {
        std::u16string name = u"CLSID\\" + plat::GuidToWideString(clsid) + u"\\" + subkey;
        std::u16string value = Utf8ToUtf16(path);
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR))),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    static LONG ServerLocks()
    {
        HMODULE server = GetModuleHandleA(QBK_COM_TESTSERVER);
        auto* count = server ? reinterpret_cast<LONG (*)()>(GetProcAddress(server, "TestServerLockCount")) : nullptr;
        return count ? count() : -1;
    }

    plat::testing::TempSystemRoot m_root;
    ComScope m_com{COINIT_APARTMENTTHREADED};
};

TEST_F(Activation, CreatesAClassOfALibraryNamedInTheRegistry)
{
    ComPtr<ITestValue> value;
    ASSERT_EQ(CoCreateInstance(CLSID_TestPlain, nullptr, CLSCTX_INPROC_SERVER, IID_ITestValue,
                               value.ReleaseAndGetVoidAddress()),
              S_OK);
    LONG answer = 0;
    EXPECT_EQ(value->GetValue(&answer), S_OK);
    EXPECT_EQ(answer, 42);
    EXPECT_EQ(ServerLocks(), 1) << "the object counts on its module";

    CoFreeUnusedLibraries();
    EXPECT_NE(GetModuleHandleA(QBK_COM_TESTSERVER), nullptr) << "kept while an object lives";
    value.Reset();
    EXPECT_EQ(ServerLocks(), 0);
}

TEST_F(Activation, ClassObjectAndServerLock)
{
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_TestAggregatable, CLSCTX_ALL, nullptr, IID_IClassFactory,
                               factory.ReleaseAndGetVoidAddress()),
              S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    CoFreeUnusedLibraries();
    EXPECT_EQ(ServerLocks(), 1) << "LockServer keeps the library";

    ASSERT_EQ(CoGetClassObject(CLSID_TestAggregatable, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               factory.ReleaseAndGetVoidAddress()),
              S_OK);
    ComPtr<ITestValue> value;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ITestValue, value.ReleaseAndGetVoidAddress()), S_OK);
    LONG answer = 0;
    EXPECT_EQ(value->GetValue(&answer), S_OK);
    EXPECT_EQ(answer, 7);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
}

TEST_F(Activation, FailuresSayWhatIsMissing)
{
    Register(kLocalOnly, u"LocalServer32", "/nowhere/server");
    // {7D1C2A4E-...}: a library that is not there; {7D1C2A4D-...}: a library without DllGetClassObject.
    constexpr CLSID kMissingLibrary = plat::MakeGuid("7D1C2A4E-5E3B-4C8F-9A61-0B2D4E6F8A01");
    constexpr CLSID kNotAServer = plat::MakeGuid("7D1C2A4D-5E3B-4C8F-9A61-0B2D4E6F8A01");
    constexpr CLSID kNowhere = plat::MakeGuid("7D1C2A4C-5E3B-4C8F-9A61-0B2D4E6F8A01");
    Register(kMissingLibrary, u"InprocServer32", "/nonexistent/libserver.so");
    Register(kNotAServer, u"InprocServer32", QBK_COM_NOT_A_SERVER);

    struct Case {
        CLSID clsid;
        DWORD context;
        HRESULT expected;
    };
    const Case cases[] = {
        {kNowhere, CLSCTX_INPROC_SERVER, REGDB_E_CLASSNOTREG},
        {kNowhere, CLSCTX_ALL, REGDB_E_CLASSNOTREG},
        {kMissingLibrary, CLSCTX_INPROC_SERVER, CO_E_DLLNOTFOUND},
        {kNotAServer, CLSCTX_INPROC_SERVER, CO_E_ERRORINDLL},
        {kLocalOnly, CLSCTX_INPROC_SERVER, REGDB_E_CLASSNOTREG}, // only a local server
        {kLocalOnly, CLSCTX_LOCAL_SERVER, CO_E_SERVER_EXEC_FAILURE},
        {CLSID_TestPlain, CLSCTX_LOCAL_SERVER, REGDB_E_CLASSNOTREG}, // only in process
    };
    for (const Case& c : cases) {
        void* object = &object;
        EXPECT_EQ(CoCreateInstance(c.clsid, nullptr, c.context, IID_ITestValue, &object), c.expected)
            << plat::GuidToString(c.clsid) << " in context " << c.context;
        EXPECT_EQ(object, nullptr);
    }
}

TEST_F(Activation, AggregationRefusedOrAccepted)
{
    CountedValue outer(0);
    outer.AddRef();
    void* object = &object;

    // A class that cannot be aggregated, and any class asked for another interface than IUnknown.
    EXPECT_EQ(CoCreateInstance(CLSID_TestPlain, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CoCreateInstance(CLSID_TestAggregatable, &outer, CLSCTX_INPROC_SERVER, IID_ITestValue, &object),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);

    ComPtr<IUnknown> inner;
    ASSERT_EQ(CoCreateInstance(CLSID_TestAggregatable, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               inner.ReleaseAndGetVoidAddress()),
              S_OK);
    EXPECT_EQ(outer.References(), 1u) << "the inner holds no reference on its outer";

    ComPtr<ITestValue> value;
    ASSERT_EQ(inner.QueryInterface(IID_ITestValue, value), S_OK);
    EXPECT_EQ(outer.References(), 2u) << "the inner's interfaces count on the outer";
    LONG answer = 0;
    EXPECT_EQ(value->GetValue(&answer), S_OK);
    EXPECT_EQ(answer, 7);

    // Its QueryInterface is the outer's too: the outer answers ITestValue with itself.
    ComPtr<ITestValue> viaOuter;
    ASSERT_EQ(value.QueryInterface(IID_ITestValue, viaOuter), S_OK);
    EXPECT_EQ(viaOuter.Get(), static_cast<ITestValue*>(&outer));
    viaOuter.Reset();
    value.Reset();
    EXPECT_EQ(outer.References(), 1u);
}

} // namespace
