#include "pipeline/CoClasses.h"
#include "pipeline/testing/PipelineLibraryTest.h"
#include "platform/testing/RegistryRows.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

// Every key under HKCR with its default and named string values.
using RegistrySnapshot = plat::testing::RegistryRows;

RegistrySnapshot Snapshot() { return plat::testing::ClassesRootRows(); }

std::u16string Value(const RegistrySnapshot& snapshot, const std::u16string& key, const std::u16string& name = u"")
{
    auto k = snapshot.find(key);
    if (k == snapshot.end())
        return u"<no key>";
    auto v = k->second.find(name);
    return v == k->second.end() ? u"<no value>" : v->second;
}

struct RegisteredClass {
    const char16_t* name;
    const CLSID& clsid;
    const char16_t* threading;
};

const RegisteredClass kRegistered[] = {
    {u"RNXHALWrap", CLSID_RNXHALWrap, u"Both"},
    {u"RNXRasterBand", CLSID_RNXRasterBand, u"Both"},
    {u"RNXRBConvert", CLSID_RNXRBConvert, u"Both"},
    {u"RNXInterconnection", CLSID_RNXInterconnection, u"Both"},
    {u"XMLObj", CLSID_XMLObj, u"Both"},
    {u"RNXPipelineManager", CLSID_RNXPipelineManager, u"Both"},
    {u"RNXQueue", CLSID_RNXQueue, u"Both"},
    {u"RNXDestination", CLSID_RNXDestination, u"Both"},
    {u"RNXDestinationModule", CLSID_RNXDestinationModule, u"Both"},
    {u"TestFree", CLSID_TestFree, u"Free"},
};

// The interfaces whose proxies and stubs the library carries, with their
// vtable sizes.
struct MarshalledInterface {
    const char16_t* name;
    const IID& iid;
    const char16_t* methods;
};

const MarshalledInterface kMarshalled[] = {
    {u"IRNXRBConvert", IID_IRNXRBConvert, u"7"},
    {u"IRNXInterconnection", IID_IRNXInterconnection, u"9"},
    {u"IRNXDestinationModule", IID_IRNXDestinationModule, u"7"},
    {u"IRNXModule", IID_IRNXModule, u"8"},
    {u"IRNXTransform", IID_IRNXTransform, u"7"},
    {u"IXMLObj", IID_IXMLObj, u"42"},
    {u"IRNXHALWrap", IID_IRNXHALWrap, u"8"},
    {u"IRNXRasterBand", IID_IRNXRasterBand, u"39"},
    {u"IItems", IID_IItems, u"13"},
    {u"IRNXPayload", IID_IRNXPayload, u"13"},
    {u"IRNXQueue", IID_IRNXQueue, u"7"},
    {u"IRNXPipelineManager", IID_IRNXPipelineManager, u"7"},
    {u"IRNXPayloadSource", IID_IRNXPayloadSource, u"8"},
    {u"ITestFree", IID_ITestFree, u"7"},
    {u"IRNXDestination", IID_IRNXDestination, u"7"},
};

class RegistrationTest : public PipelineLibraryTest {
protected:
    bool RegisterOnSetUp() const override { return false; }
};

TEST_F(RegistrationTest, WritesExactlyTheClassesAppIdTypeLibraryAndProxiesAndTakesThemBack)
{
    const RegistrySnapshot before = Snapshot();
    ASSERT_EQ(m_register(), S_OK);
    const RegistrySnapshot after = Snapshot();

    const std::u16string path = Utf8ToUtf16(QBK_RNXCOMCORE);
    const std::u16string libid = plat::GuidToWideString(LIBID_RNXCOMCoreLib);
    const std::u16string appid = plat::GuidToWideString(APPID_RNXCOMCore);
    std::vector<std::u16string> expected{u"CLSID",   u"AppID",    u"AppID\\" + appid, u"AppID\\RNXCOMCore.DLL",
                                         u"TypeLib", u"Interface"};
    for (const RegisteredClass& c : kRegistered) {
        const std::u16string clsid = plat::GuidToWideString(c.clsid);
        const std::u16string progId = std::u16string(u"RNXCOMCore.") + c.name;
        const std::u16string key = u"CLSID\\" + clsid;
        const std::u16string description = std::u16string(c.name) + u" Class";
        expected.insert(expected.end(),
                        {progId + u".1", progId + u".1\\CLSID", progId, progId + u"\\CLSID", progId + u"\\CurVer", key,
                         key + u"\\ProgID", key + u"\\VersionIndependentProgID", key + u"\\Programmable",
                         key + u"\\InprocServer32", key + u"\\TypeLib"});
        SCOPED_TRACE(Utf16ToUtf8(c.name));
        EXPECT_EQ(Value(after, key), description);
        EXPECT_EQ(Value(after, progId + u".1"), description);
        EXPECT_EQ(Value(after, progId + u".1\\CLSID"), clsid);
        EXPECT_EQ(Value(after, progId + u"\\CurVer"), progId + u".1");
        EXPECT_EQ(Value(after, progId + u"\\CLSID"), clsid);
        EXPECT_EQ(Value(after, key + u"\\ProgID"), progId + u".1");
        EXPECT_EQ(Value(after, key + u"\\VersionIndependentProgID"), progId);
        EXPECT_EQ(Value(after, key + u"\\InprocServer32"), path);
        EXPECT_EQ(Value(after, key + u"\\InprocServer32", u"ThreadingModel"), c.threading);
        EXPECT_EQ(Value(after, key + u"\\TypeLib"), libid);
    }
    const std::u16string lib = u"TypeLib\\" + libid;
    const std::u16string win = sizeof(void*) == 8 ? u"win64" : u"win32";
    expected.insert(expected.end(), {lib, lib + u"\\1.0", lib + u"\\1.0\\0", lib + u"\\1.0\\0\\" + win,
                                     lib + u"\\1.0\\FLAGS", lib + u"\\1.0\\HELPDIR"});
    EXPECT_EQ(Value(after, lib + u"\\1.0"), u"RNXCOMCore 1.0 Type Library");
    EXPECT_EQ(Value(after, lib + u"\\1.0\\0\\" + win), path);
    // The proxy/stub class, and every interface naming it.
    const std::u16string proxyStub = plat::GuidToWideString(CLSID_RNXCOMCoreProxyStub);
    const std::u16string proxyStubKey = u"CLSID\\" + proxyStub;
    expected.insert(expected.end(), {proxyStubKey, proxyStubKey + u"\\InprocServer32"});
    EXPECT_EQ(Value(after, proxyStubKey), u"RNXCOMCore proxy/stub factory");
    EXPECT_EQ(Value(after, proxyStubKey + u"\\InprocServer32"), path);
    EXPECT_EQ(Value(after, proxyStubKey + u"\\InprocServer32", u"ThreadingModel"), u"Both");
    for (const MarshalledInterface& i : kMarshalled) {
        const std::u16string key = u"Interface\\" + plat::GuidToWideString(i.iid);
        expected.insert(expected.end(), {key, key + u"\\ProxyStubClsid32", key + u"\\NumMethods"});
        SCOPED_TRACE(Utf16ToUtf8(i.name));
        EXPECT_EQ(Value(after, key), i.name);
        EXPECT_EQ(Value(after, key + u"\\ProxyStubClsid32"), proxyStub);
        EXPECT_EQ(Value(after, key + u"\\NumMethods"), i.methods);
    }
    EXPECT_EQ(Value(after, u"AppID\\" + appid), u"RNXCOMCore");
    EXPECT_EQ(Value(after, u"AppID\\RNXCOMCore.DLL", u"AppID"), appid);
    // The scripts carried but never run leave no trace.
    EXPECT_EQ(after.count(u"RNXCOMCore.RNXModule"), 0u);
    EXPECT_EQ(after.count(u"RNXCOMCore.Items"), 0u);

    std::vector<std::u16string> added;
    for (const auto& [key, values] : after) {
        if (!before.count(key))
            added.push_back(key);
    }
    std::sort(expected.begin(), expected.end());
    std::sort(added.begin(), added.end());
    EXPECT_EQ(added, expected);

    ASSERT_EQ(m_unregister(), S_OK);
    RegistrySnapshot removed = Snapshot();
    // The shared parent keys stay, empty.
    for (const char16_t* parent : {u"CLSID", u"AppID", u"TypeLib", u"Interface"}) {
        if (!before.count(parent))
            removed.erase(parent);
    }
    EXPECT_EQ(removed, before);
    // Unregistering what is not there is no error.
    EXPECT_EQ(m_unregister(), S_OK);
}

TEST_F(RegistrationTest, InstallForTheUserWritesUnderTheUsersClasses)
{
    using InstallFn = HRESULT (*)(BOOL, LPCWSTR);
    auto install = reinterpret_cast<InstallFn>(GetProcAddress(m_library, "DllInstall"));
    ASSERT_NE(install, nullptr);
    ASSERT_EQ(install(TRUE, u"User"), S_OK);
    const std::u16string key = u"Software\\Classes\\CLSID\\" + plat::GuidToWideString(CLSID_XMLObj);
    HKEY h = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h), ERROR_SUCCESS);
    RegCloseKey(h);
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &h), ERROR_SUCCESS);
    ASSERT_EQ(install(FALSE, u"user"), S_OK);
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h), ERROR_SUCCESS);
}

using ClassObjectTest = PipelineLibraryTest;

// Which interfaces each creatable class answers, and which it refuses; each
// is made through the registry.
TEST_F(ClassObjectTest, EachClassAnswersItsInterfaces)
{
    struct Case {
        const char* name;
        const CLSID& clsid;
        std::vector<IID> answers;
    };
    const Case cases[] = {
        {"RNXRasterBand", CLSID_RNXRasterBand, {IID_IRNXRasterBand, IID_IRNXPayload}},
        {"XMLObj", CLSID_XMLObj, {IID_IXMLObj}},
        {"RNXPipelineManager", CLSID_RNXPipelineManager, {IID_IRNXPipelineManager}},
        {"RNXQueue", CLSID_RNXQueue, {IID_IRNXQueue, IID_IRNXPayloadSource}},
        {"RNXDestination", CLSID_RNXDestination, {IID_IRNXDestination}},
        {"RNXDestinationModule", CLSID_RNXDestinationModule, {IID_IRNXDestinationModule}},
        {"TestFree", CLSID_TestFree, {IID_ITestFree}},
    };
    const IID all[] = {IID_IRNXPipelineManager,
                       IID_IRNXQueue,
                       IID_IRNXPayloadSource,
                       IID_IRNXDestination,
                       IID_IRNXDestinationModule,
                       IID_ITestFree,
                       IID_IRNXRasterBand,
                       IID_IRNXPayload,
                       IID_IXMLObj,
                       IID_IRNXModule};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto object = Create<IUnknown>(c.clsid, IID_IUnknown);
        ASSERT_TRUE(object);
        for (const IID& iid : all) {
            plat::ComPtr<IUnknown> answer;
            bool expected = std::find(c.answers.begin(), c.answers.end(), iid) != c.answers.end();
            EXPECT_EQ(object->QueryInterface(iid, answer.ReleaseAndGetVoidAddress()), expected ? S_OK : E_NOINTERFACE)
                << plat::GuidToString(iid);
        }
        // IDispatch is the first interface, with the object's identity.
        plat::ComPtr<IUnknown> dispatch, primary, identity;
        ASSERT_EQ(object->QueryInterface(IID_IDispatch, dispatch.ReleaseAndGetVoidAddress()), S_OK);
        ASSERT_EQ(object->QueryInterface(c.answers[0], primary.ReleaseAndGetVoidAddress()), S_OK);
        EXPECT_EQ(dispatch.Get(), primary.Get());
        ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, identity.ReleaseAndGetVoidAddress()), S_OK);
        EXPECT_EQ(identity.Get(), object.Get());
    }
}

// The type library's coclasses: the ten registered classes, whose objects
// answer exactly the interfaces declared (the default one being what
// IDispatch gives), then the two that are never registered.
TEST_F(ClassObjectTest, TheTypeLibraryDeclaresTwelveCoClassesAsTheirObjectsAre)
{
    ASSERT_EQ(std::size(kRNXCOMCoreCoClasses), 12u);
    for (size_t i = 0; i < std::size(kRNXCOMCoreCoClasses); ++i) {
        const plat::CoClassDesc& coclass = kRNXCOMCoreCoClasses[i];
        SCOPED_TRACE(Utf16ToUtf8(coclass.name));
        plat::ComPtr<IClassFactory> factory;
        HRESULT hr = CoGetClassObject(coclass.clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                      factory.ReleaseAndGetVoidAddress());
        if (i >= std::size(kRegistered)) {
            EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
            continue;
        }
        EXPECT_EQ(std::u16string(coclass.name), kRegistered[i].name);
        ASSERT_EQ(hr, S_OK);
        plat::ComPtr<IUnknown> object;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.ReleaseAndGetVoidAddress()), S_OK);
        for (const MarshalledInterface& m : kMarshalled) {
            const bool declared = std::any_of(coclass.interfaces.begin(), coclass.interfaces.end(),
                                              [&](const IID* iid) { return *iid == m.iid; });
            plat::ComPtr<IUnknown> answer;
            EXPECT_EQ(object->QueryInterface(m.iid, answer.ReleaseAndGetVoidAddress()), declared ? S_OK : E_NOINTERFACE)
                << Utf16ToUtf8(m.name);
        }
        plat::ComPtr<IUnknown> dispatch, primary;
        ASSERT_EQ(object->QueryInterface(IID_IDispatch, dispatch.ReleaseAndGetVoidAddress()), S_OK);
        ASSERT_EQ(object->QueryInterface(*coclass.interfaces[0], primary.ReleaseAndGetVoidAddress()), S_OK);
        EXPECT_EQ(dispatch.Get(), primary.Get());
    }
}

TEST_F(ClassObjectTest, QueueHasNothingToProduce)
{
    auto source = Create<IRNXPayloadSource>(CLSID_RNXQueue, IID_IRNXPayloadSource);
    ASSERT_TRUE(source);
    IDispatch* payload = nullptr;
    EXPECT_EQ(source->Produce(&payload), E_NOTIMPL);
}

TEST_F(ClassObjectTest, ClassesNotMadeHereAreNotAvailable)
{
    for (const CLSID* clsid : {&CLSID_RNXModule, &CLSID_Items, &CLSID_RNXPayloadSource}) {
        plat::ComPtr<IClassFactory> factory;
        EXPECT_EQ(m_getClassObject(*clsid, IID_IClassFactory, factory.ReleaseAndGetVoidAddress()),
                  CLASS_E_CLASSNOTAVAILABLE);
    }
}

TEST_F(ClassObjectTest, ObjectsFactoriesAndLocksKeepTheLibraryLoaded)
{
    EXPECT_EQ(m_canUnload(), S_OK);
    {
        auto object = Create<IUnknown>(CLSID_TestFree, IID_IUnknown);
        EXPECT_EQ(m_canUnload(), S_FALSE);
    }
    EXPECT_EQ(m_canUnload(), S_OK);

    plat::ComPtr<IClassFactory> factory;
    ASSERT_EQ(m_getClassObject(CLSID_RNXQueue, IID_IClassFactory, factory.ReleaseAndGetVoidAddress()), S_OK);
    EXPECT_EQ(m_canUnload(), S_FALSE);
    factory->LockServer(TRUE);
    factory.Reset();
    EXPECT_EQ(m_canUnload(), S_FALSE); // the server lock alone
    // The lock counts on the module, so another factory takes it back.
    ASSERT_EQ(m_getClassObject(CLSID_RNXQueue, IID_IClassFactory, factory.ReleaseAndGetVoidAddress()), S_OK);
    factory->LockServer(FALSE);
    factory.Reset();
    EXPECT_EQ(m_canUnload(), S_OK);
}

TEST_F(ClassObjectTest, ShellsAcceptAnOuterObject)
{
    // Any IUnknown will do as the outer: the inner's own unknown is what we get back.
    auto outer = Create<IUnknown>(CLSID_RNXDestination, IID_IUnknown);
    ASSERT_TRUE(outer);
    plat::ComPtr<IUnknown> inner;
    EXPECT_EQ(CoCreateInstance(CLSID_TestFree, outer.Get(), CLSCTX_INPROC_SERVER, IID_IUnknown,
                               inner.ReleaseAndGetVoidAddress()),
              S_OK);
    EXPECT_TRUE(inner);
    // An outer may only ask for IUnknown.
    plat::ComPtr<IUnknown> refused;
    EXPECT_EQ(CoCreateInstance(CLSID_TestFree, outer.Get(), CLSCTX_INPROC_SERVER, IID_ITestFree,
                               refused.ReleaseAndGetVoidAddress()),
              CLASS_E_NOAGGREGATION);
}

TEST_F(ClassObjectTest, DispatchIsServedFromTheTypeLibrary)
{
    auto dispatch = Create<IDispatch>(CLSID_RNXQueue, IID_IDispatch);
    ASSERT_TRUE(dispatch);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(dispatch->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(dispatch->GetTypeInfo(0, 0, nullptr), E_POINTER);
    ASSERT_EQ(dispatch->GetTypeInfo(0, 0, &info), S_OK);
    GUID iid{};
    EXPECT_EQ(info->GetGuid(&iid), S_OK);
    EXPECT_EQ(iid, IID_IRNXQueue);
    // The type information lives in the library: holding it keeps the library.
    dispatch.Reset();
    EXPECT_EQ(m_canUnload(), S_FALSE);
    info->Release();
    EXPECT_EQ(m_canUnload(), S_OK);
}

} // namespace
