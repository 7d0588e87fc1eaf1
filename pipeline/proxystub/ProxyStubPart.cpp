// The proxy/stub part's class object, its lock count and its registration.
#include "pipeline/proxystub/ProxyStubPart.h"

#include "pipeline/proxystub/PipelineProxyStub.h"
#include "platform/rpc/ProxyStubFactory.h"

#include <algorithm>

namespace rnxcoreps {
namespace {

using plat::rpc::ProxyStubInterface;

// Vtable sizes count IUnknown's three and IDispatch's four operations.
const ProxyStubInterface kInterfaces[] = {
    {&IID_IRNXRBConvert, u"IRNXRBConvert", 7},
    {&IID_IRNXInterconnection, u"IRNXInterconnection", 9},
    {&IID_IRNXDestinationModule, u"IRNXDestinationModule", 7},
    {&IID_IRNXModule, u"IRNXModule", 8},
    {&IID_IRNXTransform, u"IRNXTransform", 7},
    {&IID_IXMLObj, u"IXMLObj", 42},
    {&IID_IRNXHALWrap, u"IRNXHALWrap", 8},
    {&IID_IRNXRasterBand, u"IRNXRasterBand", 39},
    {&IID_IItems, u"IItems", 13},
    {&IID_IRNXPayload, u"IRNXPayload", 13},
    {&IID_IRNXQueue, u"IRNXQueue", 7},
    {&IID_IRNXPipelineManager, u"IRNXPipelineManager", 7},
    {&IID_IRNXPayloadSource, u"IRNXPayloadSource", 8},
    {&IID_ITestFree, u"ITestFree", 7},
    {&IID_IRNXDestination, u"IRNXDestination", 7},
};

// One per process; every reference handed out counts as a lock.
plat::rpc::ProxyStubFactory g_factory(&CreateProxy, &InvokeStub, &ProxyStubLocks());

} // namespace

plat::ComModule& ProxyStubLocks()
{
    static plat::ComModule locks;
    return locks;
}

std::span<const ProxyStubInterface> PipelineInterfaces() { return kInterfaces; }

bool IsPipelineInterface(REFIID iid)
{
    return std::any_of(std::begin(kInterfaces), std::end(kInterfaces),
                       [&](const ProxyStubInterface& entry) { return *entry.iid == iid; });
}

} // namespace rnxcoreps

HRESULT PrxDllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (rclsid != CLSID_RNXCOMCoreProxyStub)
        return CLASS_E_CLASSNOTAVAILABLE;
    return rnxcoreps::g_factory.QueryInterface(riid, ppv);
}

HRESULT PrxDllCanUnloadNow() { return rnxcoreps::ProxyStubLocks().CanUnloadNow(); }

HRESULT PrxDllRegisterServer(std::u16string_view modulePath, bool perUser)
{
    return plat::rpc::RegisterProxyStubs(CLSID_RNXCOMCoreProxyStub, u"RNXCOMCore proxy/stub factory", modulePath,
                                         rnxcoreps::kInterfaces, perUser);
}

HRESULT PrxDllUnregisterServer(bool perUser)
{
    return plat::rpc::UnregisterProxyStubs(CLSID_RNXCOMCoreProxyStub, rnxcoreps::kInterfaces, perUser);
}
