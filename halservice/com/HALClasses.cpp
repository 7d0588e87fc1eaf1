#include "halservice/com/HALClasses.h"

#include "halservice/com/HALProcessLock.h"
#include "halservice/scanner/ScannerWrap.h"
#include "platform/com/RefCounted.h"

#include <array>
#include <new>
#include <string>
#include <utility>

namespace {

constexpr int kSlotCount = 10;

template <int Slot>
HRESULT CreateSlotObject(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    CScannerWrap* session = CScannerWrap::ProcessScanner();
    if (!session)
        return E_UNEXPECTED;
    auto* object = new (std::nothrow) CRNXHALSClass<Slot>(session);
    if (!object)
        return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

using Creator = HRESULT (*)(IUnknown*, REFIID, void**);

template <int... Slots>
constexpr std::array<Creator, sizeof...(Slots)> MakeCreators(std::integer_sequence<int, Slots...>)
{
    return {&CreateSlotObject<Slots>...};
}

constexpr std::array<Creator, kSlotCount> kCreators = MakeCreators(std::make_integer_sequence<int, kSlotCount>());

// The class object of one slot. It holds no process lock itself, so a
// registered class object does not keep a local server running.
class CRNXHALSClassFactory final : public plat::RefCounted<IClassFactory> {
public:
    explicit CRNXHALSClassFactory(Creator create) : m_create(create) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        return m_create(outer, riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            LockHALProcess();
        else
            UnlockHALProcess();
        return S_OK;
    }

private:
    Creator m_create;
};

std::string MakeScript(int slot)
{
    const std::string digit(1, static_cast<char>('0' + slot));
    const std::string name = "RNXHALS_" + digit;
    const std::string progId = "RNXHALService." + name;
    const std::string versioned = progId + ".1";
    const std::string title = name + " Class";
    const std::string typeLib = Utf16ToUtf8(plat::GuidToWideString(kHALTypeLibId));
    // clang-format off
    return "HKCR\n"
           "{\n"
           "    " + versioned + " = s '" + title + "'\n"
           "    {\n"
           "        CLSID = s '%CLSID%'\n"
           "    }\n"
           "    " + progId + " = s '" + title + "'\n"
           "    {\n"
           "        CLSID = s '%CLSID%'\n"
           "        CurVer = s '" + versioned + "'\n"
           "    }\n"
           "    NoRemove CLSID\n"
           "    {\n"
           "        ForceRemove %CLSID% = s '" + title + "'\n"
           "        {\n"
           "            val AppID = s '%APPID%'\n"
           "            ProgID = s '" + versioned + "'\n"
           "            VersionIndependentProgID = s '" + progId + "'\n"
           "            LocalServer32 = s '%MODULE%'\n"
           "            TypeLib = s '" + typeLib + "'\n"
           "        }\n"
           "    }\n"
           "}\n";
    // clang-format on
}

const std::array<std::string, kSlotCount>& Scripts()
{
    static const std::array<std::string, kSlotCount> scripts = [] {
        std::array<std::string, kSlotCount> texts;
        for (int slot = 0; slot < kSlotCount; ++slot)
            texts[slot] = MakeScript(slot);
        return texts;
    }();
    return scripts;
}

} // namespace

HRESULT GetHALClassObject(int slot, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (slot < 0 || slot >= kSlotCount)
        return E_INVALIDARG;
    auto* factory = new (std::nothrow) CRNXHALSClassFactory(kCreators[slot]);
    if (!factory)
        return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

std::string_view HALClassScript(int slot)
{
    if (slot < 0 || slot >= kSlotCount)
        return {};
    return Scripts()[slot];
}
