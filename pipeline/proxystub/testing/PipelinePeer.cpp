// The other process of the cross-process tests. It loads the pipeline
// library (registered in the test's system root) and serves, as a local
// server, the library's XMLObj, RNXRasterBand, RNXQueue and
// RNXInterconnection classes and the two classes of PipelinePeer.h; prints
// "ready" once all are published and pumps messages until it is killed or
// the test that reads its output is gone.
#include "pipeline/proxystub/testing/PipelinePeer.h"
#include "pipeline/testing/FakePayloadSource.h"

#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace pipelinetest;

plat::ComModule g_module;

// Whatever is added, numbered from 1; its enumerator is the collection
// itself. Nothing calls its IDispatch half.
class ToyItems final : public TestDispatchObject<IItems, IID_IItems> {
public:
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv)
    {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* items = new ToyItems;
        HRESULT hr = items->QueryInterface(riid, ppv);
        items->Release();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** ppUnk) override
    {
        return ppUnk ? QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ppUnk)) : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE get_Item(LONG Index, IDispatch** ppItem) override
    {
        if (!ppItem)
            return E_POINTER;
        *ppItem = nullptr;
        if (Index < 1 || static_cast<size_t>(Index) > m_items.size())
            return E_INVALIDARG;
        *ppItem = m_items[static_cast<size_t>(Index) - 1];
        (*ppItem)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Count(LONG* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = static_cast<LONG>(m_items.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Add(IDispatch* Item) override
    {
        if (!Item)
            return E_POINTER;
        Item->AddRef();
        m_items.push_back(Item);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Remove(LONG Index) override
    {
        if (Index < 1 || static_cast<size_t>(Index) > m_items.size())
            return E_INVALIDARG;
        m_items[static_cast<size_t>(Index) - 1]->Release();
        m_items.erase(m_items.begin() + (Index - 1));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clear() override
    {
        for (IDispatch* item : m_items)
            item->Release();
        m_items.clear();
        return S_OK;
    }

private:
    ToyItems() = default;
    ~ToyItems() override { Clear(); }

    plat::ModuleLock m_lock{g_module};
    std::vector<IDispatch*> m_items;
};

HRESULT CreatePatternSource(IUnknown* outer, REFIID riid, void** ppv)
{
    if (outer)
        return CLASS_E_NOAGGREGATION;
    auto* source = new FakePayloadSource;
    source->handler = [](IDispatch** payload) { return payload ? FillWithPattern(*payload, 0) : E_POINTER; };
    HRESULT hr = source->QueryInterface(riid, ppv);
    source->Release();
    return hr;
}

bool Publish(REFCLSID clsid, IUnknown* factory)
{
    DWORD cookie = 0;
    return factory &&
           SUCCEEDED(CoRegisterClassObject(clsid, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie));
}

bool PublishLibraryClass(REFCLSID clsid)
{
    plat::ComPtr<IClassFactory> factory;
    return SUCCEEDED(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                      factory.ReleaseAndGetVoidAddress())) &&
           Publish(clsid, factory.Get());
}

bool PublishOwnClass(REFCLSID clsid, plat::ClassFactory::Creator create)
{
    plat::ComPtr<IClassFactory> factory;
    plat::ClassFactory::Make(g_module, create, IID_IClassFactory, factory.ReleaseAndGetVoidAddress());
    return Publish(clsid, factory.Get());
}

// Ends the process once nothing reads its output any more: when the test
// is gone, crashed or not, its peer goes too.
void EndWithTheTest()
{
    std::thread([] {
        pollfd out{STDOUT_FILENO, 0, 0};
        while (poll(&out, 1, -1) < 0 && errno == EINTR) {
        }
        _exit(0);
    }).detach();
}

} // namespace

int main()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    plat::EnsureThreadMessageQueue();
    // Published for the life of the process; the registrations keep the
    // class objects.
    bool ok = PublishLibraryClass(CLSID_XMLObj) && PublishLibraryClass(CLSID_RNXRasterBand) &&
              PublishLibraryClass(CLSID_RNXQueue) && PublishLibraryClass(CLSID_RNXInterconnection) &&
              PublishOwnClass(CLSID_PatternSource, &CreatePatternSource) &&
              PublishOwnClass(CLSID_ToyItems, &ToyItems::Create);
    if (!ok)
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    EndWithTheTest();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}
