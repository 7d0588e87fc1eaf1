#include "pipeline/EmptyShells.h"

#include "pipeline/ComObjectRoot.h"
#include "pipeline/RNXCOMCoreInterfaces.h"
#include "pipeline/TypeLibrary.h"

namespace {

// One class with one operation-less interface, which also answers IDispatch.
template <class Interface, const IID& InterfaceId, plat::TypeInfo& (*Info)()>
class CEmptyShell final : public CComObjectRoot, public plat::DispatchImpl<Interface> {
public:
    explicit CEmptyShell(IUnknown* outer) : CComObjectRoot(outer), plat::DispatchImpl<Interface>(Info()) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        return OuterQueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return OuterAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OuterRelease(); }

private:
    void* GetInterface(REFIID riid) override
    {
        if (riid == InterfaceId || riid == IID_IDispatch)
            return static_cast<Interface*>(this);
        return nullptr;
    }
};

using CRNXPipelineManager = CEmptyShell<IRNXPipelineManager, IID_IRNXPipelineManager, PipelineManagerTypeInfo>;
using CRNXDestination = CEmptyShell<IRNXDestination, IID_IRNXDestination, DestinationTypeInfo>;
using CRNXDestinationModule = CEmptyShell<IRNXDestinationModule, IID_IRNXDestinationModule, DestinationModuleTypeInfo>;
using CTestFree = CEmptyShell<ITestFree, IID_ITestFree, TestFreeTypeInfo>;

// The queue: its own empty interface, and a payload source that has nothing
// to produce.
class CRNXQueue final : public CComObjectRoot,
                        public plat::DispatchImpl<IRNXQueue>,
                        public plat::DispatchImpl<IRNXPayloadSource> {
public:
    explicit CRNXQueue(IUnknown* outer)
        : CComObjectRoot(outer), plat::DispatchImpl<IRNXQueue>(QueueTypeInfo()), plat::DispatchImpl<IRNXPayloadSource>(
                                                                                     PayloadSourceTypeInfo())
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        return OuterQueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return OuterAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OuterRelease(); }

    HRESULT STDMETHODCALLTYPE Produce(IDispatch**) override { return E_NOTIMPL; }

private:
    void* GetInterface(REFIID riid) override
    {
        if (riid == IID_IRNXQueue || riid == IID_IDispatch)
            return static_cast<IRNXQueue*>(this);
        if (riid == IID_IRNXPayloadSource)
            return static_cast<IRNXPayloadSource*>(this);
        return nullptr;
    }
};

} // namespace

HRESULT CreatePipelineManager(IUnknown* outer, REFIID riid, void** ppv)
{
    return plat::CreateComObject<CRNXPipelineManager>(outer, riid, ppv, true);
}
HRESULT CreateQueue(IUnknown* outer, REFIID riid, void** ppv)
{
    return plat::CreateComObject<CRNXQueue>(outer, riid, ppv, true);
}
HRESULT CreateDestination(IUnknown* outer, REFIID riid, void** ppv)
{
    return plat::CreateComObject<CRNXDestination>(outer, riid, ppv, true);
}
HRESULT CreateDestinationModule(IUnknown* outer, REFIID riid, void** ppv)
{
    return plat::CreateComObject<CRNXDestinationModule>(outer, riid, ppv, true);
}
HRESULT CreateTestFree(IUnknown* outer, REFIID riid, void** ppv)
{
    return plat::CreateComObject<CTestFree>(outer, riid, ppv, true);
}
